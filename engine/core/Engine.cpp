#include "core/Engine.h"

#include "core/Array.h"
#include "core/Log.h"
#include "core/Status.h"

#include <cstdlib>
#include <ctime>

namespace nuv {

namespace {

using FunctionList = Array<EngineFunction>;

FunctionList* gInitFunctions = nullptr;
FunctionList* gPostInitFunctions = nullptr;
FunctionList* gShutdownFunctions = nullptr;

// The lists are made on first use, since static registration runs before main in any order.
void Add(FunctionList*& list, EngineFunction function, const char* noMemoryMessage) {
    if (!list) list = new (std::nothrow) FunctionList(1, 2);
    if (!list) {
        LogCritical("%s", noMemoryMessage);
        return;
    }
    list->Append(function);
}

// Runs every function in order; false at the first non-zero result.
bool RunAll(FunctionList* list) {
    if (!list) return true;
    for (EngineFunction function : *list)
        if (function() != kStatusOk) return false;
    return true;
}

} // namespace

void AddInitFunction(EngineFunction function) {
    Add(gInitFunctions, function, "Недостаточно памяти для создания массива функций инициализации.");
}

void AddPostInitFunction(EngineFunction function) {
    Add(gPostInitFunctions, function, "Недостаточно памяти для создания массива функций постинициализации.");
}

void AddShutdownFunction(EngineFunction function) {
    Add(gShutdownFunctions, function, "Недостаточно памяти для создания массива функций деинициализации.");
}

int InitializeEngine() {
    LogInfo("Инициализация движка v.%d.%d.%d:", kEngineVersionMajor, kEngineVersionMinor, kEngineVersionBuild);
    std::srand(unsigned(std::time(nullptr)));
    if (!RunAll(gInitFunctions)) {
        LogError("Инициализация движка неудачно.");
        return kStatusFailed;
    }
    LogInfo("Инициализация движка завершилась удачно.");
    LogInfo("Постинициализация движка:");
    if (!RunAll(gPostInitFunctions)) {
        LogError("Постинициализация движка неудачна.");
        return kStatusFailed;
    }
    LogInfo("Постинициализация движка завершилась удачно.");
    return kStatusOk;
}

int ShutdownEngine() {
    LogInfo("Завершение работы движка:");
    if (!RunAll(gShutdownFunctions)) {
        LogError("Завершение работы движка неудачно.");
        return kStatusFailed;
    }
    LogInfo("Завершение работы движка завершилось удачно.");
    return kStatusOk;
}

void ReleaseEngineFunctions() {
    for (FunctionList** list : {&gInitFunctions, &gPostInitFunctions, &gShutdownFunctions}) {
        delete *list;
        *list = nullptr;
    }
}

} // namespace nuv
