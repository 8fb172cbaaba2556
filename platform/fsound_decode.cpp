// Decoding a whole MPEG audio image into 44.1 kHz 16-bit stereo PCM.
//
// libmpg123 reads the image through a memory reader, gapless, so that the
// encoder's delay and padding are cut and frame 0 is the first sample that was
// encoded; it widens mono to stereo itself. A track at another rate is
// decoded at its own rate and brought to 44.1 kHz by libswresample, which
// keeps every sound at its time and the length exact (mpg123's own rate
// change holds samples and dulls the highs). Decoding everything at open
// makes every seek sample-exact and leaves the audio callback nothing to do
// but copy.
#include <mpg123.h>
#include <sys/types.h>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

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

// The rate converter of the stretch being decoded; none at 44.1 kHz.
struct Resampler {
    SwrContext* context = nullptr;
    ~Resampler() { swr_free(&context); }
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
    mpg123_format_none(decoder);
    const long* rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; ++i)
        mpg123_format(decoder, rates[i], MPG123_STEREO, MPG123_ENC_SIGNED_16);
    return mpg123_replace_reader_handle(decoder, readImage, seekImage, nullptr) == MPG123_OK &&
           mpg123_open_handle(decoder, &image) == MPG123_OK;
}

// Room for the whole track when the stream says how long it is, without
// trusting a header that claims more audio than the bytes could hold.
static void reserveTrack(mpg123_handle* decoder, long rate, size_t imageSize, DecodedTrack& track) {
    double frames = static_cast<double>(mpg123_length(decoder)) * soundRate / rate;
    if (frames <= 0 || frames > static_cast<double>(imageSize) * 64)
        return;
    // With slack for the last chunk and the converter's flush, so it is never regrown.
    track.samples.reserve(static_cast<size_t>(frames + 32768) * 2);
}

// Converts in (or, with none, flushes what the filter still holds) onto the track.
static bool convert(Resampler& resampler, const int16_t* in, int inFrames, DecodedTrack& track) {
    int room = swr_get_out_samples(resampler.context, inFrames) + 64;
    size_t first = track.samples.size();
    track.samples.resize(first + static_cast<size_t>(room) * 2);
    uint8_t* out = reinterpret_cast<uint8_t*>(track.samples.data() + first);
    const uint8_t* input = reinterpret_cast<const uint8_t*>(in);
    int made =
        swr_convert(resampler.context, &out, room, in != nullptr ? &input : nullptr, inFrames);
    track.samples.resize(first + static_cast<size_t>(made > 0 ? made : 0) * 2);
    return made >= 0;
}

static bool finishStretch(Resampler& resampler, DecodedTrack& track) {
    if (resampler.context == nullptr)
        return true;
    bool flushed = convert(resampler, nullptr, 0, track);
    swr_free(&resampler.context);
    return flushed;
}

// A new output format: what came before is finished, and a rate other than
// 44.1 kHz gets a converter of its own.
static bool startStretch(mpg123_handle* decoder, size_t imageSize, Resampler& resampler,
                         DecodedTrack& track) {
    if (!finishStretch(resampler, track))
        return false;
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(decoder, &rate, &channels, &encoding) != MPG123_OK || channels != 2 ||
        encoding != MPG123_ENC_SIGNED_16 || rate <= 0)
        return false;
    if (track.samples.empty())
        reserveTrack(decoder, rate, imageSize, track);
    if (rate == soundRate)
        return true;
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    return swr_alloc_set_opts2(&resampler.context, &stereo, AV_SAMPLE_FMT_S16, soundRate, &stereo,
                               AV_SAMPLE_FMT_S16, static_cast<int>(rate), 0, nullptr) >= 0 &&
           swr_init(resampler.context) >= 0;
}

static bool decodeAll(mpg123_handle* decoder, size_t imageSize, DecodedTrack& track) {
    int16_t chunk[16384];
    Resampler resampler;
    bool formatKnown = false;
    for (;;) {
        size_t bytes = 0;
        int result = mpg123_read(decoder, chunk, sizeof chunk, &bytes);
        if (result == MPG123_NEW_FORMAT) {
            if (!startStretch(decoder, imageSize, resampler, track))
                return false;
            formatKnown = true;
        }
        int frames = static_cast<int>(bytes / 4);
        if (formatKnown && frames > 0) {
            if (resampler.context == nullptr)
                track.samples.insert(track.samples.end(), chunk, chunk + frames * 2);
            else if (!convert(resampler, chunk, frames, track))
                return false;
        }
        // A damaged stretch after good audio ends the track there.
        if (result != MPG123_OK && result != MPG123_NEW_FORMAT)
            return finishStretch(resampler, track);
    }
}

bool decodeMpegAudio(const unsigned char* data, size_t size, DecodedTrack& track) {
    track = DecodedTrack{};
    if (data == nullptr || size == 0)
        return false;
    MemoryImage image{data, size, 0};
    DecoderHandle handle;
    try {
        if (!openDecoder(handle, image) || !decodeAll(handle.decoder, size, track)) {
            track = DecodedTrack{};
            return false;
        }
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
