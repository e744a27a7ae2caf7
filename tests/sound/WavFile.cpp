#include "WavFile.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>

namespace nuv::test {

namespace {

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t Le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}

} // namespace

bool WavFile::Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
        return false;
    int format = 0, bits = 0;
    size_t position = 12;
    while (position + 8 <= bytes.size()) {
        const uint8_t* chunk = bytes.data() + position;
        size_t size = Le32(chunk + 4);
        const size_t body = position + 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && body + 16 <= bytes.size()) {
            format = Le16(chunk + 8);
            channels = Le16(chunk + 10);
            rate = int(Le32(chunk + 12));
            bits = Le16(chunk + 22);
            if (format == 0xFFFE && body + 26 <= bytes.size()) format = Le16(chunk + 8 + 24);
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            // A writer that never finished its header leaves the size open: take the rest.
            if (size == 0 || body + size > bytes.size()) size = bytes.size() - body;
            if (channels <= 0 || !((format == 1 && bits == 16) || (format == 3 && bits == 32))) return false;
            const size_t frameBytes = size_t(channels) * size_t(bits / 8);
            const size_t frames = size / frameBytes;
            samples.assign(size_t(channels), std::vector<float>(frames));
            for (size_t i = 0; i < frames; ++i)
                for (int c = 0; c < channels; ++c) {
                    const uint8_t* p = bytes.data() + body + i * frameBytes + size_t(c) * size_t(bits / 8);
                    if (format == 1) {
                        samples[size_t(c)][i] = float(int16_t(Le16(p))) / 32768.0f;
                    } else {
                        const uint32_t raw = Le32(p);
                        float value;
                        std::memcpy(&value, &raw, 4);
                        samples[size_t(c)][i] = value;
                    }
                }
            return true;
        }
        position = body + size + (size & 1);
    }
    return false;
}

double WavFile::Rms(int channel, double begin, double end) const {
    if (channel < 0 || channel >= channels || rate <= 0) return 0.0;
    const std::vector<float>& data = samples[size_t(channel)];
    const size_t first = std::min(data.size(), size_t(std::max(0.0, begin) * rate));
    const size_t last = std::min(data.size(), size_t(std::max(0.0, end) * rate));
    if (last <= first) return 0.0;
    double sum = 0.0;
    for (size_t i = first; i < last; ++i) sum += double(data[i]) * double(data[i]);
    return std::sqrt(sum / double(last - first));
}

double Decibels(double a, double b) {
    return 20.0 * std::log10(a / b);
}

} // namespace nuv::test
