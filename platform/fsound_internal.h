// The sound library's inner parts, shared by its files and by its tests:
// decoding a memory image into PCM, the stream clock that the audio callback
// and the main thread share, and the spectrum. Times are passed in as steady
// clock nanoseconds so that the tests can drive the clock in simulated time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int32_t soundRate = 44100;      // every track plays at this rate, in stereo
constexpr int32_t spectrumSamples = 1024; // samples per spectrum
constexpr int32_t spectrumLevels = 512;

// A whole track as interleaved 16-bit stereo frames at 44.1 kHz; frame 0 is
// the first sample that was encoded.
struct DecodedTrack {
    std::vector<int16_t> samples;
    int64_t frames = 0;
};

// Decodes MPEG audio (gapless, any rate, mono or stereo) into track; false
// when not one frame of audio can be decoded.
bool decodeMpegAudio(const unsigned char* data, size_t size, DecodedTrack& track);

// Stream milliseconds and frames: a time in whole milliseconds maps to the
// first frame at or after it, so that a frame read back gives the same time.
int64_t frameFromMs(int64_t ms);
int32_t msFromFrame(int64_t frame);
int64_t steadyNowNs();

// The clock. Main thread: everything but clockFillAudio, which is the audio
// callback's and neither waits nor allocates.
void clockUseDevice(bool device, int64_t latencyFrames);
void clockStartChannel(const DecodedTrack* track, bool paused, int64_t nowNs);
void clockSetPaused(bool paused, int64_t nowNs);
void clockSeek(int64_t frame, int64_t nowNs);
void clockSetManual(int64_t frame);
int64_t clockHeardFrame(int64_t nowNs); // never falls, but for a seek
bool clockSounding();                   // a track is on the channel and plays
void clockFillAudio(int16_t* out, int32_t frames, int64_t nowNs);

// The 512 levels of the 1024 mono-mixed samples centred on heardFrame.
void prepareSpectrum();
void computeSpectrum(const DecodedTrack& track, int64_t heardFrame, float* levels);

// The last time FSOUND_Stream_SetTime was asked for, as it was passed.
int32_t lastRequestedStreamTime();
