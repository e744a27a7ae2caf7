#include "core/ClassFactory.h"

#include "core/HashMap.h"

namespace nuv {

namespace {

HashMap<String, CreateFunction>& Classes() {
    static HashMap<String, CreateFunction> classes;
    return classes;
}

} // namespace

bool ClassFactory::RegisterClass(const String& name, CreateFunction create) {
    return Classes().Insert(name, create);
}

void ClassFactory::UnregisterClass(const String& name) {
    Classes().Remove(name);
}

CreateFunction ClassFactory::FindCreateFunction(const String& name) {
    CreateFunction* create = Classes().Find(name);
    return create ? *create : nullptr;
}

int ClassFactory::GetClassCount() {
    return Classes().GetCount();
}

} // namespace nuv
