// A scene file read the way the screensaver reads "Main.STR": found in the file tree, loaded
// through the scene codec, with every picture it names decoded from the tree by name. The input
// is the scene's bytes, then "@@PICTURE@@" and the bytes of a picture that the tree holds under
// the names x.bmp, x.tga, x.cube and x.jpg; the tree also holds valid pictures a.bmp, b.tga,
// c.cube and d.jpg. What loads is cached and drawn once, as the screensaver's first frame.
#include "../tests/render/RecordingRenderer.h"

#include "core/Engine.h"
#include "media/CodecManager.h"
#include "media/FileManager.h"
#include "media/Folder.h"
#include "media/MemoryFile.h"
#include "media/ModuleManager.h"
#include "media/image/BmpImageCodec.h"
#include "media/image/CubeImageCodec.h"
#include "media/image/Image.h"
#include "media/image/JpgImageCodec.h"
#include "media/image/TgaImageCodec.h"
#include "media/image/VolumeImage.h"
#include "render/SceneNodeEffect.h"
#include "render/Texture.h"
#include "scene/Camera.h"
#include "scene/ParticleSystem.h"
#include "scene/SceneNode.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using namespace nuv;

constexpr char kSeparator[] = "@@PICTURE@@";

void AddFile(Folder* folder, const char* name, std::vector<uint8_t> bytes) {
    Pointer<MemoryFile> file = new MemoryFile(name);
    file->SetContent(std::move(bytes));
    folder->AttachFile(file.Get());
}

// A small picture with varied pixels in a format the codec writes.
Pointer<Image> Picture(int width, int height, int format) {
    Pointer<Image> image = new Image("p", width, height, format);
    for (int i = 0; i < image->GetDataSize(); ++i) image->GetPixels()[i] = uint8_t(i * 37 + 11);
    return image;
}

// The folder that stands for the attached media archive; the fuzzed files are replaced per input.
Folder* gMedia = nullptr;

// Every pass of a scene effect draws the subtree again: a frame that would visit more nodes than
// this is updated but not drawn, to keep each run short.
constexpr int64_t kMaxDrawVisits = 200000;

int64_t DrawVisits(Node* node, int64_t budget) {
    auto* group = DynamicCast<SceneNode>(node);
    if (!group || budget <= 1) return 1;
    int64_t times = 0;
    for (int i = 0; i < group->GetEffectCount(); ++i) times += group->GetEffect(i)->PassCount();
    if (group->GetEffectCount() == 0) times = 1;
    int64_t visits = 1;
    for (int i = 0; i < group->GetChildCount() && visits <= budget; ++i)
        if (Node* child = group->GetChild(i)) visits += times * DrawVisits(child, budget);
    return visits;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (InitializeEngine() != 0) return 1;
    // The codecs the screensaver loads for a full-screen run.
    for (const char* name : {"BMPImageCodec", "JPGImageCodec", "TGAImageCodec", "CUBEImageCodec", "STRSceneCodec"}) {
        ModuleManager::LoadModule(name, nullptr);
        CodecManager::GetCodec(name, nullptr);
    }
    gMedia = new Folder("Media.rar2", FileManager::GetRoot());
    Folder* textures = new Folder("Textures", gMedia);
    std::vector<uint8_t> bytes;
    if (BmpImageCodec().Encode(*Picture(3, 2, Image::kRgb), bytes) == 0) AddFile(textures, "a.bmp", bytes);
    bytes.clear();
    if (TgaImageCodec().Encode(*Picture(2, 3, Image::kRgba), bytes) == 0) AddFile(textures, "b.tga", bytes);
    bytes.clear();
    Pointer<VolumeImage> cube = new VolumeImage("c", 2, 2, Image::kRgb, 6);
    for (int i = 0; i < cube->GetDataSize(); ++i) cube->GetPixels()[i] = uint8_t(i);
    if (CubeImageCodec().Encode(*cube, bytes) == 0) AddFile(textures, "c.cube", bytes);
#ifdef NUV_HAVE_JPEG
    bytes.clear();
    if (JpgImageCodec().Encode(*Picture(8, 8, Image::kRgb), bytes) == 0) AddFile(textures, "d.jpg", bytes);
#endif
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 22)) return 0;
    const uint8_t* end = data + size;
    const uint8_t* split = std::search(data, end, kSeparator, kSeparator + sizeof kSeparator - 1);
    const std::vector<uint8_t> scene(data, split);
    const std::vector<uint8_t> picture(split == end ? end : split + sizeof kSeparator - 1, end);

    // The input's files, at the top of the media like the real archive's scene file.
    std::vector<Pointer<File>> added;
    const auto add = [&](const char* name, const std::vector<uint8_t>& bytes) {
        Pointer<MemoryFile> file = new MemoryFile(name);
        std::vector<uint8_t> copy = bytes;
        file->SetContent(std::move(copy));
        gMedia->AttachFile(file.Get());
        added.emplace_back(file.Get());
    };
    add("Main.STR", scene);
    for (const char* name : {"x.bmp", "x.tga", "x.cube", "x.jpg"}) add(name, picture);

    File* file = FileManager::FindFile("Main.STR");
    Pointer<Object> loaded;
    if (file && CodecManager::LoadSceneFile(file, loaded) == 0 && loaded && loaded->IsDerived(SceneNode::TYPE)) {
        auto* root = static_cast<SceneNode*>(loaded.Get());
        Pointer<test::RecordingRenderer> renderer(new test::RecordingRenderer());
        // Caching: every texture bound once, the tree updated, the particle systems run a while.
        Array<Object*> found;
        root->CollectByType(Texture::TYPE, found);
        for (int i = 0; i < found.GetCount(); ++i) {
            auto* texture = static_cast<Texture*>(found[i]);
            if (Image* image = texture->GetImage()) {
                // A picture the codecs gave must hold all its bytes.
                if (image->HasPixels() && image->GetDataSize() > 0) {
                    volatile uint8_t last = image->GetPixels()[image->GetDataSize() - 1];
                    (void)last;
                }
            }
            renderer->SetTexture(texture, 0);
        }
        root->UpdateTree(0, true);
        found.Clear();
        root->CollectByType(ParticleSystem::TYPE, found);
        for (int step = 0; step < 10; ++step)
            for (int i = 0; i < found.GetCount(); ++i) static_cast<ParticleSystem*>(found[i])->UpdateTree(0.1, true);
        renderer->SetCamera(Pointer<Camera>(new Camera()).Get());
        renderer->GetCamera()->UpdateTree(0, false);
        root->UpdateTree(0.016, true);
        if (DrawVisits(root, kMaxDrawVisits) <= kMaxDrawVisits) {
            root->CullAndRender(*renderer);
            renderer->FlushDeferred();
        }
    }
    loaded.Reset();
    for (const Pointer<File>& f : added) gMedia->DetachFile(f.Get());
    return 0;
}
