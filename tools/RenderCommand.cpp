#include "RenderCommand.h"

#include "MediaSource.h"

#include "core/Engine.h"
#include "core/Log.h"
#include "core/MessageOutput.h"
#include "core/Pointer.h"
#include "core/Status.h"
#include "media/CodecManager.h"
#include "media/File.h"
#include "media/FileManager.h"
#include "media/Folder.h"
#include "media/MemoryFile.h"
#include "media/ModuleManager.h"
#include "media/image/BmpImageCodec.h"
#include "media/image/Image.h"
#include "media/image/TgaImageCodec.h"
#include "render/Renderer.h"
#ifdef NUV_HAVE_JPEG
#include "media/image/JpgImageCodec.h"
#endif
#include "platform/SystemWindow.h"
#include "scene/Camera.h"
#include "scene/Node.h"
#include "render/ProfileTable.h"
#include "render/SceneOptions.h"
#include "scene/ParticleSystem.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace nuv {

namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
const char* const kRendererModule = "DirectX9";
#else
const char* const kRendererModule = "OpenGL";
#endif

struct Options {
    std::string scene;
    std::string media;
    std::string camera;
    std::string format = "tga";
    int width = 800;
    int height = 600;
    int frames = 1;
    double step = 1.0 / 30.0;
    bool warmUp = false;
    bool profile = false;
    SceneOptions::Choice options;
    int seed = -1;
    std::string out = ".";
};

// Warnings and errors of the engine explain a failure; they go to the error stream.
class StreamOutput : public MessageOutput {
public:
    explicit StreamOutput(std::ostream& err) : MessageOutput("nuvtool render"), err_(err) {}
    void Output(int level, const String& text) override {
        if (level >= kLogWarning) err_ << "nuvtool render: " << text.GetText() << "\n";
    }

private:
    std::ostream& err_;
};

bool ParseSize(const std::string& text, int& width, int& height) {
    char x = 0;
    char tail = 0;
    return std::sscanf(text.c_str(), "%d%c%d%c", &width, &x, &height, &tail) == 3 && (x == 'x' || x == 'X') &&
           width >= 16 && height >= 16 && width <= 8192 && height <= 8192;
}

bool ParseArgs(const std::vector<std::string>& args, Options& o, std::ostream& err) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& to) {
            if (i + 1 >= args.size()) {
                err << "nuvtool render: " << a << " needs a value\n";
                return false;
            }
            to = args[++i];
            return true;
        };
        std::string v;
        if (a == "--media") {
            if (!value(o.media)) return false;
        } else if (a == "--camera") {
            if (!value(o.camera)) return false;
        } else if (a == "--out") {
            if (!value(o.out)) return false;
        } else if (a == "--format") {
            if (!value(o.format)) return false;
            if (o.format != "tga" && o.format != "bmp" && o.format != "jpg" && o.format != "none") {
                err << "nuvtool render: --format is tga, bmp, jpg or none\n";
                return false;
            }
        } else if (a == "--size") {
            if (!value(v)) return false;
            if (!ParseSize(v, o.width, o.height)) {
                err << "nuvtool render: --size is WIDTHxHEIGHT, 16 to 8192 each\n";
                return false;
            }
        } else if (a == "--frames") {
            if (!value(v)) return false;
            o.frames = std::atoi(v.c_str());
            if (o.frames < 1 || o.frames > 100000) {
                err << "nuvtool render: --frames is 1 to 100000\n";
                return false;
            }
        } else if (a == "--step") {
            if (!value(v)) return false;
            o.step = std::atof(v.c_str());
            if (!(o.step >= 0.0 && o.step <= 10.0)) {
                err << "nuvtool render: --step is 0 to 10 seconds\n";
                return false;
            }
        } else if (a == "--warm-up") {
            o.warmUp = true;
        } else if (a == "--profile") {
            o.profile = true;
        } else if (a == "--seed") {
            if (!value(v)) return false;
            char* end = nullptr;
            const long seed = std::strtol(v.c_str(), &end, 10);
            if (v.empty() || *end != '\0' || seed < 0 || seed > 0x7FFFFFFF) {
                err << "nuvtool render: --seed is a number from 0 to 2147483647\n";
                return false;
            }
            o.seed = int(seed);
        } else if (a == "--no-shadows") {
            o.options.shadows = false;
        } else if (a == "--no-shine") {
            o.options.shine = false;
        } else if (a == "--no-reflections") {
            o.options.reflections = false;
        } else if (a == "--no-snow") {
            o.options.snow = false;
        } else if (!a.empty() && a[0] == '-') {
            err << "nuvtool render: unknown option " << a << "\n";
            return false;
        } else if (o.scene.empty()) {
            o.scene = a;
        } else {
            err << "nuvtool render: one scene only\n";
            return false;
        }
    }
    if (o.scene.empty()) {
        err << "nuvtool render: no scene given\n";
        return false;
    }
    return true;
}

// The first windowed record: the picture takes the size asked for, whatever the display's.
int WindowedMode(const Renderer& renderer) {
    for (int i = 0; i < renderer.GetModeCount(); ++i)
        if (renderer.GetMode(i)->fullScreen == 0) return i;
    return -1;
}

Camera* FindCamera(Object& root, const std::string& name) {
    if (!name.empty()) return DynamicCast<Camera>(root.FindByName(String(name.c_str())));
    Array<Object*> cameras(4, 16);
    root.CollectByType(Camera::TYPE, cameras);
    return cameras.IsEmpty() ? nullptr : static_cast<Camera*>(cameras[0]);
}

int WriteFrame(Renderer& renderer, const Options& o, int index, std::ostream& err) {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
    if (!renderer.ReadFrame(width, height, rgba)) {
        err << "nuvtool render: the frame could not be read back\n";
        return RenderCommand::kExitFailed;
    }
    // Rows come bottom first, as image memory keeps them.
    Pointer<Image> image(new Image(String("frame"), width, height, Image::kRgb));
    uint8_t* pixels = image->GetPixels();
    if (!pixels) return RenderCommand::kExitFailed;
    for (size_t i = 0, n = size_t(width) * size_t(height); i < n; ++i) std::memcpy(pixels + i * 3, &rgba[i * 4], 3);
    std::vector<uint8_t> bytes;
    int status = kStatusFailed;
    if (o.format == "bmp") {
        status = BmpImageCodec().Encode(*image, bytes);
#ifdef NUV_HAVE_JPEG
    } else if (o.format == "jpg") {
        status = JpgImageCodec().Encode(*image, bytes);
#endif
    } else {
        status = TgaImageCodec().Encode(*image, bytes);
    }
    char name[32];
    std::snprintf(name, sizeof name, "frame_%04d.%s", index, o.format.c_str());
    const fs::path path = fs::path(o.out) / name;
    std::ofstream file(path, std::ios::binary);
    if (status != kStatusOk || !file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()))) {
        err << "nuvtool render: cannot write '" << path.string() << "'\n";
        return RenderCommand::kExitFailed;
    }
    return RenderCommand::kExitOk;
}

// The profile's table: per frame, each section's GPU time and the samples it drew.
void PrintProfile(const std::vector<Renderer::ProfileEntry>& entries, int frames, std::ostream& out) {
    for (const std::string& line : ProfileTable::Format(entries, frames)) out << line << "\n";
}

const WindowCalls kWindowCalls{&CreateSystemWindow, &DestroySystemWindow};

// As the screensaver starts: every particle system restarts and runs 30 simulated seconds, so
// the snow has been falling for a while at the first frame.
void WarmUpParticles(Node& root) {
    Array<Object*> systems;
    root.CollectByType(ParticleSystem::TYPE, systems);
    for (int i = 0; i < systems.GetCount(); ++i) static_cast<ParticleSystem*>(systems[i])->Reset();
    if (systems.GetCount() == 0) return;
    for (float t = 0.0f; t < 30.0f; t += 0.01f)
        for (int i = 0; i < systems.GetCount(); ++i) static_cast<ParticleSystem*>(systems[i])->UpdateTree(0.01, true);
}

} // namespace

void RenderCommand::PrintHelp(std::ostream& out) {
    out << "usage: nuvtool render SCENE [--media DIR|ARCHIVE] [--camera NAME] [--size WxH]\n"
           "                      [--frames N] [--step SECONDS] [--warm-up] [--profile]\n"
           "                      [--format tga|bmp|jpg|none] [--seed N] [--no-reflections] [--no-shadows]\n"
           "                      [--no-snow] [--no-shine] [--out DIR]\n"
           "  Loads SCENE (a path inside the media, such as Main.STR, or a .STR file on disk), draws it\n"
           "  through the platform's renderer module (OpenGL offscreen; Direct3D 9 in nuvtool.exe) and\n"
           "  writes frame_0000.tga, frame_0001.tga, ... into\n"
           "  DIR (default: the current folder). The media is a folder or a RAR 2.0 archive whose files\n"
           "  the scene refers to (default: the folder of a scene file on disk). The camera is the node\n"
           "  of that name, or the first camera found.\n"
           "  Each frame advances the scene by --step seconds (default 1/30); size defaults to 800x600.\n"
           "  --warm-up runs every particle system 30 simulated seconds before the first frame, as the\n"
           "  screensaver does.\n"
           "  --profile prints, per frame, the GPU time (ms) and the pixels drawn (samples that passed\n"
           "  the depth and stencil tests) of each section of the frame: shadow depth, reflection,\n"
           "  opaque, transparent, sprites, the glow's steps, overlays; a section drawing into a\n"
           "  texture names it in brackets. The first frame is left out when there are several.\n"
           "  --seed N starts the random numbers (the particles' spread) from N instead of the clock,\n"
           "  so that the same scene, steps and seed give the same pictures.\n"
           "  --format none draws and presents the frames without reading them back or writing\n"
           "  pictures: the time per frame it prints is the drawing's alone.\n"
           "  --no-reflections, --no-shadows, --no-snow and --no-shine leave out the ice's\n"
           "  reflections, the shadows, the falling snow and the glow, as the screensaver's options\n"
           "  of those names do.\n"
           "exit status: 0 done, 1 the scene, camera or renderer failed, 2 bad arguments or input\n";
}

int RenderCommand::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        PrintHelp(out);
        return kExitOk;
    }
    Options o;
    if (!ParseArgs(args, o, err)) {
        PrintHelp(err);
        return kExitUsage;
    }
    std::error_code ec;
    fs::create_directories(o.out, ec);
    if (!fs::is_directory(o.out, ec)) {
        err << "nuvtool render: cannot make the folder '" << o.out << "'\n";
        return kExitUsage;
    }
    // Without a display the picture is drawn offscreen; the rasteriser's thread count is fixed
    // so that the same scene gives the same pictures.
#ifndef _WIN32
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("LP_NUM_THREADS", "2", 0);
#endif

    Pointer<StreamOutput> log(new StreamOutput(err));
    RegisterMessageOutput(log.Get());
    int result = kExitFailed;
    if (InitializeEngine() == kStatusOk) {
        // After the engine's own seeding from the clock.
        if (o.seed >= 0) std::srand(unsigned(o.seed));
        // The codecs the host makes at start: scenes, archives and pictures by extension.
        for (const char* codec : {"BMPImageCodec", "JPGImageCodec", "TGAImageCodec", "CUBEImageCodec",
                                  "STRSceneCodec", "RAR2FileCodec"})
            CodecManager::GetCodec(String(codec), nullptr);
        Pointer<Object> root;
        if (o.media.empty()) o.media = MediaSource::DefaultMedia(o.scene); // pictures beside the scene file
        if (!o.media.empty() && !MediaSource::Attach(o.media, "nuvtool render", err)) {
            result = kExitUsage;
        } else if (const int status = MediaSource::LoadScene(o.scene, root, "nuvtool render", err); status != kStatusOk || !root) {
            if (status != MediaSource::kNoScene) err << "nuvtool render: '" << o.scene << "' is not a readable scene\n";
            result = status == MediaSource::kNoScene ? kExitUsage : kExitFailed;
        } else if (Node* node = DynamicCast<Node>(root.Get()); !node) {
            err << "nuvtool render: the scene's root is not a node\n";
        } else if (Camera* camera = FindCamera(*root, o.camera); !camera) {
            err << "nuvtool render: no camera " << (o.camera.empty() ? "in the scene" : "'" + o.camera + "'") << "\n";
        } else {
            Renderer::SetWindowCalls(&kWindowCalls);
            if (ModuleManager::CreateRenderer(String(kRendererModule)) != kStatusOk) {
                err << "nuvtool render: the " << kRendererModule << " renderer could not be made\n";
            } else {
                Renderer* renderer = ModuleManager::GetRenderer();
                const int windowed = WindowedMode(*renderer);
                if (renderer->Open(windowed, String("nuvtool render"), nullptr, 0, 0, o.width, o.height) != kStatusOk) {
                    err << "nuvtool render: the renderer could not open a " << o.width << "x" << o.height
                        << " picture\n";
                } else {
                    result = kExitOk;
                    SceneOptions::Apply(*node, o.options);
                    // Sprites drawn as quads face the camera the update finds.
                    renderer->SetCamera(camera);
                    node->UpdateTree(0.0, true);
                    if (o.warmUp) WarmUpParticles(*node);
                    // Where a frame's time goes: the engine's update and drawing (the device
                    // may still be working when it ends), reading the picture back and writing
                    // it, presenting.
                    using Clock = std::chrono::steady_clock;
                    Clock::duration drawing{}, reading{}, presenting{};
                    for (int frame = 0; frame < o.frames && result == kExitOk; ++frame) {
                        const Clock::time_point start = Clock::now();
                        // The first frame makes the device objects: measured only when alone.
                        if (o.profile && (frame == 1 || o.frames == 1)) renderer->SetProfiling(true);
                        if (frame > 0) node->UpdateTree(o.step, true);
                        renderer->SetCamera(camera);
                        if (renderer->BeginFrame() != kStatusOk) {
                            err << "nuvtool render: the device could not begin a frame\n";
                            result = kExitFailed;
                            break;
                        }
                        renderer->Clear(Renderer::kClearColor | Renderer::kClearDepth | Renderer::kClearStencil,
                                        Color(0, 0, 0, 1), 1.0f, 0);
                        node->CullAndRender(*renderer);
                        renderer->FlushDeferred();
                        const Clock::time_point drawn = Clock::now();
                        // Read before presenting: the back buffer holds the finished frame.
                        if (o.format != "none" && WriteFrame(*renderer, o, frame, err) != kExitOk) result = kExitFailed;
                        const Clock::time_point written = Clock::now();
                        renderer->EndFrame();
                        // The first frame makes the device objects; the others show the pace.
                        if (frame == 0 && o.frames > 1) continue;
                        drawing += drawn - start;
                        reading += written - drawn;
                        presenting += Clock::now() - written;
                    }
                    if (result == kExitOk) {
                        if (o.format == "none") out << o.frames << " frame(s) drawn\n";
                        else out << o.frames << " frame(s) written to " << o.out << "\n";
                        const int timed = o.frames > 1 ? o.frames - 1 : 1;
                        auto perFrame = [&](Clock::duration d) {
                            return std::chrono::duration<double, std::milli>(d).count() / timed;
                        };
                        char line[200];
                        std::snprintf(line, sizeof line,
                                      "per frame%s: %.1f ms drawing, %.1f ms reading back and writing, %.1f ms "
                                      "presenting\n",
                                      o.frames > 1 ? " after the first" : "", perFrame(drawing), perFrame(reading),
                                      perFrame(presenting));
                        out << line;
                        if (o.profile) PrintProfile(renderer->GetProfile(), timed, out);
                    }
                    renderer->SetProfiling(false);
                    renderer->Close();
                }
                ModuleManager::DestroyRenderer();
            }
            Renderer::SetWindowCalls(nullptr);
        }
        root.Reset();
    } else {
        err << "nuvtool render: the engine did not start\n";
    }
    ShutdownEngine();
    UnregisterMessageOutput(log.Get());
    return result;
}

} // namespace nuv
