#pragma once

#include "core/String.h"

namespace nuv {

// The user's settings with the four scene options. The member initialisers are the values a
// setting keeps when neither the defaults text nor the store gives it one.
class Settings {
public:
    // Number of values in the store: the seven flags, the six integers and the four options.
    static constexpr int kValueCount = 17;

    bool showFps = false;
    bool exitOnMouseMove = true;
    bool showTime = true;
    bool useDesktopSettings = true;
    bool music = true;
    bool sfx = true;
    bool hour24 = true;
    int volume = 80;
    int width = 800;
    int height = 600;
    int colorDepth = 32;
    int antiAliasing = 0;
    int gamma = 100;

    bool reflections = true;
    bool shadows = true;
    bool snow = true;
    bool shine = true;

    // One key of the defaults text: flags are on for any non-zero number, integers take the
    // number; a key that is not a setting, or a value that is not a number, changes nothing.
    // The settings' handler never fails, so this returns 0.
    int ParseValue(const String& key, const String& value);

    // The store's view: value `index` (0..kValueCount-1) in the store's order, flags as 0 or 1.
    static const char* GetValueName(int index);
    int GetValue(int index) const;
    void SetValue(int index, int value);
    // Index of a store name, or -1.
    static int FindValue(const char* name);

    // Values a stored file may hold that no run can use are corrected, each with a warning in
    // the log: Volume is clamped into 0..100 and Gamma into -100..100 (the dialog's ranges);
    // a Width or Height outside 1..16384, a ColorDepth other than 8, 16, 24 or 32 and an
    // AntiAliasing outside 0..16 take the value fallback holds (the defaults), or the member
    // initialiser when that one is out of range too. Returns the number of values corrected.
    int ApplyLimits(const Settings& fallback);

    // The info lines of the settings dump, options last.
    void Log() const;

    bool operator==(const Settings& other) const;
    bool operator!=(const Settings& other) const { return !(*this == other); }
};

} // namespace nuv
