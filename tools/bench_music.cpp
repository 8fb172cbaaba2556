// Benchmark of the music start-up and its per-frame cost: reading the track,
// decoding it whole into memory (the stream open), the memory the decoded
// track holds, and one frame's position query and spectrum.
//
//   vantrel-bench-music [track.mp3]     (default data/music/track.mp3)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/fsound.h"
#include "platform/fsound_internal.h"

static double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A line of /proc/self/status in kB, e.g. "VmRSS" or "VmHWM".
static long statusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    size_t length = std::strlen(field);
    while (std::getline(status, line))
        if (line.compare(0, length, field) == 0 && line[length] == ':')
            return std::atol(line.c_str() + length + 1);
    return -1;
}

static double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : "data/music/track.mp3";
    auto readStart = std::chrono::steady_clock::now();
    std::ifstream file(path, std::ios::binary);
    std::vector<char> image((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    double readSeconds = secondsSince(readStart);
    if (image.empty()) {
        std::fprintf(stderr, "vantrel-bench-music: %s: cannot be read or is empty\n", path);
        return 1;
    }

    // The stream open once, for its memory; the decoder alone for its time.
    long rssBefore = statusKb("VmRSS");
    auto openStart = std::chrono::steady_clock::now();
    FSoundStream* stream =
        FSOUND_Stream_Open(image.data(), FSOUND_NORMAL | FSOUND_LOADMEMORY | FSOUND_MPEGACCURATE, 0,
                           static_cast<int32_t>(image.size()));
    double firstOpenSeconds = secondsSince(openStart);
    long rssAfter = statusKb("VmRSS");
    long peak = statusKb("VmHWM");
    if (stream == nullptr) {
        std::fprintf(stderr, "vantrel-bench-music: %s: not decodable MPEG audio\n", path);
        return 1;
    }
    std::vector<double> decodeSeconds;
    int64_t frames = 0;
    for (int run = 0; run < 5; ++run) {
        DecodedTrack track;
        auto start = std::chrono::steady_clock::now();
        decodeMpegAudio(reinterpret_cast<const unsigned char*>(image.data()), image.size(), track);
        decodeSeconds.push_back(secondsSince(start));
        frames = track.frames;
    }

    // Per frame, on the silent clock: the position and the spectrum.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    FSOUND_Init(44100, 32, 0);
    FSOUND_SetPaused(FSOUND_Stream_PlayEx(FSOUND_FREE, stream, nullptr, true), false);
    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), true);
    const int calls = 20000;
    float sink = 0;
    auto frameStart = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i) {
        sink += static_cast<float>(FSOUND_Stream_GetTime(stream));
        sink += FSOUND_DSP_GetSpectrum()[i % 32];
    }
    double frameMicros = secondsSince(frameStart) * 1e6 / calls;
    auto seekStart = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i)
        FSOUND_Stream_SetTime(stream, (i * 7919) % 171000);
    double seekMicros = secondsSince(seekStart) * 1e6 / calls;

    double duration = static_cast<double>(frames) / soundRate;
    std::printf("track            %s\n", path);
    std::printf("file             %.2f MB, read in %.1f ms\n", image.size() / 1e6,
                readSeconds * 1e3);
    std::printf("decoded          %lld frames = %.3f s at 44.1 kHz stereo\n",
                static_cast<long long>(frames), duration);
    std::printf("stream open      %.1f ms first, decode median %.1f ms of 5 (%.0fx real time)\n",
                firstOpenSeconds * 1e3, median(decodeSeconds) * 1e3,
                duration / median(decodeSeconds));
    std::printf(
        "memory held      %.1f MB of PCM (%.1f MB per minute); RSS +%.1f MB, peak %.1f MB\n",
        frames * 4 / 1e6, 44100.0 * 60 * 4 / 1e6, (rssAfter - rssBefore) / 1e3, peak / 1e3);
    std::printf("per frame        %.2f us for the position and the spectrum\n", frameMicros);
    std::printf("seek             %.3f us\n", seekMicros);
    return sink == 12345.678f ? 2 : 0;
}
