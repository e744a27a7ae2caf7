#pragma once

typedef struct _GdkPixbuf GdkPixbuf;
typedef struct _GtkBuilder GtkBuilder;
typedef struct _GtkWidget GtkWidget;
typedef struct _GMainLoop GMainLoop;

namespace nuv {

class UiStrings;

// The About dialog on GTK (layout DIALOG 106): texts, the "logo.bmp" picture, and an OK button
// that is the only way to close it.
class AboutDialog {
public:
    static constexpr int kLayoutId = 106;
    // The size the placement centres on the owner.
    static constexpr int kPlacementWidth = 363;
    static constexpr int kPlacementHeight = 232;

    explicit AboutDialog(const UiStrings& strings);
    ~AboutDialog();
    AboutDialog(const AboutDialog&) = delete;
    AboutDialog& operator=(const AboutDialog&) = delete;

    // Shows the dialog modally over owner (may be null); 1 once OK closed it, 0 when it could
    // not be shown.
    int Run(GtkWidget* owner);

private:
    static void OkThunk(GtkWidget* widget, void* self);
    static int KeyPressThunk(GtkWidget* widget, void* event, void* self);
    static int DeleteThunk(GtkWidget* widget, void* event, void* self);
    static int DrawThunk(GtkWidget* widget, void* cairo, void* self);

    const UiStrings& strings_;
    GtkBuilder* builder_ = nullptr;
    GtkWidget* window_ = nullptr;
    GMainLoop* loop_ = nullptr;
    GdkPixbuf* picture_ = nullptr;
    bool pictureLoaded_ = false;
    int result_ = 0;
};

} // namespace nuv
