#include "sound/library/OggMemoryDecoder.h"

#include "core/Status.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace nuv {

namespace {

// Rates beyond what any output plays are taken for damage.
constexpr long kMaxRate = 384000;
// Holes and bad packets are skipped, but a file of nothing else must end.
constexpr int kMaxSkips = 64;

struct MemoryReader {
    const uint8_t* bytes = nullptr;
    size_t size = 0;
    size_t position = 0;
};

size_t ReadMemory(void* out, size_t size, size_t count, void* source) {
    auto* reader = static_cast<MemoryReader*>(source);
    if (size == 0 || count == 0) return 0;
    const size_t left = reader->size - reader->position;
    const size_t items = std::min(count, left / size);
    std::memcpy(out, reader->bytes + reader->position, items * size);
    reader->position += items * size;
    return items;
}

int SeekMemory(void* source, ogg_int64_t offset, int whence) {
    auto* reader = static_cast<MemoryReader*>(source);
    ogg_int64_t base = 0;
    if (whence == SEEK_CUR)
        base = ogg_int64_t(reader->position);
    else if (whence == SEEK_END)
        base = ogg_int64_t(reader->size);
    else if (whence != SEEK_SET)
        return -1;
    // Compare before adding: a forged offset must not overflow.
    if (offset < -base || offset > ogg_int64_t(reader->size) - base) return -1;
    reader->position = size_t(base + offset);
    return 0;
}

long TellMemory(void* source) {
    return long(static_cast<MemoryReader*>(source)->position);
}

// Ogg's page checksum: CRC-32 with polynomial 0x04C11DB7, not reflected, starting at 0.
constexpr uint32_t OggCrcEntry(uint32_t index) {
    uint32_t r = index << 24;
    for (int i = 0; i < 8; ++i) r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
    return r;
}

struct OggCrcTable {
    uint32_t entries[256];
    constexpr OggCrcTable() : entries() {
        for (uint32_t i = 0; i < 256; ++i) entries[i] = OggCrcEntry(i);
    }
};

constexpr OggCrcTable kOggCrc;

uint32_t ReadLe32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Whether the bytes hold pages of more than one logical stream (a chained file), counting only
// pages whose checksum holds, as the decoder does. The sound files are single streams; the
// decoder library loses memory on a damaged chain, so chains are refused before it sees them.
bool IsChained(const uint8_t* bytes, size_t size) {
    bool found = false;
    uint32_t serial = 0;
    for (size_t at = 0; size >= 27 && at <= size - 27; ++at) {
        const uint8_t* page = bytes + at;
        if (page[0] != 'O' || page[1] != 'g' || page[2] != 'g' || page[3] != 'S' || page[4] != 0) continue;
        const size_t header = 27 + size_t(page[26]);
        if (header > size - at) continue;
        size_t body = 0;
        for (size_t i = 27; i < header; ++i) body += page[i];
        if (body > size - at - header) continue;
        uint32_t crc = 0;
        for (size_t i = 0; i < header + body; ++i) {
            const uint8_t byte = (i >= 22 && i < 26) ? 0 : page[i];
            crc = (crc << 8) ^ kOggCrc.entries[((crc >> 24) ^ byte) & 0xFF];
        }
        if (crc != ReadLe32(page + 22)) continue;
        const uint32_t pageSerial = ReadLe32(page + 14);
        if (found && pageSerial != serial) return true;
        found = true;
        serial = pageSerial;
        at += header + body - 1;
    }
    return false;
}

int16_t ToSample(float value) {
    const float scaled = value * 32767.0f;
    if (!(scaled > -32768.0f)) return -32768; // also NaN
    if (scaled > 32767.0f) return 32767;
    return int16_t(scaled);
}

} // namespace

struct OggMemoryDecoder::State {
    MemoryReader reader;
    OggVorbis_File file;
    bool open = false;
    bool ended = false;
    ~State() {
        if (open) ov_clear(&file);
    }
};

OggMemoryDecoder::OggMemoryDecoder() = default;
OggMemoryDecoder::~OggMemoryDecoder() = default;

bool OggMemoryDecoder::IsOpen() const {
    return state_ && state_->open;
}

int OggMemoryDecoder::Open(const uint8_t* bytes, size_t size, bool mono) {
    state_.reset();
    channels_ = 0;
    rate_ = 0;
    if (!bytes || size == 0) return kStatusNotFound;
    if (IsChained(bytes, size)) return kStatusFailed;
    std::unique_ptr<State> state(new (std::nothrow) State);
    if (!state) return kStatusFailed;
    state->reader = MemoryReader{bytes, size, 0};
    const ov_callbacks callbacks = {&ReadMemory, &SeekMemory, nullptr, &TellMemory};
    if (ov_open_callbacks(&state->reader, &state->file, nullptr, 0, callbacks) != 0) return kStatusFailed;
    state->open = true;
    const vorbis_info* info = ov_info(&state->file, -1);
    if (!info || info->channels < 1 || info->rate < 1 || info->rate > kMaxRate) return kStatusFailed;
    channels_ = (mono || info->channels == 1) ? 1 : 2;
    rate_ = int(info->rate);
    state_ = std::move(state);
    return kStatusOk;
}

int OggMemoryDecoder::Rewind() {
    if (!IsOpen()) return kStatusFailed;
    state_->ended = false;
    return ov_pcm_seek(&state_->file, 0) == 0 ? kStatusOk : kStatusFailed;
}

int64_t OggMemoryDecoder::Tell() const {
    if (!IsOpen()) return 0;
    const ogg_int64_t frame = ov_pcm_tell(&state_->file);
    return frame < 0 ? 0 : frame;
}

int OggMemoryDecoder::Seek(int64_t frame) {
    if (!IsOpen()) return kStatusFailed;
    const ogg_int64_t total = ov_pcm_total(&state_->file, -1);
    if (total <= 0 || frame < 0) return kStatusFailed;
    state_->ended = false;
    return ov_pcm_seek(&state_->file, frame % total) == 0 ? kStatusOk : kStatusFailed;
}

int OggMemoryDecoder::ReadOnce(int16_t* out, int frameCount) {
    State& state = *state_;
    int written = 0;
    int skips = 0;
    while (written < frameCount && !state.ended) {
        float** pcm = nullptr;
        int link = 0;
        const long got = ov_read_float(&state.file, &pcm, frameCount - written, &link);
        if (got == OV_HOLE && ++skips <= kMaxSkips) continue;
        if (got <= 0) {
            state.ended = true;
            break;
        }
        const vorbis_info* info = ov_info(&state.file, link);
        // A chained file whose later part changes rate cannot share the output's buffers.
        if (!info || info->rate != rate_ || info->channels < 1) {
            state.ended = true;
            break;
        }
        const int inChannels = info->channels;
        int16_t* target = out + size_t(written) * size_t(channels_);
        for (long i = 0; i < got; ++i) {
            if (channels_ == 1) {
                float sum = 0.0f;
                for (int c = 0; c < inChannels; ++c) sum += pcm[c][i];
                target[i] = ToSample(sum / float(inChannels));
            } else if (inChannels == 1) {
                target[2 * i] = target[2 * i + 1] = ToSample(pcm[0][i]);
            } else {
                // More than two channels fold their even ones to the left and odd ones to the right.
                float left = 0.0f, right = 0.0f;
                for (int c = 0; c < inChannels; c += 2) left += pcm[c][i];
                for (int c = 1; c < inChannels; c += 2) right += pcm[c][i];
                target[2 * i] = ToSample(left / float((inChannels + 1) / 2));
                target[2 * i + 1] = ToSample(right / float(inChannels / 2));
            }
        }
        written += int(got);
    }
    return written;
}

int OggMemoryDecoder::Read(int16_t* out, int frameCount, bool loop) {
    if (!IsOpen() || !out || frameCount <= 0) return 0;
    int written = ReadOnce(out, frameCount);
    // Wrap as often as needed; a wrap that yields nothing means there is nothing to loop.
    while (loop && written < frameCount && state_->ended) {
        if (Rewind() != kStatusOk) break;
        const int got = ReadOnce(out + size_t(written) * size_t(channels_), frameCount - written);
        if (got == 0) break;
        written += got;
    }
    return written;
}

} // namespace nuv
