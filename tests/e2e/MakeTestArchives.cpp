// Writes the two archives the end-to-end program carries: Media.rar2 with a small "Main.STR"
// (a camera and one coloured triangle) and CustomData.rar2 with the preview picture, all teal
// (0, 128, 128), and the clock's characters as plain white blocks, so that the preview's window
// and the overlays can be found in a picture of the screen.

#include "core/ColorBuffer.h"
#include "core/Engine.h"
#include "core/IntBuffer.h"
#include "core/SceneFile.h"
#include "core/Stream.h"
#include "core/Vector3Buffer.h"
#include "media/image/BmpImageCodec.h"
#include "media/image/Image.h"
#include "media/image/TgaImageCodec.h"
#include "media/rarwriter/Rar2Writer.h"
#include "render/ColorEffect.h"
#include "scene/Camera.h"
#include "scene/SceneNode.h"
#include "scene/Triangles.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

} // namespace

int main(int argc, char** argv) {
    using namespace nuv;
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s MEDIA.rar2 CUSTOMDATA.rar2\n", argv[0]);
        return 2;
    }
    if (InitializeEngine() != 0) return 1;
    int status = 1;
    {
        Pointer<SceneNode> root(new SceneNode());
        root->SetName(String("Scene"));
        Pointer<Camera> camera(new Camera());
        camera->SetName(String("Camera"));
        root->AttachChild(camera.Get());

        Pointer<Triangles> triangle(new Triangles());
        triangle->SetName(String("Triangle"));
        Pointer<Vector3Buffer> positions(new Vector3Buffer(3));
        positions->GetElements()[0] = Vector3(-1, -1, 5);
        positions->GetElements()[1] = Vector3(0, 1, 5);
        positions->GetElements()[2] = Vector3(1, -1, 5);
        Pointer<IntBuffer> indices(new IntBuffer(3));
        for (int i = 0; i < 3; ++i) indices->GetElements()[i] = i;
        triangle->SetVertices(positions.Get());
        triangle->SetIndices(indices.Get());
        Pointer<ColorEffect> effect(new ColorEffect());
        effect->SetColor(Color(1, 0.5f, 0, 1));
        triangle->SetEffect(effect.Get());
        triangle->ComputeModelBound();
        root->AttachChild(triangle.Get());

        Pointer<Image> preview(new Image(String("preview.bmp"), 16, 12, Image::kRgb));
        for (int i = 0; i < 16 * 12; ++i) {
            preview->GetPixels()[i * 3] = 0;
            preview->GetPixels()[i * 3 + 1] = 128;
            preview->GetPixels()[i * 3 + 2] = 128;
        }
        std::vector<uint8_t> previewBytes;
        if (BmpImageCodec().Encode(*preview, previewBytes) != 0) return 1;
        Pointer<Image> block(new Image(String("digit"), 4, 8, Image::kRgba));
        std::fill(block->GetPixels(), block->GetPixels() + 4 * 8 * 4, uint8_t(255));
        std::vector<uint8_t> blockBytes;
        if (TgaImageCodec().Encode(*block, blockBytes) != 0) return 1;
        static const char* const kCharacters[] = {"0", "1", "2", "3", "4", "5", "6", "7",
                                                  "8", "9", "a", "p", "m", "dot", "ddot"};

        Stream stream(0, 1024);
        Rar2Writer media;
        Rar2Writer custom;
        static const char kNote[] = "End-to-end test data.\n";
        if (SceneFile::Write(stream, root.Get()) == 0 &&
            media.AddFile("Main.STR", stream.GetData(), size_t(stream.GetPosition()), Rar2Writer::DosTime(0)) == 0 &&
            custom.AddFile("readme.txt", reinterpret_cast<const uint8_t*>(kNote), sizeof kNote - 1,
                           Rar2Writer::DosTime(0)) == 0 &&
            custom.AddFile("preview.bmp", previewBytes.data(), previewBytes.size(), Rar2Writer::DosTime(0)) == 0) {
            bool written = true;
            for (const char* character : kCharacters) {
                const std::string name = std::string("digit_") + character + ".tga";
                written = written &&
                          custom.AddFile(name.c_str(), blockBytes.data(), blockBytes.size(), Rar2Writer::DosTime(0)) == 0;
            }
            if (written && WriteFile(argv[1], media.GetBytes()) && WriteFile(argv[2], custom.GetBytes())) status = 0;
        }
    }
    ShutdownEngine();
    return status;
}
