#include "app/UiStrings.h"

#include "app/ConfigTextReader.h"
#include "core/Log.h"
#include "core/Status.h"
#include "platform/Resources.h"

namespace nuv {

int UiStrings::Load(const uint8_t* text, size_t length) {
    ConfigTextReader reader(text, length);
    String line, key, value;
    while (reader.ReadLine(&line) == 0) {
        ConfigTextReader::SplitLine(line, &key, &value);
        // A line without " = " has no key and names nothing.
        if (key.IsEmpty()) continue;
        table_.Insert(key, value);
    }
    return kStatusOk;
}

int UiStrings::LoadResource() {
    const uint8_t* bytes = nullptr;
    size_t size = 0;
    if (LoadResourceText(kResourceId, &bytes, &size) != 0) {
        LogInfo("Ресурс локальных данных не загружен.");
        return kStatusFailed;
    }
    LogInfo("Ресурс локальных данных загружен.");
    return Load(bytes, size);
}

const char* UiStrings::Get(const String& key, const char* fallback) const {
    const String* text = table_.Find(key);
    return text ? text->GetText() : fallback;
}

} // namespace nuv
