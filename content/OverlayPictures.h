#pragma once

#include "core/Pointer.h"
#include "media/image/Image.h"

#include <cstdint>
#include <string>
#include <vector>

namespace nuv {

// The host's interface pictures, drawn by code: the loading picture and its four corner
// ornaments, the clock and frame-rate characters, and the dialog and preview pictures.
class OverlayPictures {
public:
    struct Picture {
        std::string name;  // archive name; the extension picks the codec
        Pointer<Image> image;
    };

    static constexpr int kDigitWidth = 32;
    static constexpr int kDigitHeight = 64;
    static constexpr int kCornerSize = 128;

    explicit OverlayPictures(uint32_t seed) : seed_(seed) {}

    // Every picture the host looks up, in a fixed order. withJpeg leaves out "loader.jpg"
    // when the program has no JPEG codec to write it.
    std::vector<Picture> Build(bool withJpeg) const;

    // One character picture: white strokes on transparent black. c is one of "0123456789apm.:".
    Pointer<Image> Character(char c) const;
    // A moonlit village in the snow, sized for the loading screen, the dialogs or the preview.
    Pointer<Image> Landscape(const char* name, int width, int height) const;
    // A frosty ornament that opens from the corner named by "lu", "ru", "ld" or "rd".
    Pointer<Image> Corner(const char* corner) const;
    // The About picture: a six-armed snowflake on night blue.
    Pointer<Image> Logo(int size) const;

private:
    uint32_t Hash(uint32_t a, uint32_t b) const;

    uint32_t seed_;
};

} // namespace nuv
