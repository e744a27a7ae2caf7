#include "core/Object.h"

#include "core/Controller.h"
#include "core/FieldReader.h"
#include "core/FieldWriter.h"
#include "core/LinkVisitor.h"
#include "core/Log.h"
#include "core/Status.h"
#include "core/Stream.h"

#include <vector>

namespace nuv {

namespace {

int32_t gNextObjectId = 0;

int InitializeObjectClass() {
    if (ClassFactory::RegisterClass(Object::TYPE.GetName(), Object::Create)) {
        LogInfo("Инициализация класса [Object] прошла удачно.");
        return kStatusOk;
    }
    LogCritical("Инициализация класса [Object] прошла неудачно.");
    return kStatusFailed;
}

int ShutdownObjectClass() {
    ClassFactory::UnregisterClass(Object::TYPE.GetName());
    LogInfo("Завершение работы класса [Object] прошло удачно.");
    return kStatusOk;
}

struct ObjectClassRegistrar {
    ObjectClassRegistrar() {
        AddInitFunction(&InitializeObjectClass);
        AddShutdownFunction(&ShutdownObjectClass);
    }
} const gObjectClassRegistrar;

} // namespace

const Rtti Object::TYPE("Nuv.Object", nullptr);

int Object::Create(Object**) {
    LogCritical("Создание объекта абстрактного класса [Object].");
    return kStatusFailed;
}

struct Object::ControllerNode {
    Pointer<Controller> controller;
    ControllerNode* next;
};

Object::Object() : id_(gNextObjectId++) {}

Object::Object(const String& name) : Named(name), id_(gNextObjectId++) {}

Object::~Object() {
    RemoveAllControllers();
}

void Object::RemoveAllControllers() {
    while (controllers_) {
        ControllerNode* node = controllers_;
        controllers_ = node->next;
        delete node;
    }
}

int Object::AddController(Controller* controller) {
    if (!controller) {
        LogWarning("Указатель на устанавливаемый контроллер равен 0. Имя[%s] ID[%d]", GetName().GetText(), id_);
        return kStatusNotFound;
    }
    // A controller list that leads back to this object would hold it forever and make every
    // walk over the lists endless; a file can ask for that, so it is refused.
    if (controller == this || controller->HasInControllers(this)) {
        LogWarning("Контроллер не может управлять сам собой. Имя[%s] ID[%d]", GetName().GetText(), id_);
        return kStatusFailed;
    }
    ControllerNode* node = new (std::nothrow) ControllerNode{Pointer<Controller>(controller), controllers_};
    if (!node) {
        LogWarning("Недостаточно памяти для создания узла списка при установке контроллера. Имя[%s] ID[%d]",
                   GetName().GetText(), id_);
        return kStatusNoMemory;
    }
    controllers_ = node;
    controller->SetOwner(this);
    return kStatusOk;
}

bool Object::HasInControllers(const Object* object) const {
    for (ControllerNode* n = controllers_; n; n = n->next)
        if (n->controller.Get() == object || n->controller->HasInControllers(object)) return true;
    return false;
}

void Object::VisitLinks(LinkVisitor& visitor) {
    std::vector<ControllerNode*> newestFirst;
    for (ControllerNode* n = controllers_; n; n = n->next) newestFirst.push_back(n);
    // A refused controller is released at once (the walk holds it) and its node unlinked after.
    for (auto n = newestFirst.rbegin(); n != newestFirst.rend(); ++n) {
        Pointer<Controller>& controller = (*n)->controller;
        if (!visitor.Refuses(*this, controller)) continue;
        if (controller->GetOwner() == this) controller->SetOwner(nullptr);
        controller.Reset();
    }
    for (ControllerNode** link = &controllers_; *link;) {
        ControllerNode* node = *link;
        if (node->controller) {
            link = &node->next;
            continue;
        }
        *link = node->next;
        delete node;
    }
}

int Object::GetControllerCount() const {
    int count = 0;
    for (ControllerNode* n = controllers_; n; n = n->next) ++count;
    return count;
}

Controller* Object::GetController(int index) const {
    if (index < 0) return nullptr;
    for (ControllerNode* n = controllers_; n; n = n->next)
        if (index-- == 0) return n->controller.Get();
    return nullptr;
}

Object* Object::FindByName(const String& name) {
    if (GetName() == name) return this;
    for (ControllerNode* n = controllers_; n; n = n->next)
        if (Object* found = n->controller->FindByName(name)) return found;
    return nullptr;
}

void Object::CollectByType(const Rtti& type, Array<Object*>& found) {
    if (IsDerived(type)) found.Append(this);
    for (ControllerNode* n = controllers_; n; n = n->next) n->controller->CollectByType(type, found);
}

void Object::Update(double time) {
    for (ControllerNode* n = controllers_; n; n = n->next) n->controller->Apply(time);
}

int Object::Save(Stream& stream) {
    FieldWriter out(stream, *this);
    const int count = GetControllerCount();
    out.String(GetName(), "Невозможно сохранить имя объекта. Имя[%s] ID[%d]")
        .Int(count, "Невозможно сохранить количество контроллеров объекта. Имя[%s] ID[%d]");
    // The list's head is the newest; the file holds the oldest first.
    for (int i = count - 1; i >= 0; --i)
        out.Link(GetController(i), "Невозможно сохранить контроллер объекта. Имя[%s] ID[%d]");
    return out.GetStatus();
}

int Object::Load(Stream& stream) {
    FieldReader in(stream, *this);
    String name;
    if (!in.String(name, "Невозможно загрузить имя объекта. ID[%d]")) return in.GetStatus();
    SetName(name);
    int32_t count = 0;
    in.Count(count, "Невозможно загрузить количество контроллеров объекта. Имя[%s] ID[%d]");
    for (int32_t i = 0; in && i < count; ++i) {
        Object* object = nullptr;
        // A link to something that is not a controller cannot be attached.
        in.Link(object, "Невозможно загрузить контроллер объекта. Имя[%s] ID[%d]")
            .Use("Невозможно установить контроллер объекта. Имя[%s] ID[%d]",
                 [&] { return AddController(DynamicCast<Controller>(object)) == 0; });
    }
    return in.GetStatus();
}

} // namespace nuv
