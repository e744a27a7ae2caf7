// The configuration texts and the settings store read bytes that may have been edited by hand
// or damaged: every reader must take any bytes without crashing or reading past them.
#include "app/ConfigTextReader.h"
#include "app/DefaultSettings.h"
#include "app/Settings.h"
#include "app/SettingsStore.h"
#include "app/UiStrings.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    nuv::ConfigTextReader reader(data, size);
    nuv::String line, key, value;
    int number = 0;
    while (reader.ReadLine(&line) == 0) {
        nuv::ConfigTextReader::SplitLine(line, &key, &value);
        nuv::ConfigTextReader::ScanInt(value, &number);
    }

    nuv::DefaultSettings defaults;
    defaults.Load(data, size);

    nuv::UiStrings strings;
    strings.Load(data, size);
    strings.Get("Mes_Settings_Caption", "fallback");

    // The store's text is zero-terminated when read from disk; give the parser the same.
    const std::string text(reinterpret_cast<const char*>(data), size);
    // Whatever lines apply, what is formatted again reads back whole and the same.
    nuv::Settings settings;
    std::vector<int> badLines;
    const int bad = nuv::SettingsStore::Parse(text.c_str(), text.size(), &settings, &badLines);
    if (bad != int(badLines.size())) __builtin_trap();
    const std::string again = nuv::SettingsStore::Format(settings);
    nuv::Settings reread;
    if (nuv::SettingsStore::Parse(again.c_str(), again.size(), &reread, nullptr) != 0 || reread != settings)
        __builtin_trap();
    return 0;
}
