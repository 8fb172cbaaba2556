// The music and the show's clock.
//
// The track is read whole into memory and played through our sound library
// (platform/fsound.h), which is called from here alone. Once per frame the
// stream position in whole milliseconds becomes demoTime (times the
// single-precision 0.001, so 60 000 ms reads 60.0000038) and the first 32
// spectrum levels become spectrumBands. A seek is measured from the previous
// frame's demoTime, not from a fresh position.
//
// Without its track the show could only show black for ever, so a missing
// or undecodable file ends the program with exit code 1 after the two lines
// on standard output and one on standard error naming the file.
#include "media/music.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/fsound.h"

float demoTime;
float spectrumBands[32];

struct MusicPlayer {
    FSoundStream* stream;
    int32_t channel;
    char* data;
    int32_t size;
};

static MusicPlayer musicPlayer{nullptr, -1, nullptr, 0};

static const char* const musicPath = "data/music/track.mp3";

[[noreturn]] static void failMusic(const char* problem) {
    std::fputs("Error!\n", stdout);
    std::fputs("File Not Found\n", stdout);
    FSOUND_Close();
    std::fprintf(stderr, "vantrel: %s: %s\n", musicPath, problem);
    std::exit(1);
}

// The file's length, or -1 when it cannot be measured or is over 2 GiB.
static int32_t measureFile(std::FILE* file) {
    if (std::fseek(file, 0, SEEK_END) != 0)
        return -1;
    long length = std::ftell(file);
    if (std::fseek(file, 0, SEEK_SET) != 0 || length < 0 || length > INT32_MAX)
        return -1;
    return static_cast<int32_t>(length);
}

static void loadMusicFile() {
    std::FILE* file = std::fopen(musicPath, "rb");
    if (file == nullptr) {
        static char problem[256];
        std::snprintf(problem, sizeof problem, "cannot be opened: %s", std::strerror(errno));
        failMusic(problem);
    }
    musicPlayer.size = measureFile(file);
    if (musicPlayer.size <= 0) {
        std::fclose(file);
        failMusic(musicPlayer.size == 0 ? "is empty, not MPEG audio" : "cannot be read");
    }
    musicPlayer.data = static_cast<char*>(std::malloc(static_cast<size_t>(musicPlayer.size)));
    bool read = musicPlayer.data != nullptr &&
                std::fread(musicPlayer.data, static_cast<size_t>(musicPlayer.size), 1, file) == 1;
    std::fclose(file);
    if (!read)
        failMusic("cannot be read");
}

void startMusic() {
    FSOUND_SetOutput(FSOUND_OUTPUT_WINMM);
    FSOUND_Init(44100, 32, 0);
    loadMusicFile();
    musicPlayer.stream = FSOUND_Stream_Open(musicPlayer.data,
                                            FSOUND_NORMAL | FSOUND_LOADMEMORY | FSOUND_MPEGACCURATE,
                                            0, musicPlayer.size);
    if (musicPlayer.stream == nullptr)
        failMusic("is not decodable MPEG audio");
    // Started paused and released at once, only the first time.
    if (musicPlayer.channel < 0) {
        musicPlayer.channel = FSOUND_Stream_PlayEx(FSOUND_FREE, musicPlayer.stream, nullptr, true);
        FSOUND_SetPaused(musicPlayer.channel, false);
    }
}

void enableSpectrum() {
    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), true);
}

void updateDemoTime() {
    int32_t ms = FSOUND_Stream_GetTime(musicPlayer.stream);
    demoTime = static_cast<float>(ms) * 0.001f;
}

void updateSpectrumBands() {
    const float* levels = FSOUND_DSP_GetSpectrum();
    for (int band = 0; band < 32; ++band)
        spectrumBands[band] = levels[band];
}

// Truncated toward zero and passed on unchanged, also below 0; only a target
// beyond what 32 bits hold is held at their limit.
void seekMusic(float deltaMs) {
    double target = static_cast<double>(demoTime) * 1000.0 + static_cast<double>(deltaMs);
    if (std::isnan(target))
        target = 0;
    if (target > INT32_MAX)
        target = INT32_MAX;
    if (target < INT32_MIN)
        target = INT32_MIN;
    FSOUND_Stream_SetTime(musicPlayer.stream, static_cast<int32_t>(target));
}

void setManualMusicTime(int32_t ms) {
    FSOUND_Stream_SetManualTime(musicPlayer.stream, ms);
}
