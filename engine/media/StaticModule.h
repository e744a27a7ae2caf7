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

    // Registers a built-in module of this name with the module manager: "Initialize" and
    // "Shutdown", and function under symbol. kStatusOk; kStatusFailed when memory runs out or the
    // name is taken.
    template <class F>
    static int Register(const String& name, int (*initialize)(), int (*shutdown)(), const String& symbol, F function) {
        return RegisterSymbols(name, initialize, shutdown, symbol, reinterpret_cast<ModuleSymbol>(function));
    }

private:
    static int RegisterSymbols(const String& name, int (*initialize)(), int (*shutdown)(), const String& symbol,
                               ModuleSymbol function);

    HashMap<String, ModuleSymbol> symbols_;
};

} // namespace nuv
