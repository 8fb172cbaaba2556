// The spectrum: a 1024-point real FFT (KissFFT) of the mono mix of the 1024
// samples around the one heard now, under a Hann window that peaks on it, as
// 512 levels. Centred so, a beat shows strongest when it is heard. Entry k is centred
// on k x 44100 / 1024 Hz (about 43 Hz apart); levels are amplitudes, scaled so
// that a full-scale sine centred on an entry reads 1.0 there, and clamped to
// 1. Runs on the main thread when asked; everything it needs is made once.
#include <kissfft/kiss_fftr.h>

#include <cmath>

#include "platform/fsound_internal.h"

static struct {
    kiss_fftr_cfg fft = nullptr;
    float window[spectrumSamples];
    float windowSum;
    float input[spectrumSamples];
    kiss_fft_cpx output[spectrumSamples / 2 + 1];
} spectrum;

void prepareSpectrum() {
    if (spectrum.fft != nullptr)
        return;
    spectrum.fft = kiss_fftr_alloc(spectrumSamples, 0, nullptr, nullptr);
    const double pi = 3.14159265358979323846;
    double sum = 0;
    for (int n = 0; n < spectrumSamples; ++n) {
        spectrum.window[n] = static_cast<float>(0.5 - 0.5 * std::cos(2 * pi * n / spectrumSamples));
        sum += spectrum.window[n];
    }
    spectrum.windowSum = static_cast<float>(sum);
}

// Frames before the start and after the end of the track are silence.
static void gatherMono(const DecodedTrack& track, int64_t heardFrame) {
    int64_t first = heardFrame - spectrumSamples / 2;
    const int16_t* samples = track.samples.data();
    for (int n = 0; n < spectrumSamples; ++n) {
        int64_t frame = first + n;
        float mono = 0;
        if (frame >= 0 && frame < track.frames)
            mono = (static_cast<float>(samples[frame * 2]) + samples[frame * 2 + 1]) / 65536.0f;
        spectrum.input[n] = mono * spectrum.window[n];
    }
}

void computeSpectrum(const DecodedTrack& track, int64_t heardFrame, float* levels) {
    prepareSpectrum();
    if (spectrum.fft == nullptr) {
        for (int k = 0; k < spectrumLevels; ++k)
            levels[k] = 0;
        return;
    }
    gatherMono(track, heardFrame);
    kiss_fftr(spectrum.fft, spectrum.input, spectrum.output);
    // A sine of amplitude a puts a x windowSum / 2 into its entry; a constant
    // puts all of a x windowSum into entry 0.
    for (int k = 0; k < spectrumLevels; ++k) {
        float magnitude = std::hypot(spectrum.output[k].r, spectrum.output[k].i);
        float level = magnitude * (k == 0 ? 1.0f : 2.0f) / spectrum.windowSum;
        levels[k] = level < 1.0f ? level : 1.0f;
    }
}
