// Signal building blocks for the music: filters, a reverb, a delay, the
// limiter that keeps the mix below full scale. Everything works on 32-bit
// float samples at 44.1 kHz; nothing depends on the order things run in
// other than the order of the samples, so the output is the same every run.
#pragma once

#include <cstddef>
#include <vector>

constexpr int sampleRate = 44100;
constexpr double pi = 3.14159265358979323846;

struct Stereo {
    std::vector<float> left, right;
};

Stereo makeStereo(size_t frames);
void mixInto(Stereo& target, const Stereo& source, float gain);

// Two-pole filters after the audio EQ cookbook, one channel each.
struct Biquad {
    double b0, b1, b2, a1, a2;
    double x1, x2, y1, y2;
};
Biquad lowPass(double frequency, double q);
Biquad highPass(double frequency, double q);
Biquad bandPass(double frequency, double q);
inline float runBiquad(Biquad& f, float x) {
    double y = f.b0 * x + f.b1 * f.x1 + f.b2 * f.x2 - f.a1 * f.y1 - f.a2 * f.y2;
    f.x2 = f.x1, f.x1 = x, f.y2 = f.y1, f.y1 = y;
    return (float)y;
}

// State-variable filter whose cutoff may move while it runs (zero-delay
// feedback form, stable at any setting). Voices move it every few samples.
struct SweepFilter {
    double ic1, ic2;
    double a1, a2, a3, k;
};
struct SweepOutputs {
    float low, band, high;
};
void tuneSweepFilter(SweepFilter& f, double cutoff, double resonance);
inline SweepOutputs runSweepFilter(SweepFilter& f, float x) {
    double v3 = x - f.ic2;
    double v1 = f.a1 * f.ic1 + f.a2 * v3;
    double v2 = f.ic2 + f.a2 * f.ic1 + f.a3 * v3;
    f.ic1 = 2 * v1 - f.ic1;
    f.ic2 = 2 * v2 - f.ic2;
    return SweepOutputs{(float)v2, (float)v1, (float)(x - f.k * v1 - v2)};
}

// A stereo Freeverb-style room: eight combs and four all-passes a side.
struct Reverb;
Reverb* openReverb(double roomSize, double damping);
void closeReverb(Reverb* reverb);
// Adds the reverb of the input (mono sum of both sides) to the output.
void addReverb(Reverb* reverb, const Stereo& input, Stereo& output, float wet);

// A ping-pong echo: delaySeconds, feedback, wet level.
void addPingPongDelay(const Stereo& input, Stereo& output, double delaySeconds, float feedback,
                      float wet);

// Look-ahead peak limiter: no sample of the result exceeds the ceiling.
void limitPeaks(Stereo& signal, float ceiling, double lookAheadSeconds, double releaseSeconds);
float peakOf(const Stereo& signal);
