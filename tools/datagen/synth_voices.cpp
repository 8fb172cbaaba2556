// The instruments of the track. Every voice is a small synthesis recipe:
// oscillators (band-limited saws and squares, sines, FM pairs, noise),
// envelopes and a filter, rendered sample by sample into the output from the
// event's start. Percussion starts at full level on its first sample, so the
// hits land exactly where the score puts them. Sines come from a table and
// exponential decays from running products: the whole track is millions of
// voice samples, and the library's sin and exp would dominate its cost.
#include "synth_voices.h"

#include <algorithm>
#include <cmath>

namespace {

const int sineSteps = 4096;

struct SineTable {
    float values[sineSteps + 1];
    SineTable() {
        for (int i = 0; i <= sineSteps; i++)
            values[i] = (float)std::sin(2 * pi * i / sineSteps);
    }
};

// sin(2 pi turns), linear between table entries (error below 3e-7).
inline double sine(double turns) {
    static const SineTable table;
    double f = (turns - std::floor(turns)) * sineSteps;
    int i = (int)f;
    return table.values[i] + (table.values[i + 1] - table.values[i]) * (f - i);
}

// exp(-rate t) sample by sample: a running product.
struct Decay {
    double value, factor;
};
Decay decayOf(double rate) {
    return Decay{1.0, std::exp(-rate / sampleRate)};
}
inline double next(Decay& d) {
    double v = d.value;
    d.value *= d.factor;
    return v;
}

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

// Linear fade to silence over the last 1/rate seconds before the end.
inline double tailFade(double t, double end, double rate) {
    return std::min(1.0, (end - t) * rate);
}

// Pitch below 60 adds a long sub tail under the body (the deeper, the more).
void renderKick(Writer& w, const NoteEvent& e) {
    Noise noise = seededNoise(e.seed);
    Biquad clickFilter = highPass(2500, 0.7);
    double phase = 0.25, subPhase = 0, sub = std::clamp((60 - e.pitch) / 20.0, 0.0, 1.0);
    Decay sweep = decayOf(38), snap = decayOf(200), body = decayOf(5.5), subSweep = decayOf(30),
          subBody = decayOf(4.5), click = decayOf(700), blip = decayOf(500);
    const double seconds = 0.6;
    size_t n = samplesOf(seconds);
    for (size_t i = 0; i < n; i++) {
        double t = (double)i / sampleRate;
        double fade = tailFade(t, seconds, 20);
        double b = sine(phase) * next(body) * fade; // starts at its crest: a clean edge
        phase += (40 + 120 * next(sweep) + 60 * next(snap)) / sampleRate;
        b = std::tanh(b * 1.8) / std::tanh(1.8);
        double tail = sine(subPhase) * next(subBody) * std::min(1.0, t / 0.01) * fade * sub;
        subPhase += (25 + 30 * next(subSweep)) / sampleRate;
        double hit = runBiquad(clickFilter, nextNoise(noise)) * next(click) * 0.9 +
                     sine(3200 * t) * next(blip) * 0.35;
        put(w, i, (float)((b * 0.95 + tail * 1.1 + hit) * e.velocity));
    }
}

void renderSnare(Writer& w, const NoteEvent& e) {
    Noise noise = seededNoise(e.seed);
    Biquad low = highPass(1100, 0.7), high = lowPass(9500, 0.7);
    double tune = std::pow(2.0, (e.pitch - 60) / 12.0);
    Decay toneA = decayOf(24), toneB = decayOf(32), hissLong = decayOf(15), hissShort = decayOf(90);
    size_t n = samplesOf(0.42);
    for (size_t i = 0; i < n; i++) {
        double t = (double)i / sampleRate;
        double tone = 0.5 * sine(190 * tune * t + 0.25) * next(toneA) +
                      0.25 * sine(335 * tune * t) * next(toneB);
        double hiss = runBiquad(high, runBiquad(low, nextNoise(noise))) *
                      (next(hissLong) + 0.6 * next(hissShort));
        put(w, i, (float)((tone + hiss * 0.95) * e.velocity));
    }
}

void renderClap(Writer& w, const NoteEvent& e) {
    Noise noise = seededNoise(e.seed);
    Biquad band = bandPass(1400, 1.1);
    Decay bursts[3] = {decayOf(320), decayOf(320), decayOf(320)}, tail = decayOf(16);
    size_t n = samplesOf(0.35);
    for (size_t i = 0; i < n; i++) {
        double t = (double)i / sampleRate, env = 0;
        for (int k = 0; k < 3; k++)
            if (t >= k * 0.009)
                env += next(bursts[k]);
        if (t >= 0.02)
            env += 0.7 * next(tail);
        put(w, i, (float)(runBiquad(band, nextNoise(noise)) * env * 2.2 * e.velocity));
    }
}

// The 808's six detuned squares: the metal in hats and cymbals.
struct Metal {
    double phases[6];
};

double nextMetal(Metal& m) {
    static const double increments[6] = {205.3 * 1.9 / sampleRate, 304.4 * 1.9 / sampleRate,
                                         369.6 * 1.9 / sampleRate, 522.7 * 1.9 / sampleRate,
                                         540.0 * 1.9 / sampleRate, 800.0 * 1.9 / sampleRate};
    double sum = 0;
    for (int k = 0; k < 6; k++) {
        sum += m.phases[k] < 0.5 ? 1.0 : -1.0;
        m.phases[k] += increments[k];
        if (m.phases[k] >= 1.0)
            m.phases[k] -= 1.0;
    }
    return sum / 6;
}

void renderHat(Writer& w, const NoteEvent& e, double decay, double seconds) {
    Noise noise = seededNoise(e.seed);
    Metal metal{};
    Biquad cutLow = highPass(7000, 0.8), cutLower = highPass(7000, 0.8), air = lowPass(13000, 0.7);
    Decay env = decayOf(decay);
    size_t n = samplesOf(seconds);
    for (size_t i = 0; i < n; i++) {
        double t = (double)i / sampleRate;
        float raw = (float)(nextMetal(metal) * 0.6 + nextNoise(noise) * 0.7);
        double x = runBiquad(air, runBiquad(cutLower, runBiquad(cutLow, raw)));
        put(w, i, (float)(x * next(env) * tailFade(t, seconds, 40) * e.velocity));
    }
}

void renderCrash(Writer& w, const NoteEvent& e) {
    Noise left = seededNoise(e.seed), right = seededNoise(e.seed + 17);
    Metal metal{};
    Biquad l1 = highPass(3200, 0.7), r1 = highPass(3200, 0.7), l2 = lowPass(12000, 0.7),
           r2 = lowPass(12000, 0.7);
    Decay ring = decayOf(1.5), strike = decayOf(13.5);
    const double seconds = 3.0;
    size_t n = samplesOf(seconds);
    for (size_t i = 0; i < n; i++) {
        double t = (double)i / sampleRate;
        double env = (0.7 * next(ring) + 0.3 * next(strike)) * tailFade(t, seconds, 4);
        float m = (float)(nextMetal(metal) * 0.35);
        putStereo(w, i,
                  (float)(runBiquad(l2, runBiquad(l1, nextNoise(left) + m)) * env * e.velocity),
                  (float)(runBiquad(r2, runBiquad(r1, nextNoise(right) + m)) * env * e.velocity));
    }
}

void renderTom(Writer& w, const NoteEvent& e) {
    Noise noise = seededNoise(e.seed);
    Biquad clickFilter = highPass(3000, 0.7);
    double f0 = noteFrequency(e.pitch), phase = 0.25;
    Decay sweep = decayOf(28), body = decayOf(6.5), click = decayOf(260);
    const double seconds = 0.7;
    size_t n = samplesOf(seconds);
    for (size_t i = 0; i < n; i++) {
        double t = (double)i / sampleRate;
        double b = sine(phase) * next(body);
        phase += f0 * (1 + 0.7 * next(sweep)) / sampleRate;
        double hit = runBiquad(clickFilter, nextNoise(noise)) * next(click);
        put(w, i,
            (float)((std::tanh(b * 1.5) * 0.8 + hit * 0.7) * e.velocity *
                    tailFade(t, seconds, 30)));
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
    Decay env = decayOf(decay), crack = decayOf(150);
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
        double level = next(env) * tailFade(t, seconds, 30);
        double k = runBiquad(crackFilter, nextNoise(noise)) * next(crack) * 1.2;
        float sl = runSweepFilter(filterL, (float)(l * 0.3)).low,
              sr = runSweepFilter(filterR, (float)(r * 0.3)).low;
        putStereo(w, i, (float)((sl * level + k) * e.velocity),
                  (float)((sr * level + k) * e.velocity));
    }
}

// One slice of the stutter: snare and chord together, cut after 20 ms.
void renderStutter(Writer& w, const NoteEvent& e) {
    Noise noise = seededNoise(e.seed);
    Biquad band = bandPass(2400 * std::pow(2.0, (e.pitch - 60) / 12.0), 0.9);
    double f = noteFrequency(e.pitch), phase = 0;
    Decay gate = decayOf(170);
    const double seconds = 0.020;
    size_t n = samplesOf(seconds);
    for (size_t i = 0; i < n; i++) {
        double t = (double)i / sampleRate;
        double level = next(gate) * tailFade(t, seconds, 800);
        double tone = saw(phase, f / sampleRate) * 0.35 + sine(f * 0.5 * t) * 0.3;
        double x = runBiquad(band, nextNoise(noise)) * 1.6 + tone;
        put(w, i, (float)(x * level * e.velocity));
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
        double sub = sine(phaseSub) * 0.75;
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
            double cutoff = 1000 + 2200 * e.velocity + 600 * sine(0.13 * (e.time + t));
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
    double seconds = e.length + 0.12, f0 = noteFrequency(e.pitch);
    Decay bright = decayOf(5), settle = decayOf(3);
    size_t n = samplesOf(seconds);
    for (size_t i = 0; i < n; i++) {
        double t = (double)i / sampleRate;
        double vibrato = std::min(1.0, std::max(0.0, t - 0.15) * 4) * 0.16 * sine(5.6 * t);
        double f = f0 * (1.0 + vibrato * 0.0577623); // semitones to ratio, near enough for 0.16
        double brightness = next(bright);
        if (i % 16 == 0)
            tuneSweepFilter(filter, 1500 + 4200 * brightness * e.velocity, 0.25);
        double x =
            saw(phaseA, f / sampleRate) * 0.5 +
            pulseWave(phaseB, f * 1.003 / sampleRate, 0.3 + 0.15 * sine(t * 3 / (2 * pi))) * 0.5;
        double env = heldEnvelope(t, e.length, 0.008, 0.1) * (0.8 + 0.2 * next(settle));
        put(w, i, runSweepFilter(filter, (float)x).low * (float)(env * 0.5 * e.velocity));
    }
}

// Frequency modulation pair: carrier at f, modulator at ratio x f.
void renderFm(Writer& w, const NoteEvent& e, double ratio, double index, double indexDecay,
              double decay, double seconds) {
    double f = noteFrequency(e.pitch);
    Decay modulation = decayOf(indexDecay), env = decayOf(decay);
    size_t n = samplesOf(seconds);
    for (size_t i = 0; i < n; i++) {
        double t = (double)i / sampleRate;
        double mod = sine(f * ratio * t) * index * next(modulation);
        double level = next(env) * std::min(1.0, t / 0.003) * tailFade(t, seconds, 20);
        put(w, i, (float)(sine(f * t + mod / (2 * pi)) * level * e.velocity * 0.5));
    }
}

void renderPiano(Writer& w, const NoteEvent& e) {
    double f = noteFrequency(e.pitch), seconds = std::max(1.0, e.length) + 1.5;
    Decay modulation = decayOf(2.5), tine = decayOf(22), env = decayOf(1.2);
    size_t n = samplesOf(seconds);
    for (size_t i = 0; i < n; i++) {
        double t = (double)i / sampleRate;
        double mod = sine(f * t) * 1.4 * next(modulation);
        double bell = sine(f * 14 * t) * 0.12 * next(tine);
        double level =
            next(env) * std::min(1.0, t / 0.002) * heldEnvelope(t, e.length + 1.0, 0, 0.5);
        put(w, i, (float)((sine(f * t + mod / (2 * pi)) + bell) * level * e.velocity * 0.45));
    }
}

void renderPulse(Writer& w, const NoteEvent& e) {
    double f = noteFrequency(e.pitch);
    Decay env = decayOf(7);
    const double seconds = 0.5;
    size_t n = samplesOf(seconds);
    for (size_t i = 0; i < n; i++) {
        double t = (double)i / sampleRate;
        // A soft knock, not a click: the attack is a raised cosine over 8 ms.
        double rise = t < 0.008 ? 0.5 - 0.5 * sine(t / 0.016 + 0.25) : 1.0;
        double level = rise * next(env) * tailFade(t, seconds, 20);
        double x = sine(f * t) + 0.3 * sine(2 * f * t) + 0.1 * sine(3 * f * t);
        put(w, i, (float)(x * level * e.velocity));
    }
}

void renderRiser(Writer& w, const NoteEvent& e) {
    Noise noise = seededNoise(e.seed);
    SweepFilter filter{};
    size_t n = samplesOf(e.length);
    double phase = 0, increment = 0;
    for (size_t i = 0; i < n; i++) {
        double t = (double)i / sampleRate, k = t / e.length;
        if (i % 16 == 0) {
            tuneSweepFilter(filter, 250 * std::pow(40.0, k), 0.55);
            increment = 110 * std::pow(8.0, k) / sampleRate;
        }
        double tone = sine(phase) * 0.25;
        phase += increment;
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
    double phase = 0.25;
    Decay sweep = decayOf(2.5), body = decayOf(1.8), burst = decayOf(5);
    const double seconds = 2.6;
    size_t n = samplesOf(seconds);
    for (size_t i = 0; i < n; i++) {
        double t = (double)i / sampleRate;
        double sub = sine(phase) * next(body) * tailFade(t, seconds, 5);
        phase += (28 + 50 * next(sweep)) / sampleRate;
        double b = runBiquad(dull, nextNoise(noise)) * next(burst);
        put(w, i, (float)((std::tanh(sub * 1.5) * 0.8 + b * 0.9) * e.velocity));
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
