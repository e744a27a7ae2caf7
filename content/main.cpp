// nuv_content: builds the screensaver's default content and packs it.
//   nuv_content <Media.rar2> <CustomData.rar2> [staging folder]
// The scene, textures and pictures depend only on the fixed seeds below, so every run
// gives the same archives byte for byte.
#include "content/MediaPacker.h"
#if NUV_HAVE_VORBISENC
#include "content/MusicTrack.h"
#endif
#include "content/OverlayPictures.h"
#include "content/FigureBuilder.h"
#include "content/ProceduralTextures.h"
#include "content/SoundBuilder.h"
#include "content/WinterSceneBuilder.h"

#include "core/Engine.h"
#include "core/SceneFile.h"
#include "core/Status.h"
#include "core/Stream.h"
#include "scene/SceneNode.h"

#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <string>

namespace {

constexpr uint32_t kSceneSeed = 0x5EED2026u;
constexpr uint32_t kTextureSeed = 0x7E47u;
constexpr uint32_t kPictureSeed = 0x91C7u;
constexpr uint32_t kMusicSeed = 0xA11Au;
constexpr uint32_t kEffectsSeed = 0xEFFEu;
constexpr double kMusicSeconds = 48.0;
#if NUV_HAVE_VORBISENC
constexpr bool kWithMusic = true;
#else
constexpr bool kWithMusic = false;
#endif

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

int BuildMedia(nuv::MediaPacker& media) {
    nuv::WinterSceneBuilder builder(kSceneSeed, kWithMusic);
    nuv::Pointer<nuv::SceneNode> root = builder.Build();
    if (!root) return nuv::kStatusFailed;
    nuv::Stream stream(1 << 20, 1 << 20);
    if (nuv::SceneFile::Write(stream, root.Get()) != 0) {
        std::fprintf(stderr, "nuv_content: the scene could not be written\n");
        return nuv::kStatusFailed;
    }
    if (media.AddFile("Main.STR", std::vector<uint8_t>(stream.GetData(), stream.GetData() + stream.GetPosition())) != 0)
        return nuv::kStatusFailed;

    const nuv::ProceduralTextures textures(kTextureSeed);
    const std::map<std::string, std::function<nuv::Pointer<nuv::Image>()>> makers = {
        {"Textures/sky.tga", [&] { return textures.Sky(512); }},
        {"Textures/icebump.tga", [&] { return textures.IceBump(256); }},
        {"Textures/glow.tga", [&] { return textures.Glow(64); }},
        {"Textures/smoke.tga", [&] { return textures.Smoke(64); }},
        {"Textures/bulb.tga", [&] { return textures.Bulb(32); }},
        {"Textures/stone.tga", [&] { return textures.Stone(128); }},
        {"Textures/walllight.tga", [&] { return textures.WallLight(256); }},
        {"Textures/figures.tga", [&] { return textures.Figures(128); }},
        {"Textures/frost.tga", [&] { return textures.Frost(256); }},
        {"Textures/snow.tga", [&] { return textures.Snow(512); }},
        {"Textures/ice.tga", [&] { return textures.Ice(256); }},
        {"Textures/bark.tga", [&] { return textures.Bark(128); }},
        {"Textures/needles.tga", [&] { return textures.Needles(256); }},
        {"Textures/wood.tga", [&] { return textures.Wood(256); }},
        {"Textures/roof.tga", [&] { return textures.Roof(256); }},
        {"Textures/window.tga", [&] { return textures.WindowGlow(128); }},
        {"Textures/flake.tga", [&] { return textures.Flake(32); }},
    };
    for (const std::string& file : builder.GetTextureFiles()) {
        const auto maker = makers.find(file);
        if (maker == makers.end()) {
            std::fprintf(stderr, "nuv_content: no texture is drawn for %s\n", file.c_str());
            return nuv::kStatusFailed;
        }
        if (media.AddImage(file, *maker->second()) != 0) {
            std::fprintf(stderr, "nuv_content: %s could not be encoded\n", file.c_str());
            return nuv::kStatusFailed;
        }
    }
#if NUV_HAVE_VORBISENC
    std::vector<uint8_t> ogg;
    const nuv::MusicTrack music(kMusicSeed, kMusicSeconds);
    if (nuv::MusicTrack::EncodeOgg(music.Render(), nuv::MusicTrack::kSampleRate, ogg) != 0 ||
        media.AddFile(nuv::WinterSceneBuilder::kMusicFile, std::move(ogg)) != 0) {
        std::fprintf(stderr, "nuv_content: the music could not be encoded\n");
        return nuv::kStatusFailed;
    }
    for (nuv::SoundBuilder::Sound& sound : nuv::SoundBuilder::Synthesise(kEffectsSeed, nuv::FigureBuilder::kStrideSeconds)) {
        if (nuv::MusicTrack::EncodeOgg(sound.samples, nuv::EffectSounds::kSampleRate, ogg) != 0 ||
            media.AddFile(sound.file, std::move(ogg)) != 0) {
            std::fprintf(stderr, "nuv_content: %s could not be encoded\n", sound.file.c_str());
            return nuv::kStatusFailed;
        }
    }
#else
    std::fprintf(stderr, "nuv_content: no Vorbis encoder, the scene has no music and no sounds\n");
#endif
    return nuv::kStatusOk;
}

int BuildCustomData(nuv::MediaPacker& custom) {
#if NUV_HAVE_JPEG
    const bool withJpeg = true;
#else
    const bool withJpeg = false;
    std::fprintf(stderr, "nuv_content: no JPEG codec, loader.jpg is left out\n");
#endif
    for (const nuv::OverlayPictures::Picture& picture : nuv::OverlayPictures(kPictureSeed).Build(withJpeg)) {
        if (custom.AddImage(picture.name, *picture.image) != 0) {
            std::fprintf(stderr, "nuv_content: %s could not be encoded\n", picture.name.c_str());
            return nuv::kStatusFailed;
        }
    }
    return nuv::kStatusOk;
}

int Pack(const nuv::MediaPacker& packer, const std::string& path) {
    std::vector<uint8_t> archive;
    std::string error;
    if (packer.Pack(archive, error) != 0) {
        std::fprintf(stderr, "nuv_content: %s: %s\n", path.c_str(), error.c_str());
        return nuv::kStatusFailed;
    }
    if (!WriteFile(path, archive)) {
        std::fprintf(stderr, "nuv_content: cannot write %s\n", path.c_str());
        return nuv::kStatusFailed;
    }
    return nuv::kStatusOk;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: nuv_content <Media.rar2> <CustomData.rar2> [staging folder]\n");
        return 2;
    }
    if (nuv::InitializeEngine() != 0) {
        std::fprintf(stderr, "nuv_content: the engine did not start\n");
        return 1;
    }
    int status = 0;
    {
        nuv::MediaPacker media, custom;
        status = BuildMedia(media) != 0 || BuildCustomData(custom) != 0;
        if (status == 0 && argc == 4)
            status = media.WriteStaging(std::string(argv[3]) + "/Media") != 0 ||
                     custom.WriteStaging(std::string(argv[3]) + "/CustomData") != 0;
        if (status == 0) status = Pack(media, argv[1]) != 0 || Pack(custom, argv[2]) != 0;
    }
    nuv::ShutdownEngine();
    return status;
}
