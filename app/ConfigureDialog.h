#pragma once

#include "app/Settings.h"
#include "core/String.h"

#include <cstdint>

namespace nuv {

class UiStrings;

// The settings mode: the settings dialog (GTK on Linux, dialog template 113 on Windows) over
// current (defaults for Restore Defaults), writing the settings store of registryPath on OK,
// owned by parentWindow (0: none). 1 OK, 2 Cancel, 0 when it could not be shown.
int RunConfigureDialog(const Settings& defaults, Settings* current, const UiStrings& strings,
                       const String& registryPath, const String& webSiteUrl, int64_t parentWindow);

} // namespace nuv
