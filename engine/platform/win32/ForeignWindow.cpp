#include "platform/ForeignWindow.h"

#include "core/Status.h"

#include <windows.h>

namespace nuv {

namespace {

HWND Handle(uint64_t id) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(id)); }

} // namespace

ForeignWindow::~ForeignWindow() {
    Stop();
}

int ForeignWindow::Check(uint64_t id) {
    return id != 0 && IsWindow(Handle(id)) ? kStatusOk : kStatusNotFound;
}

uint64_t ForeignWindow::GetRootWindow() {
    return reinterpret_cast<uintptr_t>(GetDesktopWindow());
}

int ForeignWindow::GetSize(void* /*display*/, uint64_t id, int* width, int* height) {
    RECT rect{};
    if (!IsWindow(Handle(id)) || !GetClientRect(Handle(id), &rect)) return kStatusNotFound;
    if (width) *width = int(rect.right - rect.left);
    if (height) *height = int(rect.bottom - rect.top);
    return kStatusOk;
}

// Windows reports a vanished window through the calls' results; nothing ends the process.
void ForeignWindow::InstallErrorHandlers() {}

int ForeignWindow::Watch(uint64_t id) {
    Stop();
    if (GetSize(nullptr, id, &width_, &height_) != kStatusOk) return kStatusNotFound;
    id_ = id;
    display_ = Handle(id);
    return kStatusOk;
}

bool ForeignWindow::Poll() {
    if (!display_) return !gone_;
    if (GetSize(nullptr, id_, &width_, &height_) != kStatusOk) gone_ = true;
    return !gone_;
}

void ForeignWindow::Stop() {
    display_ = nullptr;
    id_ = 0;
    width_ = height_ = 0;
    gone_ = false;
}

} // namespace nuv
