// The track: the score rendered voice by voice onto buses (drums, stabs,
// bass, pads, lead, keys, effects), the buses mixed with a shared reverb,
// echoes and side-chain ducking from the kicks, the master limited below
// full scale and faded out at the end, then encoded.
#include "music.h"

#include <algorithm>
#include <cmath>

#include "mp3_output.h"
#include "music_score.h"
#include "show_timing.h"
#include "synth_voices.h"

namespace {

enum Bus { drumBus, stabBus, bassBus, padBus, leadBus, keysBus, effectsBus, busCount };

Bus busOf(Voice v) {
    switch (v) {
    case stabVoice:
        return stabBus;
    case bassVoice:
    case pulseVoice:
        return bassBus;
    case padVoice:
        return padBus;
    case leadVoice:
        return leadBus;
    case pluckVoice:
    case bellVoice:
    case pianoVoice:
        return keysBus;
    case riserVoice:
    case swellVoice:
    case impactVoice:
        return effectsBus;
    default:
        return drumBus;
    }
}

struct BusMix {
    float gain;
    float reverbSend;
    float duckDepth; // how far the kicks push the bus down
};

const BusMix busMix[busCount] = {
    {0.80f, 0.10f, 0.0f},  // drums
    {0.80f, 0.40f, 0.0f},  // stabs
    {0.62f, 0.00f, 0.55f}, // bass
    {1.00f, 0.55f, 0.45f}, // pads
    {0.95f, 0.25f, 0.15f}, // lead
    {0.85f, 0.40f, 0.25f}, // keys
    {0.55f, 0.35f, 0.0f},  // effects
};

// 0..1: how much the most recent kick is pressing, a fast dip and a
// recovery over a tenth of a second.
std::vector<float> kickPressure(const Score& score, size_t frames) {
    std::vector<float> pressure(frames);
    for (const NoteEvent& e : score) {
        if (e.voice != kickVoice || e.velocity < 0.5f)
            continue;
        size_t start = (size_t)std::llround(e.time * sampleRate);
        for (size_t i = 0; i < (size_t)(0.45 * sampleRate) && start + i < frames; i++) {
            double t = (double)i / sampleRate;
            float p = (float)(std::min(1.0, t / 0.004) * std::exp(-t / 0.1));
            pressure[start + i] = std::max(pressure[start + i], p);
        }
    }
    return pressure;
}

void duck(Stereo& bus, const std::vector<float>& pressure, float depth) {
    if (depth <= 0)
        return;
    for (size_t i = 0; i < bus.left.size(); i++) {
        float g = 1.0f - depth * pressure[i];
        bus.left[i] *= g;
        bus.right[i] *= g;
    }
}

// The picture rises out of black over 46-50 s; the drums open up with it.
void openDrumsAt46(Stereo& drums) {
    SweepFilter left{}, right{};
    size_t from = (size_t)(45.9 * sampleRate), to = (size_t)(50.0 * sampleRate);
    for (size_t i = from; i < to && i < drums.left.size(); i++) {
        if ((i - from) % 16 == 0) {
            double k = std::clamp((i / (double)sampleRate - 46.0) / 4.0, 0.0, 1.0);
            double cutoff = 300 * std::pow(60.0, k);
            tuneSweepFilter(left, cutoff, 0.1);
            tuneSweepFilter(right, cutoff, 0.1);
        }
        drums.left[i] = runSweepFilter(left, drums.left[i]).low;
        drums.right[i] = runSweepFilter(right, drums.right[i]).low;
    }
}

double rms(const Stereo& s) {
    double sum = 0;
    for (size_t i = 0; i < s.left.size(); i++)
        sum += s.left[i] * s.left[i] + s.right[i] * s.right[i];
    return std::sqrt(sum / (2.0 * s.left.size()));
}

} // namespace

Stereo renderMusicTrack() {
    const size_t frames = (size_t)(trackSeconds * sampleRate);
    Score score = composeScore();
    std::vector<float> pressure = kickPressure(score, frames);
    // One bus at a time in the same buffer, so only three full-length
    // buffers ever exist.
    Stereo master = makeStereo(frames), send = makeStereo(frames), bus = makeStereo(frames);
    for (int b = 0; b < busCount; b++) {
        std::fill(bus.left.begin(), bus.left.end(), 0.0f);
        std::fill(bus.right.begin(), bus.right.end(), 0.0f);
        for (const NoteEvent& e : score)
            if (busOf(e.voice) == b)
                renderVoice(bus, e);
        if (b == drumBus)
            openDrumsAt46(bus);
        duck(bus, pressure, busMix[b].duckDepth);
        if (b == leadBus)
            addPingPongDelay(bus, bus, 0.75 * beatSeconds, 0.35f, 0.22f);
        if (b == keysBus)
            addPingPongDelay(bus, bus, 0.5 * beatSeconds, 0.4f, 0.25f);
        mixInto(master, bus, busMix[b].gain);
        mixInto(send, bus, busMix[b].gain * busMix[b].reverbSend);
    }
    Reverb* reverb = openReverb(0.82, 0.35);
    addReverb(reverb, send, master, 1.0f);
    closeReverb(reverb);

    // Clear the rumble below the kick, set the level, hold the peaks under
    // -1 dB full scale, and fade out over the last three seconds.
    Biquad rumbleLeft = highPass(16, 0.7), rumbleRight = highPass(16, 0.7);
    for (size_t i = 0; i < frames; i++) {
        master.left[i] = runBiquad(rumbleLeft, master.left[i]);
        master.right[i] = runBiquad(rumbleRight, master.right[i]);
    }
    double level = rms(master);
    float gain = level > 0 ? (float)(0.17 / level) : 1.0f;
    for (size_t i = 0; i < frames; i++)
        master.left[i] *= gain, master.right[i] *= gain;
    limitPeaks(master, 0.85f, 0.004, 0.12);
    const double fadeFrom = trackSeconds - 3.0;
    for (size_t i = (size_t)(fadeFrom * sampleRate); i < frames; i++) {
        float k = (float)std::max(0.0, 1.0 - (i / (double)sampleRate - fadeFrom) / 2.8);
        master.left[i] *= k * k;
        master.right[i] *= k * k;
    }
    return master;
}

bool writeMusicTrack(const std::string& path) {
    return writeMp3(path, renderMusicTrack());
}
