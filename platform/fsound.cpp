// The sound library's calls: the output device, the one channel, the stream
// and the spectrum unit.
//
// FSOUND_Init opens SDL's default sound device (its own audio subsystem; the
// window system owns SDL's video and SDL_Quit) for 16-bit stereo at 44.1 kHz
// and starts it at once, playing silence until a stream is released. When no
// device opens, or SDL offers only its dummy driver, one line on standard
// error says so and the stream runs on a silent real-time clock. Everything
// here runs on the main thread; the audio callback only copies (see the
// clock).
#include "platform/fsound.h"

#include <SDL2/SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "platform/fsound_internal.h"

struct FSoundStream {
    DecodedTrack track;
};

struct FSoundDspUnit {
    bool active;
};

constexpr int32_t deviceBufferFrames = 1024; // about 23 ms

static struct {
    int32_t outputType = FSOUND_OUTPUT_WINMM;
    bool initialised = false;
    bool audioSubsystem = false;
    SDL_AudioDeviceID device = 0;
    int32_t maxChannels = 32;
    FSoundStream* playing = nullptr; // the stream on the channel
    int32_t channel = -1;
    FSoundDspUnit fftUnit{false};
    float levels[spectrumLevels];
    int32_t lastRequestedTime = 0;
} sound;

static void SDLCALL feedDevice(void*, Uint8* bytes, int length) {
    clockFillAudio(reinterpret_cast<int16_t*>(bytes), length / 4, steadyNowNs());
}

static void useSilentClock(const char* why) {
    std::fprintf(stderr, "No sound device (%s): the music plays on a silent clock.\n", why);
    clockUseDevice(false, 0);
}

// libasound reports a missing card on standard error itself, eight lines of
// it; the library says so in one line of its own instead.
static int muteStandardError() {
    std::fflush(stderr);
    int saved = dup(STDERR_FILENO);
    int nowhere = open("/dev/null", O_WRONLY);
    if (nowhere >= 0) {
        dup2(nowhere, STDERR_FILENO);
        close(nowhere);
    }
    return saved;
}

static void restoreStandardError(int saved) {
    if (saved < 0)
        return;
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
}

// The device, or 0; why not in SDL's error.
static SDL_AudioDeviceID openDefaultDevice(SDL_AudioSpec& obtained) {
    SDL_AudioSpec wanted{};
    wanted.freq = soundRate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = deviceBufferFrames;
    wanted.callback = feedDevice;
    return SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
}

// True when a device plays; the dummy driver plays nothing, so it counts as none.
static bool openDevice() {
    int savedError = muteStandardError();
    bool initialised = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    const char* driver = initialised ? SDL_GetCurrentAudioDriver() : nullptr;
    bool dummy = driver != nullptr && std::strcmp(driver, "dummy") == 0;
    SDL_AudioSpec obtained{};
    if (initialised && !dummy)
        sound.device = openDefaultDevice(obtained);
    restoreStandardError(savedError);
    if (!initialised) {
        useSilentClock(SDL_GetError());
        return false;
    }
    sound.audioSubsystem = true;
    if (dummy) {
        useSilentClock("only the dummy audio driver");
        return false;
    }
    if (sound.device == 0) {
        useSilentClock(SDL_GetError());
        return false;
    }
    // The buffer just filled is heard once the one before it has played.
    clockUseDevice(true, obtained.samples);
    SDL_PauseAudioDevice(sound.device, 0);
    return true;
}

bool FSOUND_SetOutput(int32_t outputType) {
    if (sound.initialised)
        return false;
    sound.outputType = outputType;
    return true;
}

bool FSOUND_Init(int32_t /*mixRate*/, int32_t maxChannels, uint32_t /*flags*/) {
    if (sound.initialised)
        return true;
    sound.initialised = true;
    sound.maxChannels = maxChannels > 0 ? maxChannels : 1;
    prepareSpectrum();
    return openDevice();
}

void FSOUND_Close() {
    if (sound.device != 0)
        SDL_CloseAudioDevice(sound.device);
    if (sound.audioSubsystem)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    sound.device = 0;
    sound.audioSubsystem = false;
    sound.initialised = false;
    clockUseDevice(false, 0);
}

FSoundStream* FSOUND_Stream_Open(const char* data, uint32_t mode, int32_t offset, int32_t length) {
    if ((mode & FSOUND_LOADMEMORY) == 0 || data == nullptr || offset < 0 || length <= 0)
        return nullptr;
    FSoundStream* stream = new (std::nothrow) FSoundStream;
    if (stream == nullptr)
        return nullptr;
    const unsigned char* image = reinterpret_cast<const unsigned char*>(data) + offset;
    if (!decodeMpegAudio(image, static_cast<size_t>(length), stream->track)) {
        delete stream;
        return nullptr;
    }
    return stream;
}

// One stream plays at a time, on whichever channel it was given.
int32_t FSOUND_Stream_PlayEx(int32_t channel, FSoundStream* stream, FSoundDspUnit* /*dsp*/,
                             bool paused) {
    if (stream == nullptr || channel < FSOUND_FREE || channel >= sound.maxChannels)
        return -1;
    sound.playing = stream;
    sound.channel = channel == FSOUND_FREE ? 0 : channel;
    clockStartChannel(&stream->track, paused, steadyNowNs());
    return sound.channel;
}

bool FSOUND_SetPaused(int32_t channel, bool paused) {
    if (sound.playing == nullptr || channel != sound.channel)
        return false;
    clockSetPaused(paused, steadyNowNs());
    return true;
}

int32_t FSOUND_Stream_GetTime(FSoundStream* stream) {
    if (stream == nullptr || stream != sound.playing)
        return 0;
    return msFromFrame(clockHeardFrame(steadyNowNs()));
}

bool FSOUND_Stream_SetTime(FSoundStream* stream, int32_t ms) {
    sound.lastRequestedTime = ms;
    if (stream == nullptr || stream != sound.playing)
        return false;
    clockSeek(frameFromMs(ms), steadyNowNs());
    return true;
}

bool FSOUND_Stream_SetManualTime(FSoundStream* stream, int32_t ms) {
    if (stream == nullptr || stream != sound.playing)
        return false;
    clockSetManual(frameFromMs(ms));
    return true;
}

FSoundDspUnit* FSOUND_DSP_GetFFTUnit() {
    prepareSpectrum();
    return &sound.fftUnit;
}

bool FSOUND_DSP_SetActive(FSoundDspUnit* unit, bool active) {
    if (unit != &sound.fftUnit)
        return false;
    unit->active = active;
    return true;
}

float* FSOUND_DSP_GetSpectrum() {
    if (!sound.fftUnit.active || sound.playing == nullptr || !clockSounding()) {
        std::memset(sound.levels, 0, sizeof sound.levels);
        return sound.levels;
    }
    computeSpectrum(sound.playing->track, clockHeardFrame(steadyNowNs()), sound.levels);
    return sound.levels;
}

int32_t lastRequestedStreamTime() {
    return sound.lastRequestedTime;
}
