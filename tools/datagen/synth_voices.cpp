// The instruments of the track. Every voice is a small synthesis recipe:
// oscillators (band-limited saws and squares, sines, FM pairs, noise),
// envelopes and a filter, rendered sample by sample into the output from the
// event's start. Percussion starts at full level on its first sample, so the
// hits land exactly where the score puts them.
#include "synth_voices.h"

#include <algorithm>
#include <cmath>

namespace {

struct Noise {
    uint32_t state;
};

float nextNoise(Noise& n) { // white, -1..1
    n.state ^= n.state << 13;
    n.state ^= n.state >> 17;
    n.state ^= n.state << 5;
    return (float)((n.state >> 8) * (2.0 / 16777216.0) - 1.0);
}

Noise seededNoise(uint32_t seed) {
    return Noise{seed * 2654435761u + 0x9E3779B9u};
}

double polyBlep(double t, double dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

// A band-limited saw; phase in turns.
double saw(double& phase, double increment) {
    double v = 2.0 * phase - 1.0 - polyBlep(phase, increment);
    phase += increment;
    if (phase >= 1.0)
        phase -= 1.0;
    return v;
}

// A band-limited pulse of the given width, from two saws.
double pulseWave(double& phase, double increment, double width) {
    double shifted = phase + width;
    if (shifted >= 1.0)
        shifted -= 1.0;
    double a = 2.0 * phase - 1.0 - polyBlep(phase, increment);
    double b = 2.0 * shifted - 1.0 - polyBlep(shifted, increment);
    phase += increment;
    if (phase >= 1.0)
        phase -= 1.0;
    return (a - b) * 0.5;
}

struct Writer {
    Stereo& out;
    size_t start;
    float left, right; // pan gains
};

Writer writerFor(Stereo& out, const NoteEvent& e) {
    float pan = std::clamp(e.pan, -1.0f, 1.0f);
    return Writer{out, (size_t)std::llround(e.time * sampleRate), std::sqrt(1.0f - pan),
                  std::sqrt(1.0f + pan)};
}

inline void put(Writer& w, size_t i, float value) {
    size_t at = w.start + i;
    if (at < w.out.left.size()) {
        w.out.left[at] += value * w.left;
        w.out.right[at] += value * w.right;
    }
}

inline void putStereo(Writer& w, size_t i, float l, float r) {
    size_t at = w.start + i;
    if (at < w.out.left.size()) {
        w.out.left[at] += l * w.left;
        w.out.right[at] += r * w.right;
    }
}

size_t samplesOf(double seconds) {
    return (size_t)(seconds * sampleRate);
}

// Attack and release around a held length; 0 after the release.
double heldEnvelope(double t, double length, double attack, double release) {
    double a = attack > 0 ? std::min(1.0, t / attack) : 1.0;
    if (t <= length)
        return a;
    return a * std::max(0.0, 1.0 - (t - length) / release);
}

// Pitch below 60 adds a long sub tail under the body (the deeper, the more).
void renderKick(Writer& w, const NoteEvent& e) {
    Noise noise = seededNoise(e.seed);
    Biquad clickFilter = highPass(2500, 0.7);
    double phase = 0, subPhase = 0, sub = std::clamp((60 - e.pitch) / 20.0, 0.0, 1.0);
    size_t n = samplesOf(0.6);
    for (size_t i = 0; i < n; i++) {
        double t = (double)i / sampleRate;
        double f = 40 + 120 * std::exp(-t * 38) + 60 * std::exp(-t * 200);
        phase += 2 * pi * f / sampleRate;
        subPhase += 2 * pi * (25 + 30 * std::exp(-t * 30)) / sampleRate;
        double fade = std::min(1.0, (0.6 - t) * 20);
        double body = std::sin(phase + pi / 2) * std::exp(-t * 5.5) * fade;
        body = std::tanh(body * 1.8) / std::tanh(1.8);
        double tail =
            std::sin(subPhase) * std::exp(-t * 4.5) * std::min(1.0, t / 0.01) * fade * sub;
        double click = runBiquad(clickFilter, nextNoise(noise)) * std::exp(-t * 700) * 0.9 +
                       std::sin(2 * pi * 3200 * t) * std::exp(-t * 500) * 0.35;
        put(w, i, (float)((body * 0.95 + tail * 1.1 + click) * e.velocity));
    }
}

void renderSnare(Writer& w, const NoteEvent& e) {
    Noise noise = seededNoise(e.seed);
    Biquad low = highPass(1100, 0.7), high = lowPass(9500, 0.7);
    size_t n = samplesOf(0.42);
    double tune = std::pow(2.0, (e.pitch - 60) / 12.0);
    for (size_t i = 0; i < n; i++) {
        double t = (double)i / sampleRate;
        double tone = 0.5 * std::sin(2 * pi * 190 * tune * t + pi / 2) * std::exp(-t * 24) +
                      0.25 * std::sin(2 * pi * 335 * tune * t) * std::exp(-t * 32);
        double hiss = runBiquad(high, runBiquad(low, nextNoise(noise))) *
                      (std::exp(-t * 15) + 0.6 * std::exp(-t * 90));
        put(w, i, (float)((tone + hiss * 0.95) * e.velocity));
    }
}

void renderClap(Writer& w, const NoteEvent& e) {
    Noise noise = seededNoise(e.seed);
    Biquad band = bandPass(1400, 1.1);
    size_t n = samplesOf(0.35);
    for (size_t i = 0; i < n; i++) {
        double t = (double)i / sampleRate, env = 0;
        for (int k = 0; k < 3; k++)
            if (t >= k * 0.009)
                env += std::exp(-(t - k * 0.009) * 320);
        if (t >= 0.02)
            env += 0.7 * std::exp(-(t - 0.02) * 16);
        put(w, i, (float)(runBiquad(band, nextNoise(noise)) * env * 2.2 * e.velocity));
    }
}

// The 808's six detuned squares: the metal in hats and cymbals.
double metal(double t) {
    static const double partials[6] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
    double sum = 0;
    for (double f : partials)
        sum += std::fmod(t * f * 1.9, 1.0) < 0.5 ? 1.0 : -1.0;
    return sum / 6;
}

void renderHat(Writer& w, const NoteEvent& e, double decay, double seconds) {
    Noise noise = seededNoise(e.seed);
    Biquad cutLow = highPass(7000, 0.8), cutLower = highPass(7000, 0.8);
    size_t n = samplesOf(seconds);
    for (size_t i = 0; i < n; i++) {
        double t = (double)i / sampleRate;
        double x = runBiquad(cutLower,
                             runBiquad(cutLow, (float)(metal(t) * 0.6 + nextNoise(noise) * 0.7)));
        put(w, i,
            (float)(x * std::exp(-t * decay) * std::min(1.0, (seconds - t) * 40) * e.velocity));
    }
}

void renderCrash(Writer& w, const NoteEvent& e) {
    Noise left = seededNoise(e.seed), right = seededNoise(e.seed + 17);
    Biquad l1 = highPass(3200, 0.7), r1 = highPass(3200, 0.7);
    size_t n = samplesOf(3.0);
    for (size_t i = 0; i < n; i++) {
        double t = (double)i / sampleRate;
        double env =
            std::exp(-t * 1.5) * (0.7 + 0.3 * std::exp(-t * 12)) * std::min(1.0, (3.0 - t) * 4);
        double m = metal(t) * 0.35;
        putStereo(w, i, (float)(runBiquad(l1, (float)(nextNoise(left) + m)) * env * e.velocity),
                  (float)(runBiquad(r1, (float)(nextNoise(right) + m)) * env * e.velocity));
    }
}

void renderTom(Writer& w, const NoteEvent& e) {
    Noise noise = seededNoise(e.seed);
    Biquad click = highPass(3000, 0.7);
    double f0 = noteFrequency(e.pitch), phase = 0;
    size_t n = samplesOf(0.7);
    for (size_t i = 0; i < n; i++) {
        double t = (double)i / sampleRate;
        phase += 2 * pi * f0 * (1 + 0.7 * std::exp(-t * 28)) / sampleRate;
        double body = std::sin(phase + pi / 2) * std::exp(-t * 6.5);
        double hit = runBiquad(click, nextNoise(noise)) * std::exp(-t * 260);
        put(w, i,
            (float)((std::tanh(body * 1.5) * 0.8 + hit * 0.7) * e.velocity *
                    std::min(1.0, (0.7 - t) * 30)));
    }
}

// A chord of detuned saws through a closing low-pass: the hit the camera and
// the sprites jump to. It opens with a noise crack for a clean attack.
void renderStab(Writer& w, const NoteEvent& e, double seconds, double decay) {
    Noise noise = seededNoise(e.seed);
    Biquad crackFilter = highPass(2000, 0.7);
    SweepFilter filterL{}, filterR{};
    double phases[4][2] = {}, increments[4][2];
    for (int c = 0; c < e.chordSize; c++)
        for (int d = 0; d < 2; d++) {
            increments[c][d] =
                noteFrequency(e.pitch + e.chord[c] + (d ? 0.09 : -0.09)) / sampleRate;
            phases[c][d] = (c * 0.31 + d * 0.57);
            phases[c][d] -= std::floor(phases[c][d]);
        }
    size_t n = samplesOf(seconds);
    for (size_t i = 0; i < n; i++) {
        double t = (double)i / sampleRate;
        if (i % 16 == 0) {
            double cutoff = 350 + 7000 * std::exp(-t * 14);
            tuneSweepFilter(filterL, cutoff, 0.35);
            tuneSweepFilter(filterR, cutoff * 1.05, 0.35);
        }
        double l = 0, r = 0;
        for (int c = 0; c < e.chordSize; c++) {
            l += saw(phases[c][0], increments[c][0]);
            r += saw(phases[c][1], increments[c][1]);
        }
        double env = std::exp(-t * decay) * std::min(1.0, (seconds - t) * 30);
        double crack = runBiquad(crackFilter, nextNoise(noise)) * std::exp(-t * 150) * 1.2;
        float sl = runSweepFilter(filterL, (float)(l * 0.3)).low,
              sr = runSweepFilter(filterR, (float)(r * 0.3)).low;
        putStereo(w, i, (float)((sl * env + crack) * e.velocity),
                  (float)((sr * env + crack) * e.velocity));
    }
}

// One slice of the stutter: snare and chord together, cut after 20 ms.
void renderStutter(Writer& w, const NoteEvent& e) {
    Noise noise = seededNoise(e.seed);
    Biquad band = bandPass(2400 * std::pow(2.0, (e.pitch - 60) / 12.0), 0.9);
    double f = noteFrequency(e.pitch), phase = 0;
    size_t n = samplesOf(0.020);
    for (size_t i = 0; i < n; i++) {
        double t = (double)i / sampleRate;
        double gate = std::exp(-t * 170) * std::min(1.0, (0.020 - t) * 800);
        double tone = saw(phase, f / sampleRate) * 0.35 + std::sin(2 * pi * f * 0.5 * t) * 0.3;
        double x = runBiquad(band, nextNoise(noise)) * 1.6 + tone;
        put(w, i, (float)(x * gate * e.velocity));
    }
}

void renderBass(Writer& w, const NoteEvent& e) {
    SweepFilter filter{};
    double f = noteFrequency(e.pitch), phaseSaw = 0, phaseSub = 0;
    double seconds = e.length + 0.05;
    size_t n = samplesOf(seconds);
    for (size_t i = 0; i < n; i++) {
        double t = (double)i / sampleRate;
        if (i % 16 == 0)
            tuneSweepFilter(
                filter, 140 + 1100 * e.velocity * std::exp(-t * 8) + 120 * std::exp(-t * 1.5), 0.3);
        double raw = saw(phaseSaw, f / sampleRate) * 0.55;
        phaseSub += f / sampleRate;
        if (phaseSub >= 1)
            phaseSub -= 1;
        double sub = std::sin(2 * pi * phaseSub) * 0.75;
        double env = heldEnvelope(t, e.length, 0.004, 0.05);
        double x = runSweepFilter(filter, (float)raw).low + sub;
        put(w, i, (float)(std::tanh(x * 1.3) * env * (0.6 + 0.4 * e.velocity)));
    }
}

void renderPad(Writer& w, const NoteEvent& e) {
    Noise start = seededNoise(e.seed);
    SweepFilter filterL{}, filterR{};
    double phases[4][3], increments[4][3];
    const double detune[3] = {-0.11, 0.0, 0.11};
    for (int c = 0; c < e.chordSize; c++)
        for (int d = 0; d < 3; d++) {
            increments[c][d] = noteFrequency(e.pitch + e.chord[c] + detune[d]) / sampleRate;
            phases[c][d] = nextNoise(start) * 0.5 + 0.5;
        }
    double seconds = e.length + 1.2;
    size_t n = samplesOf(seconds);
    for (size_t i = 0; i < n; i++) {
        double t = (double)i / sampleRate;
        if (i % 32 == 0) {
            double cutoff = 1000 + 2200 * e.velocity + 600 * std::sin(2 * pi * 0.13 * (e.time + t));
            tuneSweepFilter(filterL, cutoff, 0.2);
            tuneSweepFilter(filterR, cutoff * 1.1, 0.2);
        }
        double l = 0, r = 0;
        for (int c = 0; c < e.chordSize; c++) {
            double a = saw(phases[c][0], increments[c][0]), b = saw(phases[c][1], increments[c][1]),
                   d = saw(phases[c][2], increments[c][2]);
            l += a + b * 0.6;
            r += d + b * 0.6;
        }
        double env = heldEnvelope(t, e.length, 0.45, 1.2);
        putStereo(w, i, runSweepFilter(filterL, (float)(l * 0.12)).low * (float)env,
                  runSweepFilter(filterR, (float)(r * 0.12)).low * (float)env);
    }
}

void renderLead(Writer& w, const NoteEvent& e) {
    SweepFilter filter{};
    double phaseA = 0, phaseB = 0.25;
    double seconds = e.length + 0.12;
    size_t n = samplesOf(seconds);
    for (size_t i = 0; i < n; i++) {
        double t = (double)i / sampleRate;
        double vibrato =
            std::min(1.0, std::max(0.0, t - 0.15) * 4) * 0.16 * std::sin(2 * pi * 5.6 * t);
        double f = noteFrequency(e.pitch + vibrato);
        if (i % 16 == 0)
            tuneSweepFilter(filter, 1500 + 4200 * std::exp(-t * 5) * e.velocity, 0.25);
        double x = saw(phaseA, f / sampleRate) * 0.5 +
                   pulseWave(phaseB, f * 1.003 / sampleRate, 0.3 + 0.15 * std::sin(t * 3)) * 0.5;
        double env = heldEnvelope(t, e.length, 0.008, 0.1) * (0.8 + 0.2 * std::exp(-t * 3));
        put(w, i, runSweepFilter(filter, (float)x).low * (float)(env * 0.5 * e.velocity));
    }
}

// Frequency modulation pair: carrier at f, modulator at ratio x f.
void renderFm(Writer& w, const NoteEvent& e, double ratio, double index, double indexDecay,
              double decay, double seconds) {
    double f = noteFrequency(e.pitch);
    size_t n = samplesOf(seconds);
    for (size_t i = 0; i < n; i++) {
        double t = (double)i / sampleRate;
        double mod = std::sin(2 * pi * f * ratio * t) * index * std::exp(-t * indexDecay);
        double env =
            std::exp(-t * decay) * std::min(1.0, t / 0.003) * std::min(1.0, (seconds - t) * 20);
        put(w, i, (float)(std::sin(2 * pi * f * t + mod) * env * e.velocity * 0.5));
    }
}

void renderPiano(Writer& w, const NoteEvent& e) {
    double f = noteFrequency(e.pitch), seconds = std::max(1.0, e.length) + 1.5;
    size_t n = samplesOf(seconds);
    for (size_t i = 0; i < n; i++) {
        double t = (double)i / sampleRate;
        double mod = std::sin(2 * pi * f * t) * 1.4 * std::exp(-t * 2.5);
        double tine = std::sin(2 * pi * f * 14 * t) * 0.12 * std::exp(-t * 22);
        double env =
            std::exp(-t * 1.2) * std::min(1.0, t / 0.002) * heldEnvelope(t, e.length + 1.0, 0, 0.5);
        put(w, i, (float)((std::sin(2 * pi * f * t + mod) + tine) * env * e.velocity * 0.45));
    }
}

void renderPulse(Writer& w, const NoteEvent& e) {
    double f = noteFrequency(e.pitch);
    size_t n = samplesOf(0.5);
    for (size_t i = 0; i < n; i++) {
        double t = (double)i / sampleRate;
        double env = std::min(1.0, t / 0.006) * std::exp(-t * 7) * std::min(1.0, (0.5 - t) * 20);
        double x = std::sin(2 * pi * f * t) + 0.3 * std::sin(4 * pi * f * t) +
                   0.1 * std::sin(6 * pi * f * t);
        put(w, i, (float)(x * env * e.velocity));
    }
}

void renderRiser(Writer& w, const NoteEvent& e) {
    Noise noise = seededNoise(e.seed);
    SweepFilter filter{};
    size_t n = samplesOf(e.length);
    double phase = 0;
    for (size_t i = 0; i < n; i++) {
        double t = (double)i / sampleRate, k = t / e.length;
        if (i % 16 == 0)
            tuneSweepFilter(filter, 250 * std::pow(40.0, k), 0.55);
        double tone = std::sin(phase) * 0.25;
        phase += 2 * pi * (110 * std::pow(8.0, k)) / sampleRate;
        double x = runSweepFilter(filter, nextNoise(noise)).band * 1.2 + tone;
        put(w, i, (float)(x * k * k * e.velocity));
    }
}

void renderSwell(Writer& w, const NoteEvent& e) {
    Noise left = seededNoise(e.seed), right = seededNoise(e.seed + 5);
    Biquad l1 = highPass(2500, 0.7), r1 = highPass(2500, 0.7);
    size_t n = samplesOf(e.length);
    for (size_t i = 0; i < n; i++) {
        double k = (double)i / n, env = k * k * k * e.velocity;
        putStereo(w, i, (float)(runBiquad(l1, nextNoise(left)) * env),
                  (float)(runBiquad(r1, nextNoise(right)) * env));
    }
}

void renderImpact(Writer& w, const NoteEvent& e) {
    Noise noise = seededNoise(e.seed);
    Biquad dull = lowPass(1800, 0.7);
    double phase = 0;
    size_t n = samplesOf(2.6);
    for (size_t i = 0; i < n; i++) {
        double t = (double)i / sampleRate;
        phase += 2 * pi * (28 + 50 * std::exp(-t * 2.5)) / sampleRate;
        double sub = std::sin(phase + pi / 2) * std::exp(-t * 1.8) * std::min(1.0, (2.6 - t) * 5);
        double burst = runBiquad(dull, nextNoise(noise)) * std::exp(-t * 5);
        put(w, i, (float)((std::tanh(sub * 1.5) * 0.8 + burst * 0.9) * e.velocity));
    }
}

} // namespace

void renderVoice(Stereo& out, const NoteEvent& e) {
    Writer w = writerFor(out, e);
    switch (e.voice) {
    case kickVoice:
        renderKick(w, e);
        break;
    case snareVoice:
        renderSnare(w, e);
        break;
    case clapVoice:
        renderClap(w, e);
        break;
    case closedHatVoice:
        renderHat(w, e, 70, 0.08);
        break;
    case openHatVoice:
        renderHat(w, e, 9, 0.4);
        break;
    case crashVoice:
        renderCrash(w, e);
        break;
    case tomVoice:
        renderTom(w, e);
        break;
    case stabVoice:
        renderStab(w, e, 0.8, 5.0);
        break;
    case stutterVoice:
        renderStutter(w, e);
        break;
    case bassVoice:
        renderBass(w, e);
        break;
    case padVoice:
        renderPad(w, e);
        break;
    case leadVoice:
        renderLead(w, e);
        break;
    case pluckVoice:
        renderFm(w, e, 2.0, 2.6, 9, 6, 0.7);
        break;
    case bellVoice:
        renderFm(w, e, 3.5, 3.0, 2.5, 2.0, 2.6);
        break;
    case pianoVoice:
        renderPiano(w, e);
        break;
    case pulseVoice:
        renderPulse(w, e);
        break;
    case riserVoice:
        renderRiser(w, e);
        break;
    case swellVoice:
        renderSwell(w, e);
        break;
    case impactVoice:
        renderImpact(w, e);
        break;
    case voiceCount:
        break;
    }
}
