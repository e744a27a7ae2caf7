#pragma once

#include "core/HashMap.h"
#include "media/Module.h"

namespace nuv {

// A module whose entry points are functions of the program itself.
class StaticModule : public Module {
public:
    explicit StaticModule(const String& name) : Module(name) {}
    ~StaticModule() override;

    // False when the name is already in the table or memory runs out.
    bool AddSymbol(const String& symbol, ModuleSymbol function);
    template <class F>
    bool AddFunction(const String& symbol, F function) {
        return AddSymbol(symbol, reinterpret_cast<ModuleSymbol>(function));
    }

    int GetSymbol(ModuleSymbol* out, const String& symbol) override;

private:
    HashMap<String, ModuleSymbol> symbols_;
};

} // namespace nuv
