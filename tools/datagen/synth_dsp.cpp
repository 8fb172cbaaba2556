// Filters, reverb, delay and limiter for the music.
#include "synth_dsp.h"

#include <algorithm>
#include <cmath>
#include <deque>

Stereo makeStereo(size_t frames) {
    return Stereo{std::vector<float>(frames), std::vector<float>(frames)};
}

void mixInto(Stereo& target, const Stereo& source, float gain) {
    size_t n = std::min(target.left.size(), source.left.size());
    for (size_t i = 0; i < n; i++) {
        target.left[i] += source.left[i] * gain;
        target.right[i] += source.right[i] * gain;
    }
}

static Biquad normalisedBiquad(double b0, double b1, double b2, double a0, double a1, double a2) {
    return Biquad{b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0, 0, 0, 0, 0};
}

Biquad lowPass(double frequency, double q) {
    double w = 2 * pi * frequency / sampleRate, c = std::cos(w), alpha = std::sin(w) / (2 * q);
    return normalisedBiquad((1 - c) / 2, 1 - c, (1 - c) / 2, 1 + alpha, -2 * c, 1 - alpha);
}

Biquad highPass(double frequency, double q) {
    double w = 2 * pi * frequency / sampleRate, c = std::cos(w), alpha = std::sin(w) / (2 * q);
    return normalisedBiquad((1 + c) / 2, -(1 + c), (1 + c) / 2, 1 + alpha, -2 * c, 1 - alpha);
}

Biquad bandPass(double frequency, double q) {
    double w = 2 * pi * frequency / sampleRate, c = std::cos(w), alpha = std::sin(w) / (2 * q);
    return normalisedBiquad(alpha, 0, -alpha, 1 + alpha, -2 * c, 1 - alpha);
}

void tuneSweepFilter(SweepFilter& f, double cutoff, double resonance) {
    cutoff = std::clamp(cutoff, 20.0, sampleRate * 0.45);
    double g = std::tan(pi * cutoff / sampleRate);
    f.k = 2.0 - 2.0 * std::clamp(resonance, 0.0, 0.98);
    f.a1 = 1.0 / (1.0 + g * (g + f.k));
    f.a2 = g * f.a1;
    f.a3 = g * f.a2;
}

namespace {

struct Comb {
    std::vector<float> buffer;
    size_t position;
    float store;
};

struct AllPass {
    std::vector<float> buffer;
    size_t position;
};

float runComb(Comb& c, float x, float feedback, float damping) {
    float y = c.buffer[c.position];
    c.store = y * (1 - damping) + c.store * damping;
    c.buffer[c.position] = x + c.store * feedback;
    if (++c.position == c.buffer.size())
        c.position = 0;
    return y;
}

float runAllPass(AllPass& a, float x) {
    float delayed = a.buffer[a.position];
    a.buffer[a.position] = x + delayed * 0.5f;
    if (++a.position == a.buffer.size())
        a.position = 0;
    return delayed - x;
}

const int combLengths[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
const int allPassLengths[4] = {556, 441, 341, 225};
const int stereoSpread = 23;

} // namespace

struct Reverb {
    Comb combs[2][8];
    AllPass allPasses[2][4];
    float feedback, damping;
};

Reverb* openReverb(double roomSize, double damping) {
    Reverb* r = new Reverb;
    for (int side = 0; side < 2; side++) {
        for (int i = 0; i < 8; i++)
            r->combs[side][i] =
                Comb{std::vector<float>(combLengths[i] + side * stereoSpread), 0, 0};
        for (int i = 0; i < 4; i++)
            r->allPasses[side][i] =
                AllPass{std::vector<float>(allPassLengths[i] + side * stereoSpread), 0};
    }
    r->feedback = (float)(0.7 + 0.28 * roomSize);
    r->damping = (float)damping;
    return r;
}

void closeReverb(Reverb* reverb) {
    delete reverb;
}

void addReverb(Reverb* reverb, const Stereo& input, Stereo& output, float wet) {
    size_t n = std::min(input.left.size(), output.left.size());
    for (size_t i = 0; i < n; i++) {
        float x = (input.left[i] + input.right[i]) * 0.015f;
        float sides[2];
        for (int side = 0; side < 2; side++) {
            float sum = 0;
            for (Comb& c : reverb->combs[side])
                sum += runComb(c, x, reverb->feedback, reverb->damping);
            for (AllPass& a : reverb->allPasses[side])
                sum = runAllPass(a, sum);
            sides[side] = sum;
        }
        output.left[i] += sides[0] * wet;
        output.right[i] += sides[1] * wet;
    }
}

void addPingPongDelay(const Stereo& input, Stereo& output, double delaySeconds, float feedback,
                      float wet) {
    size_t delay = (size_t)std::lround(delaySeconds * sampleRate);
    std::vector<float> left(delay), right(delay);
    size_t position = 0;
    size_t n = std::min(input.left.size(), output.left.size());
    Biquad toneLeft = lowPass(5000, 0.7), toneRight = lowPass(5000, 0.7);
    for (size_t i = 0; i < n; i++) {
        float l = left[position], r = right[position];
        // The echo crosses sides each time round, and darkens a little.
        left[position] =
            runBiquad(toneLeft, (input.left[i] + input.right[i]) * 0.5f + r * feedback);
        right[position] = runBiquad(toneRight, l * feedback);
        output.left[i] += l * wet;
        output.right[i] += r * wet;
        if (++position == delay)
            position = 0;
    }
}

float peakOf(const Stereo& signal) {
    float peak = 0;
    for (size_t i = 0; i < signal.left.size(); i++)
        peak = std::max(peak, std::max(std::fabs(signal.left[i]), std::fabs(signal.right[i])));
    return peak;
}

// Sliding minimum over a centred window, by a monotonic queue.
static std::vector<float> slidingMinimum(const std::vector<float>& values, size_t halfWidth) {
    std::vector<float> out(values.size());
    std::deque<size_t> queue;
    size_t n = values.size(), next = 0;
    for (size_t i = 0; i < n; i++) {
        size_t last = std::min(n - 1, i + halfWidth);
        for (; next <= last; next++) {
            while (!queue.empty() && values[queue.back()] >= values[next])
                queue.pop_back();
            queue.push_back(next);
        }
        while (queue.front() + halfWidth < i)
            queue.pop_front();
        out[i] = values[queue.front()];
    }
    return out;
}

void limitPeaks(Stereo& signal, float ceiling, double lookAheadSeconds, double releaseSeconds) {
    size_t n = signal.left.size(), half = (size_t)(lookAheadSeconds * sampleRate);
    std::vector<float> needed(n);
    for (size_t i = 0; i < n; i++) {
        float peak = std::max(std::fabs(signal.left[i]), std::fabs(signal.right[i]));
        needed[i] = peak > ceiling ? ceiling / peak : 1.0f;
    }
    // Every sample within the window of a peak gets at most the peak's gain,
    // and the average over the same window keeps that bound at the peak
    // while smoothing the ramp into it.
    std::vector<float> floorGain = slidingMinimum(needed, half);
    std::vector<float> gain(n);
    double sum = 0;
    size_t width = 2 * half + 1;
    for (size_t i = 0; i < n + half; i++) {
        if (i < n)
            sum += floorGain[i];
        if (i >= width)
            sum -= floorGain[i - width];
        if (i >= half) {
            size_t first = i + 1 >= width ? i + 1 - width : 0, last = std::min(i, n - 1);
            gain[i - half] = (float)(sum / (double)(last - first + 1));
        }
    }
    // Slow recovery after each reduction.
    double release = std::exp(-1.0 / (releaseSeconds * sampleRate));
    float current = 1.0f;
    for (size_t i = 0; i < n; i++) {
        current = std::min(gain[i], (float)(1.0 - (1.0 - current) * release));
        signal.left[i] *= current;
        signal.right[i] *= current;
    }
}
