#pragma once

#include "app/SettingsDialogModel.h"
#include "core/String.h"

#include <cstdint>
#include <functional>

typedef struct _GdkPixbuf GdkPixbuf;
typedef struct _GtkBuilder GtkBuilder;
typedef struct _GtkWidget GtkWidget;
typedef struct _GMainLoop GMainLoop;

namespace nuv {

class UiStrings;

// The settings dialog on GTK: the layout of DIALOG 113 driven by a SettingsDialogModel.
class SettingsDialog {
public:
    static constexpr int kLayoutId = 113;

    // write stores the settings when the dialog is closed with OK.
    SettingsDialog(SettingsDialogModel& model, const UiStrings& strings, const String& webSiteUrl,
                   std::function<int(const Settings&)> write);
    ~SettingsDialog();
    SettingsDialog(const SettingsDialog&) = delete;
    SettingsDialog& operator=(const SettingsDialog&) = delete;

    // Shows the dialog modally, owned by the X11 window parentWindow (0: none); the first
    // dialog of the process is centred on a display of displayWidth x displayHeight.
    // 1 closed with OK, 2 with Cancel, 0 when it could not be shown.
    int Run(int64_t parentWindow, int displayWidth, int displayHeight);

private:
    GtkWidget* Control(const char* id) const;
    void ApplyTexts();
    // Puts the model's values into the controls, and the enabling rules.
    void FillControls();
    void UpdateEnabling();
    void Finish(int result);
    void OnOk();
    void OnVisit();
    void OnAbout();
    void OnRestoreDefaults();
    void OnToggled(GtkWidget* widget);
    void OnScaleChanged(GtkWidget* widget);
    void OnModeChanged();
    bool OnKeyPress(unsigned keyval);

    static void ToggledThunk(GtkWidget* widget, void* self);
    static void ScaleThunk(GtkWidget* widget, void* self);
    static void ModeThunk(GtkWidget* widget, void* self);
    static void ClickedThunk(GtkWidget* widget, void* self);
    static int KeyPressThunk(GtkWidget* widget, void* event, void* self);
    static int DeleteThunk(GtkWidget* widget, void* event, void* self);
    static int DrawThunk(GtkWidget* widget, void* cairo, void* self);

    SettingsDialogModel& model_;
    const UiStrings& strings_;
    String webSiteUrl_;
    std::function<int(const Settings&)> write_;
    GtkBuilder* builder_ = nullptr;
    GtkWidget* window_ = nullptr;
    GMainLoop* loop_ = nullptr;
    GdkPixbuf* picture_ = nullptr;
    bool pictureLoaded_ = false;
    // Set while the controls are filled, so that filling them is not taken for the user's edits.
    bool filling_ = false;
    int result_ = SettingsDialogModel::kResultCancel;
};

// A picture of the media ("settings.bmp") decoded by the engine's image codecs into a new
// pixbuf; null when it is missing or cannot be decoded.
GdkPixbuf* LoadDialogPicture(const char* fileName);

// Builds a GtkBuilder from layout resource DIALOG id; null (logged) when it is missing or broken.
GtkBuilder* LoadDialogLayout(int id);

// Draws a picture stretched over a widget's whole area (a "draw" handler's work).
void DrawStretchedPicture(GtkWidget* widget, void* cairo, GdkPixbuf* picture);

// The Configure mode: the settings dialog over current (defaults for Restore Defaults), writing
// the settings store of registryPath on OK. 1 OK, 2 Cancel, 0 when it could not be shown.
int RunConfigureDialog(const Settings& defaults, Settings* current, const UiStrings& strings,
                       const String& registryPath, const String& webSiteUrl, int64_t parentWindow);

} // namespace nuv
