// Decoding a whole MPEG audio image into 44.1 kHz 16-bit stereo PCM.
//
// libmpg123 reads the image through a memory reader, gapless, so that the
// encoder's delay and padding are cut and frame 0 is the first sample that was
// encoded. It widens mono to stereo and brings other sample rates to 44.1 kHz
// in its own synthesis, which keeps the gapless positions to within a few
// samples (a resampler after the decoder would shift them by its own delay).
// Decoding everything at open makes every seek sample-exact and leaves the
// audio callback nothing to do but copy.
#include <mpg123.h>
#include <sys/types.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "platform/fsound_internal.h"

namespace {

struct MemoryImage {
    const unsigned char* data;
    size_t size;
    size_t position;
};

// Frees the decoder however decoding ends.
struct DecoderHandle {
    mpg123_handle* decoder = nullptr;
    ~DecoderHandle() {
        if (decoder != nullptr)
            mpg123_delete(decoder);
    }
};

} // namespace

static mpg123_ssize_t readImage(void* handle, void* buffer, size_t bytes) {
    MemoryImage& image = *static_cast<MemoryImage*>(handle);
    size_t left = image.size - image.position;
    size_t count = bytes < left ? bytes : left;
    std::memcpy(buffer, image.data + image.position, count);
    image.position += count;
    return static_cast<mpg123_ssize_t>(count);
}

static off_t seekImage(void* handle, off_t offset, int whence) {
    MemoryImage& image = *static_cast<MemoryImage*>(handle);
    off_t base = whence == SEEK_SET   ? 0
                 : whence == SEEK_CUR ? static_cast<off_t>(image.position)
                                      : static_cast<off_t>(image.size);
    off_t target = base + offset;
    if (target < 0 || target > static_cast<off_t>(image.size))
        return -1;
    image.position = static_cast<size_t>(target);
    return target;
}

static bool openDecoder(DecoderHandle& handle, MemoryImage& image) {
    int error = MPG123_OK;
    handle.decoder = mpg123_new(nullptr, &error);
    if (handle.decoder == nullptr)
        return false;
    mpg123_handle* decoder = handle.decoder;
    mpg123_param(decoder, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_FORCE_STEREO | MPG123_QUIET,
                 0.0);
    mpg123_param(decoder, MPG123_FORCE_RATE, soundRate, 0.0);
    mpg123_format_none(decoder);
    if (mpg123_format(decoder, soundRate, MPG123_STEREO, MPG123_ENC_SIGNED_16) != MPG123_OK)
        return false;
    return mpg123_replace_reader_handle(decoder, readImage, seekImage, nullptr) == MPG123_OK &&
           mpg123_open_handle(decoder, &image) == MPG123_OK;
}

// Room for the whole track when the stream says how long it is (in output
// frames), without trusting a header that claims more audio than the bytes
// could hold.
static void reserveTrack(mpg123_handle* decoder, size_t imageSize, DecodedTrack& track) {
    off_t frames = mpg123_length(decoder);
    if (frames <= 0 || static_cast<double>(frames) > static_cast<double>(imageSize) * 64)
        return;
    track.samples.reserve(static_cast<size_t>(frames) * 2);
}

static bool decodeAll(mpg123_handle* decoder, size_t imageSize, DecodedTrack& track) {
    int16_t chunk[16384];
    for (;;) {
        size_t bytes = 0;
        int result = mpg123_read(decoder, chunk, sizeof chunk, &bytes);
        if (result == MPG123_NEW_FORMAT && track.samples.empty())
            reserveTrack(decoder, imageSize, track);
        track.samples.insert(track.samples.end(), chunk, chunk + bytes / 2);
        // A damaged stretch after good audio ends the track there.
        if (result != MPG123_OK && result != MPG123_NEW_FORMAT)
            return true;
    }
}

bool decodeMpegAudio(const unsigned char* data, size_t size, DecodedTrack& track) {
    track = DecodedTrack{};
    if (data == nullptr || size == 0)
        return false;
    MemoryImage image{data, size, 0};
    DecoderHandle handle;
    try {
        if (!openDecoder(handle, image) || !decodeAll(handle.decoder, size, track))
            return false;
    } catch (const std::bad_alloc&) {
        track = DecodedTrack{};
        return false;
    }
    // Only a header that promised much more than came is worth a copy.
    if (track.samples.capacity() > track.samples.size() + track.samples.size() / 64)
        track.samples.shrink_to_fit();
    track.samples.resize(track.samples.size() / 2 * 2);
    track.frames = static_cast<int64_t>(track.samples.size() / 2);
    return track.frames > 0;
}
