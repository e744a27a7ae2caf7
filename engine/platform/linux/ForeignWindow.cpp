#include "platform/ForeignWindow.h"

#include "core/Log.h"
#include "core/Status.h"

#include <X11/Xlib.h>

namespace nuv {

namespace {

// X11 ids are 32-bit on the wire: a larger number would name some other window.
constexpr uint64_t kLargestId = 0xFFFFFFFFu;
// Errors of one frame come in runs; a few lines tell what happened.
constexpr int kLoggedErrors = 3;

// Xlib's error handlers belong to the whole process; these counts are theirs.
int gQueryErrors = 0;
int gSurvivedErrors = 0;

int CountError(Display*, XErrorEvent*) {
    ++gQueryErrors;
    return 0;
}

int SurviveError(Display*, XErrorEvent* error) {
    if (gSurvivedErrors++ < kLoggedErrors)
        LogWarning("Ошибка X11 %d в запросе %d.%d.", int(error->error_code), int(error->request_code),
                   int(error->minor_code));
    return 0;
}

int LoseDisplay(Display*) {
    // Xlib ends the process when this returns; the log gets its end first.
    LogError("Соединение с дисплеем потеряно.");
    LogError("Конец лога вследствии ошибки");
    return 0;
}

// The attributes of window id, with the errors of the query counted rather than fatal.
bool QueryWindow(Display* display, uint64_t id, bool watch, XWindowAttributes* attributes) {
    if (id == 0 || id > kLargestId) return false;
    // Errors of earlier requests still belong to whoever made them.
    XSync(display, False);
    gQueryErrors = 0;
    auto* previous = XSetErrorHandler(&CountError);
    if (watch) XSelectInput(display, ::Window(id), StructureNotifyMask);
    const int found = XGetWindowAttributes(display, ::Window(id), attributes);
    XSync(display, False);
    XSetErrorHandler(previous);
    return found != 0 && gQueryErrors == 0;
}

} // namespace

ForeignWindow::~ForeignWindow() {
    Stop();
}

int ForeignWindow::Check(uint64_t id) {
    if (id == 0 || id > kLargestId) return kStatusNotFound;
    Display* display = XOpenDisplay(nullptr);
    if (!display) return kStatusFailed;
    XWindowAttributes attributes{};
    const bool found = QueryWindow(display, id, false, &attributes);
    XCloseDisplay(display);
    return found ? kStatusOk : kStatusNotFound;
}

uint64_t ForeignWindow::GetRootWindow() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 0;
    const uint64_t root = DefaultRootWindow(display);
    XCloseDisplay(display);
    return root;
}

int ForeignWindow::GetSize(void* display, uint64_t id, int* width, int* height) {
    XWindowAttributes attributes{};
    if (!display || !QueryWindow(static_cast<Display*>(display), id, false, &attributes)) return kStatusNotFound;
    if (width) *width = attributes.width;
    if (height) *height = attributes.height;
    return kStatusOk;
}

void ForeignWindow::InstallErrorHandlers() {
    XSetErrorHandler(&SurviveError);
    XSetIOErrorHandler(&LoseDisplay);
}

int ForeignWindow::Watch(uint64_t id) {
    Stop();
    if (id == 0 || id > kLargestId) return kStatusNotFound;
    Display* display = XOpenDisplay(nullptr);
    if (!display) return kStatusFailed;
    XWindowAttributes attributes{};
    if (!QueryWindow(display, id, true, &attributes)) {
        XCloseDisplay(display);
        return kStatusNotFound;
    }
    display_ = display;
    id_ = id;
    width_ = attributes.width;
    height_ = attributes.height;
    gone_ = false;
    return kStatusOk;
}

bool ForeignWindow::Poll() {
    auto* display = static_cast<Display*>(display_);
    while (display && XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == DestroyNotify && event.xdestroywindow.window == ::Window(id_)) {
            gone_ = true;
        } else if (event.type == ConfigureNotify && event.xconfigure.window == ::Window(id_)) {
            width_ = event.xconfigure.width;
            height_ = event.xconfigure.height;
        }
    }
    return !gone_;
}

void ForeignWindow::Stop() {
    if (display_) XCloseDisplay(static_cast<Display*>(display_));
    display_ = nullptr;
    id_ = 0;
    width_ = height_ = 0;
    gone_ = false;
}

} // namespace nuv
