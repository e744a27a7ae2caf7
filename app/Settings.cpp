#include "app/Settings.h"

#include "app/ConfigTextReader.h"
#include "core/Log.h"
#include "core/Status.h"

#include <cstring>

namespace nuv {

namespace {

// The store's order: flags, integers, options; the first seven and the last four are flags.
const char* const kNames[Settings::kValueCount] = {
    "ShowFPS", "ExitOnMouseMove", "ShowTime", "UseDesktopSettings", "Music", "SFX", "Hour24",
    "Volume", "Width", "Height", "ColorDepth", "AntiAliasing", "Gamma",
    "Reflections", "Shadows", "Snow", "Shine",
};

bool IsFlag(int index) { return index < 7 || index >= 13; }

const char* Bool(bool value) { return value ? "true" : "false"; }

} // namespace

const char* Settings::GetValueName(int index) {
    return index >= 0 && index < kValueCount ? kNames[index] : "";
}

int Settings::FindValue(const char* name) {
    if (!name) return -1;
    for (int i = 0; i < kValueCount; ++i)
        if (std::strcmp(kNames[i], name) == 0) return i;
    return -1;
}

int Settings::GetValue(int index) const {
    switch (index) {
    case 0: return showFps;
    case 1: return exitOnMouseMove;
    case 2: return showTime;
    case 3: return useDesktopSettings;
    case 4: return music;
    case 5: return sfx;
    case 6: return hour24;
    case 7: return volume;
    case 8: return width;
    case 9: return height;
    case 10: return colorDepth;
    case 11: return antiAliasing;
    case 12: return gamma;
    case 13: return reflections;
    case 14: return shadows;
    case 15: return snow;
    case 16: return shine;
    default: return 0;
    }
}

void Settings::SetValue(int index, int value) {
    const bool flag = value != 0;
    switch (index) {
    case 0: showFps = flag; break;
    case 1: exitOnMouseMove = flag; break;
    case 2: showTime = flag; break;
    case 3: useDesktopSettings = flag; break;
    case 4: music = flag; break;
    case 5: sfx = flag; break;
    case 6: hour24 = flag; break;
    case 7: volume = value; break;
    case 8: width = value; break;
    case 9: height = value; break;
    case 10: colorDepth = value; break;
    case 11: antiAliasing = value; break;
    case 12: gamma = value; break;
    case 13: reflections = flag; break;
    case 14: shadows = flag; break;
    case 15: snow = flag; break;
    case 16: shine = flag; break;
    default: break;
    }
}

int Settings::ParseValue(const String& key, const String& value) {
    const int index = FindValue(key.GetText());
    // The key must be the whole name: a key holding a zero byte is not one.
    if (index < 0 || key.GetLength() != int(std::strlen(kNames[index]))) return kStatusOk;
    int number = 0;
    const bool isNumber = ConfigTextReader::ScanInt(value, &number);
    // A flag reads into a zero that stays zero without a number; an integer keeps its value.
    if (IsFlag(index))
        SetValue(index, isNumber ? number : 0);
    else if (isNumber)
        SetValue(index, number);
    return kStatusOk;
}

namespace {

bool ValidSize(int v) { return v >= 1 && v <= 16384; }
bool ValidDepth(int v) { return v == 8 || v == 16 || v == 24 || v == 32; }
bool ValidAntiAliasing(int v) { return v >= 0 && v <= 16; }

int Clamp(int v, int low, int high) { return v < low ? low : v > high ? high : v; }

} // namespace

int Settings::ApplyLimits(const Settings& fallback) {
    const Settings initial;
    int corrected = 0;
    const auto set = [&](int index, int value) {
        if (GetValue(index) == value) return;
        LogWarning("Значение параметра %s [%d] вне допустимых пределов, используется [%d].", kNames[index],
                   GetValue(index), value);
        SetValue(index, value);
        ++corrected;
    };
    const auto orDefault = [&](int index, bool (*valid)(int)) {
        if (valid(GetValue(index))) return;
        set(index, valid(fallback.GetValue(index)) ? fallback.GetValue(index) : initial.GetValue(index));
    };
    set(7, Clamp(volume, 0, 100));
    orDefault(8, ValidSize);
    orDefault(9, ValidSize);
    orDefault(10, ValidDepth);
    orDefault(11, ValidAntiAliasing);
    set(12, Clamp(gamma, -100, 100));
    return corrected;
}

void Settings::Log() const {
    LogInfo("ShowFPS: %s", Bool(showFps));
    LogInfo("ExitOnMouseMove: %s", Bool(exitOnMouseMove));
    LogInfo("ShowTime: %s", Bool(showTime));
    LogInfo("UseDesktopSettings: %s", Bool(useDesktopSettings));
    LogInfo("Music: %s", Bool(music));
    LogInfo("SFX: %s", Bool(sfx));
    LogInfo("Hour24: %s", Bool(hour24));
    LogInfo("Volume: %d", volume);
    LogInfo("Width: %d", width);
    LogInfo("Height: %d", height);
    LogInfo("ColorDepth: %d", colorDepth);
    LogInfo("AntiAliasing: %d", antiAliasing);
    LogInfo("Gamma: %d", gamma);
    LogInfo("Reflections: %s", Bool(reflections));
    LogInfo("Shadows: %s", Bool(shadows));
    LogInfo("Snow: %s", Bool(snow));
    LogInfo("Shine: %s", Bool(shine));
}

bool Settings::operator==(const Settings& other) const {
    for (int i = 0; i < kValueCount; ++i)
        if (GetValue(i) != other.GetValue(i)) return false;
    return true;
}

} // namespace nuv
