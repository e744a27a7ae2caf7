#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

// A picture nuvtool render wrote: an uncompressed true-colour TGA read into RGB rows, top row first.
struct TgaPicture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;

    bool Read(const std::filesystem::path& path);
};
