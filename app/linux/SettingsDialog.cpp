#include "app/linux/SettingsDialog.h"

#include "app/SettingsStore.h"
#include "app/TerminationSignal.h"
#include "app/UiStrings.h"
#include "app/linux/AboutDialog.h"
#include "core/Log.h"
#include "core/Pointer.h"
#include "core/Status.h"
#include "media/File.h"
#include "media/FileManager.h"
#include "media/ModuleManager.h"
#include "media/image/Image.h"
#include "platform/Resources.h"
#include "render/Renderer.h"

#include <gdk/gdkkeysyms.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <cmath>
#include <cstring>
#include <new>
#include <string>

namespace nuv {

namespace {

// Check boxes and radio buttons, by control id, with the setting each one edits.
struct Toggle {
    const char* id;
    void (SettingsDialogModel::*set)(bool);
    bool Settings::*value;
};

const Toggle kToggles[] = {
    {"11012", &SettingsDialogModel::SetUseDesktopSettings, &Settings::useDesktopSettings},
    {"1021", &SettingsDialogModel::SetMusic, &Settings::music},
    {"11022", &SettingsDialogModel::SetSfx, &Settings::sfx},
    {"1044", &SettingsDialogModel::SetShowFps, &Settings::showFps},
    {"1045", &SettingsDialogModel::SetExitOnMouseMove, &Settings::exitOnMouseMove},
    {"1119", &SettingsDialogModel::SetShowTime, &Settings::showTime},
    {"1047", &SettingsDialogModel::SetReflections, &Settings::reflections},
    {"1048", &SettingsDialogModel::SetShadows, &Settings::shadows},
    {"1049", &SettingsDialogModel::SetSnow, &Settings::snow},
    {"1050", &SettingsDialogModel::SetShine, &Settings::shine},
};

// Controls whose text comes from the interface strings; "Mes_Settings_Box_Quality" names a
// control the dialog does not have and shows nowhere.
const struct {
    const char* id;
    const char* key;
} kTexts[] = {
    {"1016", "Mes_Settings_Box_Mode"},
    {"11012", "Mes_Settings_UseDesktop"},
    {"11017", "Mes_Settings_Box_Sound"},
    {"11023", "Mes_Settings_MusicVolume"},
    {"1021", "Mes_Settings_EnableMusic"},
    {"11022", "Mes_Settings_EnableSound"},
    {"21018", "Mes_Settings_Box_Graphics"},
    {"11106", "Mes_Settings_Gamma"},
    {"1047", "Mes_Settings_ShowReflections"},
    {"1048", "Mes_Settings_ShowShadows"},
    {"1049", "Mes_Settings_ShowSnow"},
    {"1050", "Mes_Settings_ShowShine"},
    {"11019", "Mes_Settings_Box_Misc"},
    {"1044", "Mes_Settings_ShowFPS"},
    {"1045", "Mes_Settings_ExitOnMouse"},
    {"1119", "Mes_Settings_ShowTime"},
    {"1111", "Mes_Settings_12h"},
    {"1112", "Mes_Settings_24h"},
    {"1022", "Mes_Settings_Box_Products"},
    {"1025", "Mes_Settings_Products"},
    {"1061", "Mes_Settings_Button_Visit"},
    {"1062", "Mes_Settings_Button_About"},
    {"1063", "Mes_Settings_Button_RestoreDefs"},
    {"1", "Mes_Button_OK"},
    {"2", "Mes_Button_Cancel"},
};

// The first dialog of the process is placed on the display; later ones stay where GTK puts them.
bool placed = false;

void SetWidgetText(GtkWidget* widget, const char* text) {
    if (GTK_IS_FRAME(widget))
        gtk_frame_set_label(GTK_FRAME(widget), text);
    else if (GTK_IS_BUTTON(widget))
        gtk_button_set_label(GTK_BUTTON(widget), text);
    else if (GTK_IS_LABEL(widget))
        gtk_label_set_text(GTK_LABEL(widget), text);
}

// The desktop's mode among the renderer's modes; -1 when the renderer cannot tell.
int CurrentModeIndex(Renderer* renderer) {
    return renderer ? renderer->GetDefaultMode() : -1;
}

} // namespace

GdkPixbuf* LoadDialogPicture(const char* fileName) {
    File* file = FileManager::FindFile(fileName);
    if (!file) {
        LogWarning("Файл [%s] не найден.", fileName);
        return nullptr;
    }
    Pointer<Image> image(new (std::nothrow) Image());
    if (!image) return nullptr;
    image->SetName(fileName);
    if (image->LoadFromFile(file) != 0 || !image->GetPixels()) {
        LogWarning("Невозможно загрузить изображение [%s].", fileName);
        return nullptr;
    }
    const int width = image->GetWidth();
    const int height = image->GetHeight();
    const int format = image->GetFormat();
    const int bytesPerPixel = Image::GetBytesPerPixel(format);
    if (width <= 0 || height <= 0 || (format != Image::kRgb && format != Image::kRgba && format != Image::kOneChannel))
        return nullptr;
    const bool alpha = format == Image::kRgba;
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, alpha, 8, width, height);
    if (!pixbuf) return nullptr;
    const int stride = gdk_pixbuf_get_rowstride(pixbuf);
    const int channels = gdk_pixbuf_get_n_channels(pixbuf);
    guchar* target = gdk_pixbuf_get_pixels(pixbuf);
    const uint8_t* source = image->GetPixels();
    for (int y = 0; y < height; ++y) {
        // The image keeps its bottom row first; a pixbuf its top row.
        const uint8_t* from = source + size_t(height - 1 - y) * size_t(width) * size_t(bytesPerPixel);
        guchar* to = target + size_t(y) * size_t(stride);
        for (int x = 0; x < width; ++x, from += bytesPerPixel, to += channels) {
            if (format == Image::kOneChannel) {
                to[0] = to[1] = to[2] = from[0];
            } else {
                std::memcpy(to, from, size_t(bytesPerPixel));
            }
        }
    }
    return pixbuf;
}

GtkBuilder* LoadDialogLayout(int id) {
    const uint8_t* bytes = nullptr;
    size_t size = 0;
    if (FindResourceData("DIALOG", id, &bytes, &size) != 0) {
        LogError("Невозможно загрузить ресурс ID[%d].", id);
        return nullptr;
    }
    GtkBuilder* builder = gtk_builder_new();
    GError* error = nullptr;
    if (!gtk_builder_add_from_string(builder, reinterpret_cast<const char*>(bytes), gsize(size), &error)) {
        LogError("Невозможно загрузить ресурс ID[%d]. Причина [%s].", id, error ? error->message : "");
        if (error) g_error_free(error);
        g_object_unref(builder);
        return nullptr;
    }
    return builder;
}

void DrawStretchedPicture(GtkWidget* widget, void* cairo, GdkPixbuf* picture) {
    if (!picture) return;
    cairo_t* cr = static_cast<cairo_t*>(cairo);
    const int width = gtk_widget_get_allocated_width(widget);
    const int height = gtk_widget_get_allocated_height(widget);
    cairo_save(cr);
    cairo_scale(cr, double(width) / gdk_pixbuf_get_width(picture), double(height) / gdk_pixbuf_get_height(picture));
    gdk_cairo_set_source_pixbuf(cr, picture, 0, 0);
    cairo_paint(cr);
    cairo_restore(cr);
}

SettingsDialog::SettingsDialog(SettingsDialogModel& model, const UiStrings& strings, const String& webSiteUrl,
                               std::function<int(const Settings&)> write)
    : model_(model), strings_(strings), webSiteUrl_(webSiteUrl), write_(std::move(write)) {}

SettingsDialog::~SettingsDialog() {
    if (window_) {
        gtk_widget_destroy(window_);
        g_object_unref(window_);
    }
    if (builder_) g_object_unref(builder_);
    if (loop_) g_main_loop_unref(loop_);
    if (picture_) g_object_unref(picture_);
}

GtkWidget* SettingsDialog::Control(const char* id) const {
    GObject* object = builder_ ? gtk_builder_get_object(builder_, id) : nullptr;
    return object && GTK_IS_WIDGET(object) ? GTK_WIDGET(object) : nullptr;
}

int SettingsDialog::Run(int64_t parentWindow, int displayWidth, int displayHeight) {
    builder_ = LoadDialogLayout(kLayoutId);
    if (!builder_) return SettingsDialogModel::kResultNotShown;
    GObject* window = gtk_builder_get_object(builder_, "113");
    if (!window || !GTK_IS_WINDOW(window)) {
        LogError("Невозможно загрузить ресурс ID[%d].", kLayoutId);
        return SettingsDialogModel::kResultNotShown;
    }
    window_ = GTK_WIDGET(window);
    // Ours keeps the window object until the dialog object goes, whoever destroys the window.
    g_object_ref(window_);

    ApplyTexts();
    FillControls();

    for (const Toggle& toggle : kToggles)
        if (GtkWidget* widget = Control(toggle.id)) g_signal_connect(widget, "toggled", G_CALLBACK(ToggledThunk), this);
    for (const char* id : {"1111", "1112"})
        if (GtkWidget* widget = Control(id)) g_signal_connect(widget, "toggled", G_CALLBACK(ToggledThunk), this);
    for (const char* id : {"1020", "1046"})
        if (GtkWidget* widget = Control(id)) g_signal_connect(widget, "value-changed", G_CALLBACK(ScaleThunk), this);
    if (GtkWidget* combo = Control("1011")) g_signal_connect(combo, "changed", G_CALLBACK(ModeThunk), this);
    for (const char* id : {"1", "2", "1061", "1062", "1063"})
        if (GtkWidget* widget = Control(id)) g_signal_connect(widget, "clicked", G_CALLBACK(ClickedThunk), this);
    if (GtkWidget* picture = Control("1036")) g_signal_connect(picture, "draw", G_CALLBACK(DrawThunk), this);
    g_signal_connect(window_, "key-press-event", G_CALLBACK(KeyPressThunk), this);
    g_signal_connect(window_, "delete-event", G_CALLBACK(DeleteThunk), this);

    if (!placed) {
        placed = true;
        int x = 0, y = 0;
        SettingsDialogModel::GetPlacement(displayWidth, displayHeight, &x, &y);
        gtk_window_move(GTK_WINDOW(window_), x, y);
    }

    // The owner is the window given on the command line: an X11 window of another program.
    GdkWindow* owner = nullptr;
    GdkDisplay* display = gdk_display_get_default();
    if (parentWindow != 0 && display && GDK_IS_X11_DISPLAY(display)) {
        owner = gdk_x11_window_foreign_new_for_display(display, ::Window(parentWindow));
        if (owner) {
            gtk_widget_realize(window_);
            gdk_window_set_transient_for(gtk_widget_get_window(window_), owner);
        } else {
            LogWarning("Окно-владелец [%lld] не найдено.", static_cast<long long>(parentWindow));
        }
    }

    // Like a dialog box, the first control that takes the keyboard has it.
    gtk_widget_child_focus(window_, GTK_DIR_TAB_FORWARD);
    gtk_widget_show(window_);
    result_ = SettingsDialogModel::kResultCancel;
    loop_ = g_main_loop_new(nullptr, FALSE);
    // A termination signal closes the dialog like Cancel, so the process ends through its shutdown.
    const guint watch = g_timeout_add(
        100,
        [](gpointer self) -> gboolean {
            if (!TerminationSignal::IsRequested()) return G_SOURCE_CONTINUE;
            static_cast<SettingsDialog*>(self)->Finish(SettingsDialogModel::kResultCancel);
            return G_SOURCE_REMOVE;
        },
        this);
    g_main_loop_run(loop_);
    if (GSource* source = g_main_context_find_source_by_id(nullptr, watch)) g_source_destroy(source);
    gtk_widget_hide(window_);
    if (owner) g_object_unref(owner);
    // Let the window system see the dialog go before the process moves on.
    while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
    return result_;
}

void SettingsDialog::ApplyTexts() {
    if (const String* title = strings_.Get("Mes_Settings_Title"))
        gtk_window_set_title(GTK_WINDOW(window_), title->GetText());
    for (const auto& entry : kTexts) {
        const String* text = strings_.Get(entry.key);
        GtkWidget* widget = Control(entry.id);
        if (text && widget) SetWidgetText(widget, text->GetText());
    }
}

void SettingsDialog::FillControls() {
    filling_ = true;
    const Settings& settings = model_.GetSettings();
    if (GtkWidget* gamma = Control("1046")) gtk_range_set_value(GTK_RANGE(gamma), settings.gamma);
    if (GtkWidget* label = Control("11118")) gtk_label_set_text(GTK_LABEL(label), model_.GetGammaText().c_str());
    if (GtkWidget* volume = Control("1020")) gtk_range_set_value(GTK_RANGE(volume), settings.volume);
    if (GtkWidget* radio = Control(settings.hour24 ? "1112" : "1111"))
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(radio), TRUE);
    for (const Toggle& toggle : kToggles)
        if (GtkWidget* widget = Control(toggle.id))
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widget), settings.*toggle.value);

    if (GtkWidget* combo = Control("1011")) {
        model_.BuildModeList();
        gtk_combo_box_text_remove_all(GTK_COMBO_BOX_TEXT(combo));
        for (const SettingsDialogModel::ModeItem& item : model_.GetModeItems())
            gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(combo), item.text.c_str());
        gtk_combo_box_set_active(GTK_COMBO_BOX(combo), model_.GetSelectedItem());
    }
    UpdateEnabling();
    filling_ = false;
}

void SettingsDialog::UpdateEnabling() {
    if (GtkWidget* combo = Control("1011")) gtk_widget_set_sensitive(combo, model_.IsModeListEnabled());
    for (const char* id : {"1020", "11023"})
        if (GtkWidget* widget = Control(id)) gtk_widget_set_sensitive(widget, model_.IsVolumeEnabled());
    for (const char* id : {"1111", "1112"})
        if (GtkWidget* widget = Control(id)) gtk_widget_set_sensitive(widget, model_.IsClockFormatEnabled());
}

void SettingsDialog::Finish(int result) {
    result_ = result;
    if (loop_ && g_main_loop_is_running(loop_)) g_main_loop_quit(loop_);
}

void SettingsDialog::OnOk() {
    if (model_.Accept(write_) != 0) {
        // The settings were not saved: the user keeps the dialog and may try again or cancel.
        GtkWidget* box = gtk_message_dialog_new(GTK_WINDOW(window_), GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR,
                                                GTK_BUTTONS_OK, "%s", "The settings could not be saved.");
        gtk_window_set_title(GTK_WINDOW(box), "Error");
        gtk_dialog_run(GTK_DIALOG(box));
        gtk_widget_destroy(box);
        return;
    }
    Finish(SettingsDialogModel::kResultOk);
}

void SettingsDialog::OnVisit() {
    const char* url = webSiteUrl_.GetText();
    if (!url || !*url) return;
    GError* error = nullptr;
    if (!g_app_info_launch_default_for_uri(url, nullptr, &error)) {
        LogWarning("Невозможно открыть адрес [%s]. Причина [%s].", url, error ? error->message : "");
        if (error) g_error_free(error);
    }
}

void SettingsDialog::OnAbout() {
    AboutDialog about(strings_);
    about.Run(window_);
}

void SettingsDialog::OnRestoreDefaults() {
    model_.RestoreDefaults();
    FillControls();
}

void SettingsDialog::OnToggled(GtkWidget* widget) {
    if (filling_) return;
    const bool on = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(widget));
    if (widget == Control("1111")) {
        model_.SetHour24(!on);
    } else if (widget == Control("1112")) {
        model_.SetHour24(on);
    } else {
        for (const Toggle& toggle : kToggles)
            if (widget == Control(toggle.id)) (model_.*toggle.set)(on);
    }
    UpdateEnabling();
}

void SettingsDialog::OnScaleChanged(GtkWidget* widget) {
    if (filling_) return;
    const int value = int(std::lround(gtk_range_get_value(GTK_RANGE(widget))));
    if (widget == Control("1020")) {
        model_.SetVolume(value);
    } else {
        model_.SetGamma(value);
        if (GtkWidget* label = Control("11118")) gtk_label_set_text(GTK_LABEL(label), model_.GetGammaText().c_str());
    }
}

void SettingsDialog::OnModeChanged() {
    if (filling_) return;
    if (GtkWidget* combo = Control("1011")) model_.SelectItem(gtk_combo_box_get_active(GTK_COMBO_BOX(combo)));
}

bool SettingsDialog::OnKeyPress(unsigned keyval) {
    if (keyval == GDK_KEY_Escape) {
        Finish(model_.Cancel());
        return true;
    }
    if (keyval == GDK_KEY_Return || keyval == GDK_KEY_KP_Enter || keyval == GDK_KEY_ISO_Enter) {
        // A focused push button takes Enter itself; anywhere else Enter is OK, as in a dialog box.
        GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window_));
        if (focus && GTK_IS_BUTTON(focus) && !GTK_IS_TOGGLE_BUTTON(focus)) return false;
        OnOk();
        return true;
    }
    return false;
}

void SettingsDialog::ToggledThunk(GtkWidget* widget, void* self) {
    static_cast<SettingsDialog*>(self)->OnToggled(widget);
}

void SettingsDialog::ScaleThunk(GtkWidget* widget, void* self) {
    static_cast<SettingsDialog*>(self)->OnScaleChanged(widget);
}

void SettingsDialog::ModeThunk(GtkWidget* /*widget*/, void* self) {
    static_cast<SettingsDialog*>(self)->OnModeChanged();
}

void SettingsDialog::ClickedThunk(GtkWidget* widget, void* self) {
    auto* dialog = static_cast<SettingsDialog*>(self);
    if (widget == dialog->Control("1"))
        dialog->OnOk();
    else if (widget == dialog->Control("2"))
        dialog->Finish(dialog->model_.Cancel());
    else if (widget == dialog->Control("1061"))
        dialog->OnVisit();
    else if (widget == dialog->Control("1062"))
        dialog->OnAbout();
    else if (widget == dialog->Control("1063"))
        dialog->OnRestoreDefaults();
}

int SettingsDialog::KeyPressThunk(GtkWidget* /*widget*/, void* event, void* self) {
    return static_cast<SettingsDialog*>(self)->OnKeyPress(static_cast<GdkEventKey*>(event)->keyval) ? TRUE : FALSE;
}

int SettingsDialog::DeleteThunk(GtkWidget* /*widget*/, void* /*event*/, void* self) {
    // Closing the window is Cancel; the window stays until the dialog object goes.
    auto* dialog = static_cast<SettingsDialog*>(self);
    dialog->Finish(dialog->model_.Cancel());
    return TRUE;
}

int SettingsDialog::DrawThunk(GtkWidget* widget, void* cairo, void* self) {
    auto* dialog = static_cast<SettingsDialog*>(self);
    // Decoded once, when the picture is first shown.
    if (!dialog->pictureLoaded_) {
        dialog->pictureLoaded_ = true;
        dialog->picture_ = LoadDialogPicture("settings.bmp");
    }
    DrawStretchedPicture(widget, cairo, dialog->picture_);
    return FALSE;
}

int RunConfigureDialog(const Settings& defaults, Settings* current, const UiStrings& strings,
                       const String& registryPath, const String& webSiteUrl, int64_t parentWindow) {
    if (!current) return SettingsDialogModel::kResultNotShown;
    if (!gtk_init_check(nullptr, nullptr)) {
        LogError("Невозможно показать диалог настроек: нет дисплея.");
        return SettingsDialogModel::kResultNotShown;
    }
    Renderer* renderer = ModuleManager::GetRenderer();
    const int modeCount = renderer ? renderer->GetModeCount() : 0;
    const int currentMode = renderer ? CurrentModeIndex(renderer) : -1;
    SettingsDialogModel model(defaults, current, modeCount > 0 ? renderer->GetMode(0) : nullptr, modeCount,
                              currentMode);

    // The dialog centres on the display's current mode; without one, on the primary monitor.
    int displayWidth = 0, displayHeight = 0;
    if (const DisplayMode* mode = currentMode >= 0 ? renderer->GetMode(currentMode) : nullptr) {
        displayWidth = mode->width;
        displayHeight = mode->height;
    }
    if (displayWidth <= 0 || displayHeight <= 0) {
        GdkRectangle area{0, 0, 0, 0};
        if (GdkMonitor* monitor = gdk_display_get_primary_monitor(gdk_display_get_default()))
            gdk_monitor_get_geometry(monitor, &area);
        displayWidth = area.width;
        displayHeight = area.height;
    }

    std::string path;
    const bool havePath = SettingsStore::MakePath(registryPath, &path) == 0;
    SettingsDialog dialog(model, strings, webSiteUrl, [&](const Settings& settings) -> int {
        if (!havePath) {
            LogError("Неудачна попытка открытия пути реестра [%s].", registryPath.GetText());
            return kStatusFailed;
        }
        SettingsStore store(path);
        return store.Write(settings);
    });
    return dialog.Run(parentWindow, displayWidth, displayHeight);
}

} // namespace nuv
