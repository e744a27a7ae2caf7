#include "content/MusicTrack.h"

#include "core/Status.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace nuv {

namespace {

constexpr double kTwoPi = 6.283185307179586;

double NoteFrequency(int semitonesFromA4) { return 440.0 * std::pow(2.0, semitonesFromA4 / 12.0); }

void AppendPage(const ogg_page& page, std::vector<uint8_t>& out) {
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
}

} // namespace

std::vector<float> MusicTrack::Render() const {
    const size_t count = size_t(seconds_ * kSampleRate);
    std::vector<double> mix(count, 0.0);
    // A minor pentatonic over two octaves, in semitones from A4.
    static const int kScale[] = {-12, -9, -7, -5, -2, 0, 3, 5, 7, 10, 12};
    const double beat = 0.6;
    uint32_t state = seed_ ? seed_ : 1u;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    int degree = 5;
    const int beats = int(seconds_ / beat);
    for (int b = 0; b < beats; ++b) {
        // A gentle walk over the scale with a rest now and then.
        if (next() % 5 == 0) continue;
        degree = std::clamp(degree + int(next() % 5) - 2, 0, int(std::size(kScale)) - 1);
        const double frequency = NoteFrequency(kScale[degree] + 12);
        const size_t start = size_t(b * beat * kSampleRate);
        const size_t length = size_t(2.5 * kSampleRate);
        for (size_t i = 0; i < length; ++i) {
            const double t = double(i) / kSampleRate;
            const double envelope = std::exp(-t * 2.2) * std::min(1.0, t * 200.0);
            const double tone = std::sin(kTwoPi * frequency * t) + 0.3 * std::sin(kTwoPi * 2.0 * frequency * t) +
                                0.1 * std::sin(kTwoPi * 3.01 * frequency * t);
            // Tails run past the end into the start, so the loop joins without a click.
            mix[(start + i) % count] += 0.22 * envelope * tone;
        }
    }
    // The pad: A minor, then F major, each half of the loop, fading across the change.
    static const int kChords[2][3] = {{-12, -9, -5}, {-16, -12, -9}};
    for (size_t i = 0; i < count; ++i) {
        const double t = double(i) / kSampleRate;
        const double phase = double(i) / double(count);
        const double weightA = 0.5 + 0.5 * std::cos(kTwoPi * phase);
        double pad = 0.0;
        for (int c = 0; c < 2; ++c)
            for (int n : kChords[c]) {
                const double f = NoteFrequency(n - 12);
                pad += (c == 0 ? weightA : 1.0 - weightA) *
                       (std::sin(kTwoPi * f * t) + std::sin(kTwoPi * f * 1.003 * t)) * 0.5;
            }
        mix[i] += 0.05 * pad;
    }
    std::vector<float> samples(count);
    for (size_t i = 0; i < count; ++i) samples[i] = float(std::tanh(mix[i]));
    return samples;
}

int MusicTrack::EncodeOgg(const std::vector<float>& samples, int sampleRate, std::vector<uint8_t>& out) {
    out.clear();
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, 1, sampleRate, 0.3f) != 0) {
        vorbis_info_clear(&info);
        return kStatusFailed;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_comment_add_tag(&comment, "TITLE", "Winter Village");
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 0x4E555631);  // fixed serial: the same samples give the same file

    ogg_packet header, commentHeader, codeHeader;
    vorbis_analysis_headerout(&dsp, &comment, &header, &commentHeader, &codeHeader);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &commentHeader);
    ogg_stream_packetin(&stream, &codeHeader);
    ogg_page page;
    while (ogg_stream_flush(&stream, &page) != 0) AppendPage(page, out);

    const size_t chunk = 4096;
    size_t position = 0;
    bool ended = false;
    while (!ended) {
        const size_t n = std::min(chunk, samples.size() - position);
        if (n == 0) {
            vorbis_analysis_wrote(&dsp, 0);
        } else {
            float** buffer = vorbis_analysis_buffer(&dsp, int(n));
            std::memcpy(buffer[0], samples.data() + position, n * sizeof(float));
            vorbis_analysis_wrote(&dsp, int(n));
            position += n;
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page) != 0) {
                    AppendPage(page, out);
                    if (ogg_page_eos(&page)) ended = true;
                }
            }
        }
        if (n == 0) ended = true;
    }
    while (ogg_stream_flush(&stream, &page) != 0) AppendPage(page, out);

    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out.empty() ? kStatusFailed : kStatusOk;
}

} // namespace nuv
