#include "core/Log.h"

#include "core/Array.h"
#include "core/Pointer.h"
#include "core/Status.h"

#include <cstdarg>
#include <cstdio>

namespace nuv {

namespace {

// The registered outputs in the order they were added. Built on first use and released at
// process exit; messages after that are dropped like messages with no output registered.
struct OutputRegistry {
    Array<Pointer<MessageOutput>> outputs{1, 1};
    static inline bool destroyed = false;
    ~OutputRegistry() {
        destroyed = true;
        outputs.Clear();
    }
};

Array<Pointer<MessageOutput>>* Outputs() {
    static OutputRegistry registry;
    return OutputRegistry::destroyed ? nullptr : &registry.outputs;
}

void Emit(int level, const char* format, va_list args) {
    Array<Pointer<MessageOutput>>* outputs = Outputs();
    // Nobody would see the text: skip the formatting (loading logs two lines per object).
    if (!outputs || outputs->IsEmpty()) return;
    char buffer[4096];
    std::vsnprintf(buffer, sizeof buffer, format, args);
    for (int i = 0; i < outputs->GetCount(); ++i) {
        // Held for the call: an output may unregister itself while it writes.
        Pointer<MessageOutput> output = (*outputs)[i];
        output->Output(level, String(buffer));
    }
}

} // namespace

#define NUV_LOG_FUNCTION(Name, level)        \
    void Name(const char* format, ...) {     \
        va_list args;                        \
        va_start(args, format);              \
        Emit(level, format, args);           \
        va_end(args);                        \
    }

NUV_LOG_FUNCTION(LogInfo, kLogInfo)
NUV_LOG_FUNCTION(LogWarning, kLogWarning)
NUV_LOG_FUNCTION(LogError, kLogError)
NUV_LOG_FUNCTION(LogCritical, kLogCritical)

int RegisterMessageOutput(MessageOutput* output) {
    Array<Pointer<MessageOutput>>* outputs = Outputs();
    if (!output || !outputs) return kStatusNotFound;
    for (const Pointer<MessageOutput>& registered : *outputs) {
        if (registered == output) {
            LogWarning("Объект вывода сообщений уже зарегестрирован. [%s]", output->GetName().GetText());
            return kStatusOk;
        }
    }
    if (!outputs->Append(Pointer<MessageOutput>(output))) return kStatusNoMemory;
    LogInfo("Объект вывода сообщений зарегестрирован. [%s]", output->GetName().GetText());
    return kStatusOk;
}

int UnregisterMessageOutput(MessageOutput* output) {
    Array<Pointer<MessageOutput>>* outputs = Outputs();
    if (!outputs || outputs->IsEmpty() || !output) return kStatusNotFound;
    for (int i = 0; i < outputs->GetCount(); ++i) {
        if ((*outputs)[i] == output) {
            // Logged first, so the output still receives its own unregistration.
            LogInfo("Объект вывода сообщений разрегестрирован. [%s]", output->GetName().GetText());
            outputs->RemoveAt(i);
            return kStatusOk;
        }
    }
    return kStatusNotFound;
}

int GetMessageOutputCount() {
    Array<Pointer<MessageOutput>>* outputs = Outputs();
    return outputs ? outputs->GetCount() : 0;
}

} // namespace nuv
