#include "app/PreviewWindow.h"

#include "app/TerminationSignal.h"
#include "core/Log.h"
#include "core/Status.h"
#include "media/File.h"
#include "media/FileManager.h"
#include "media/image/Image.h"

#include <SDL.h>

#include <cstdio>
#include <new>

namespace nuv {

namespace {

constexpr const char* kPictureName = "preview.bmp";

// The picture as an SDL surface of its own, top row first as SDL expects (our images keep
// the bottom row first).
SDL_Surface* ToSurface(const Image& image) {
    const int width = image.GetWidth(), height = image.GetHeight();
    const int bytes = Image::GetBytesPerPixel(image.GetFormat());
    if (width <= 0 || height <= 0 || !image.HasPixels() || bytes < 1 || bytes > 4) return nullptr;
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_RGBA32);
    if (!surface) return nullptr;
    const uint8_t* pixels = image.GetPixels();
    for (int y = 0; y < height; ++y) {
        const uint8_t* from = pixels + size_t(height - 1 - y) * size_t(width) * size_t(bytes);
        uint8_t* to = static_cast<uint8_t*>(surface->pixels) + size_t(y) * size_t(surface->pitch);
        for (int x = 0; x < width; ++x, from += bytes, to += 4) {
            // One channel is grey; three or four are red, green, blue (and alpha).
            to[0] = from[0];
            to[1] = bytes >= 3 ? from[1] : from[0];
            to[2] = bytes >= 3 ? from[2] : from[0];
            to[3] = 255;
        }
    }
    return surface;
}

} // namespace

PreviewWindow::PreviewWindow() = default;

PreviewWindow::~PreviewWindow() {
    Destroy();
}

int PreviewWindow::Create(uint64_t parent, const char* title) {
    if (window_) return kStatusOk;
    if (parent != 0) {
        // A number that is no window would make the window system end the process.
        const int watched = parent_.Watch(parent);
        if (watched != 0) {
            LogError("Окно [%llu] не найдено.", static_cast<unsigned long long>(parent));
            if (watched == 3)
                std::fprintf(stderr, "halvane: %llu is not a window on this display\n",
                             static_cast<unsigned long long>(parent));
            else
                std::fprintf(stderr, "halvane: no display to find window %llu on\n",
                             static_cast<unsigned long long>(parent));
            return kStatusFailed;
        }
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        LogError("Невозможно создать окно предпросмотра. Причина [%s].", SDL_GetError());
        parent_.Stop();
        return kStatusFailed;
    }
    if (parent != 0) {
        // The control panel's window, given by its X11 id: we draw into it. Its owner may
        // destroy it while we paint.
        ForeignWindow::InstallErrorHandlers();
        window_ = SDL_CreateWindowFrom(reinterpret_cast<void*>(static_cast<uintptr_t>(parent)));
    } else {
        window_ = SDL_CreateWindow(title, 100, 100, 50, 50, SDL_WINDOW_SHOWN | SDL_WINDOW_BORDERLESS);
    }
    if (!window_) {
        LogError("Невозможно создать окно предпросмотра. Причина [%s].", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        parent_.Stop();
        return kStatusFailed;
    }
    return kStatusOk;
}

void PreviewWindow::LoadPicture() {
    File* file = FileManager::FindFile(kPictureName);
    if (!file) {
        LogWarning("Файл [%s] не найден.", kPictureName);
        return;
    }
    Pointer<Image> image(new (std::nothrow) Image());
    if (!image || image->LoadFromFile(file) != 0 || !image->HasPixels()) {
        LogWarning("Невозможно загрузить изображение [%s].", kPictureName);
        return;
    }
    picture_ = image;
}

void PreviewWindow::Paint() {
    if (!window_) return;
    SDL_Surface* target = SDL_GetWindowSurface(window_);
    if (!target) return;
    paintedWidth_ = target->w;
    paintedHeight_ = target->h;
    SDL_FillRect(target, nullptr, SDL_MapRGB(target->format, 0, 0, 0));
    if (picture_) {
        if (SDL_Surface* source = ToSurface(*picture_)) {
            SDL_BlitScaled(source, nullptr, target, nullptr);
            SDL_FreeSurface(source);
        }
    }
    SDL_UpdateWindowSurface(window_);
}

bool PreviewWindow::ProcessEvents() {
    bool running = window_ != nullptr;
    bool repaint = false;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT) running = false;
        if (event.type != SDL_WINDOWEVENT) continue;
        switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE: running = false; break;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_RESIZED: repaint = true; break;
        default: break;
        }
    }
    if (TerminationSignal::IsRequested()) running = false;
    if (parent_.GetId() != 0 && !parent_.Poll()) {
        LogInfo("Окно [%llu] закрыто.", static_cast<unsigned long long>(parent_.GetId()));
        running = false;
    }
    if (running && window_) {
        int width = 0, height = 0;
        SDL_GetWindowSize(window_, &width, &height);
        if (width != paintedWidth_ || height != paintedHeight_) repaint = true;
        if (repaint) Paint();
    }
    return running;
}

void PreviewWindow::Destroy() {
    if (!window_) return;
    SDL_DestroyWindow(window_);
    window_ = nullptr;
    parent_.Stop();
    picture_.Reset();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

} // namespace nuv
