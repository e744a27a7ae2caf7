#include "app/DefaultSettings.h"

#include "app/ConfigTextReader.h"
#include "core/Log.h"
#include "core/Status.h"
#include "platform/Resources.h"

namespace nuv {

int DefaultSettings::Load(const uint8_t* text, size_t length) {
    ConfigTextReader reader(text, length);
    String line, key, value;
    while (reader.ReadLine(&line) == 0) {
        ConfigTextReader::SplitLine(line, &key, &value);
        if (key == "RegistryPath")
            registryPath = value;
        else if (key == "main_web_site_url")
            webSiteUrl = value;
        else
            settings.ParseValue(key, value);
    }
    return kStatusOk;
}

int DefaultSettings::LoadResource() {
    const uint8_t* bytes = nullptr;
    size_t size = 0;
    if (LoadResourceText(kResourceId, &bytes, &size) != 0) {
        LogInfo("Ресурс настроек не загружен.");
        return kStatusFailed;
    }
    LogInfo("Ресурс настроек загружен.");
    return Load(bytes, size);
}

} // namespace nuv
