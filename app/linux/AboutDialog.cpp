#include "app/linux/AboutDialog.h"

#include "app/UiStrings.h"
#include "app/linux/SettingsDialog.h"
#include "core/Log.h"

#include <gdk/gdkkeysyms.h>
#include <gtk/gtk.h>

namespace nuv {

namespace {

const struct {
    const char* id;
    const char* key;
} kTexts[] = {
    {"1", "Mes_Button_OK"},        {"1040", "Mes_About_String1"}, {"1041", "Mes_About_String2"},
    {"1042", "Mes_About_String3"}, {"1043", "Mes_About_String4"}, {"1044", "Mes_About_String5"},
    {"1045", "Mes_About_String6"}, {"1046", "Mes_About_String7"}, {"1047", "Mes_About_String8"},
};

} // namespace

AboutDialog::AboutDialog(const UiStrings& strings) : strings_(strings) {}

AboutDialog::~AboutDialog() {
    if (window_) {
        gtk_widget_destroy(window_);
        g_object_unref(window_);
    }
    if (builder_) g_object_unref(builder_);
    if (loop_) g_main_loop_unref(loop_);
    if (picture_) g_object_unref(picture_);
}

int AboutDialog::Run(GtkWidget* owner) {
    builder_ = LoadDialogLayout(kLayoutId);
    if (!builder_) return 0;
    GObject* window = gtk_builder_get_object(builder_, "106");
    if (!window || !GTK_IS_WINDOW(window)) {
        LogError("Невозможно загрузить ресурс ID[%d].", kLayoutId);
        return 0;
    }
    window_ = GTK_WIDGET(window);
    g_object_ref(window_);

    if (const String* title = strings_.Get("Mes_About_Title"))
        gtk_window_set_title(GTK_WINDOW(window_), title->GetText());
    for (const auto& entry : kTexts) {
        const String* text = strings_.Get(entry.key);
        GObject* control = gtk_builder_get_object(builder_, entry.id);
        if (!text || !control) continue;
        if (GTK_IS_BUTTON(control))
            gtk_button_set_label(GTK_BUTTON(control), text->GetText());
        else if (GTK_IS_LABEL(control))
            gtk_label_set_text(GTK_LABEL(control), text->GetText());
    }

    if (GObject* ok = gtk_builder_get_object(builder_, "1")) g_signal_connect(ok, "clicked", G_CALLBACK(OkThunk), this);
    if (GObject* picture = gtk_builder_get_object(builder_, "1037"))
        g_signal_connect(picture, "draw", G_CALLBACK(DrawThunk), this);
    g_signal_connect(window_, "key-press-event", G_CALLBACK(KeyPressThunk), this);
    g_signal_connect(window_, "delete-event", G_CALLBACK(DeleteThunk), this);

    if (owner && GTK_IS_WINDOW(owner)) {
        gtk_window_set_transient_for(GTK_WINDOW(window_), GTK_WINDOW(owner));
        // Centred on the owner by the size a dialog box of this layout has.
        int left = 0, top = 0, width = 0, height = 0;
        gtk_window_get_position(GTK_WINDOW(owner), &left, &top);
        gtk_window_get_size(GTK_WINDOW(owner), &width, &height);
        gtk_window_move(GTK_WINDOW(window_), left + (width - kPlacementWidth) / 2,
                        top + (height - kPlacementHeight) / 2);
    }

    if (GObject* ok = gtk_builder_get_object(builder_, "1")) gtk_widget_grab_focus(GTK_WIDGET(ok));
    gtk_widget_show(window_);
    result_ = 0;
    loop_ = g_main_loop_new(nullptr, FALSE);
    g_main_loop_run(loop_);
    gtk_widget_hide(window_);
    return result_;
}

void AboutDialog::OkThunk(GtkWidget* /*widget*/, void* self) {
    auto* dialog = static_cast<AboutDialog*>(self);
    dialog->result_ = 1;
    if (dialog->loop_ && g_main_loop_is_running(dialog->loop_)) g_main_loop_quit(dialog->loop_);
}

int AboutDialog::KeyPressThunk(GtkWidget* /*widget*/, void* event, void* /*self*/) {
    // Only OK closes the dialog: Escape does nothing.
    return static_cast<GdkEventKey*>(event)->keyval == GDK_KEY_Escape ? TRUE : FALSE;
}

int AboutDialog::DeleteThunk(GtkWidget* /*widget*/, void* /*event*/, void* /*self*/) {
    return TRUE;
}

int AboutDialog::DrawThunk(GtkWidget* widget, void* cairo, void* self) {
    auto* dialog = static_cast<AboutDialog*>(self);
    if (!dialog->pictureLoaded_) {
        dialog->pictureLoaded_ = true;
        dialog->picture_ = LoadDialogPicture("logo.bmp");
    }
    DrawStretchedPicture(widget, cairo, dialog->picture_);
    return FALSE;
}

} // namespace nuv
