// The spectrum and the manual clock: a sine shows in its entry at its level,
// a click is read at its time to the millisecond (so the decoding is gapless
// and the clock and the spectrum agree), and there are zeros before playback,
// with the analyser off and past the end of the track.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>

#include "platform/fsound.h"
#include "platform/fsound_internal.h"
#include "tests/support/mp3_fixture.h"

namespace {

constexpr double binHz = 44100.0 / 1024;
const uint32_t openMode = FSOUND_NORMAL | FSOUND_LOADMEMORY | FSOUND_MPEGACCURATE;

// Silence, a click at 28.000 s and sines in their own stretches.
TestSignal showSignal(int rate, int channels) {
    TestSignal signal = silentSignal(30.0, rate, channels);
    addSine(signal, 10 * binHz, 1.0, 2.0, 4.0);
    addSine(signal, 100 * binHz, 0.5, 5.0, 7.0);
    addSine(signal, 40 * binHz, 0.8, 8.0, 10.0, true);
    addSine(signal, 3 * binHz, 0.25, 11.0, 13.0);
    addClick(signal, 28.0);
    return signal;
}

struct Played {
    std::vector<unsigned char> image;
    FSoundStream* stream = nullptr;
};

// Each test puts its own stream on the channel, on the manual clock.
FSoundStream* playManually(Played& played, int32_t ms) {
    played.stream = FSOUND_Stream_Open(reinterpret_cast<const char*>(played.image.data()), openMode,
                                       0, static_cast<int32_t>(played.image.size()));
    EXPECT_NE(played.stream, nullptr);
    EXPECT_EQ(FSOUND_Stream_PlayEx(FSOUND_FREE, played.stream, nullptr, false), 0);
    FSOUND_Stream_SetManualTime(played.stream, ms);
    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), true);
    return played.stream;
}

std::vector<float> spectrumAt(FSoundStream* stream, int32_t ms) {
    FSOUND_Stream_SetManualTime(stream, ms);
    const float* levels = FSOUND_DSP_GetSpectrum();
    return std::vector<float>(levels, levels + 512);
}

double highBandEnergy(const std::vector<float>& levels) {
    return std::accumulate(levels.begin() + 50, levels.begin() + 400, 0.0);
}

// The time in [from, to] at which the click is strongest.
int32_t loudestClickMs(FSoundStream* stream, int32_t from, int32_t to) {
    int32_t best = from;
    double bestEnergy = -1;
    for (int32_t ms = from; ms <= to; ++ms) {
        double energy = highBandEnergy(spectrumAt(stream, ms));
        if (energy > bestEnergy) {
            bestEnergy = energy;
            best = ms;
        }
    }
    return best;
}

struct SineCase {
    int32_t ms;
    int bin;
    float level; // of the mono mix
};

class SpectrumSource : public ::testing::TestWithParam<std::pair<int, int>> {
  protected:
    static std::map<std::pair<int, int>, std::vector<unsigned char>>& images() {
        static std::map<std::pair<int, int>, std::vector<unsigned char>> made;
        return made;
    }
    Played played;
    void SetUp() override {
        auto key = GetParam();
        auto& image = images()[key];
        if (image.empty())
            image = encodeMp3(showSignal(key.first, key.second), key.first >= 32000 ? 192 : 96);
        played.image = image;
    }
};

} // namespace

// Full scale reads 1.0; the left channel alone reads half in the mono mix;
// the neighbours two entries away hold little of it. The encoder itself
// loses a few per cent of the level.
TEST_P(SpectrumSource, SineReadsItsLevelInItsEntry) {
    FSoundStream* stream = playManually(played, 0);
    const bool stereo = GetParam().second == 2;
    const SineCase cases[] = {
        {3000, 10, 1.0f}, {6000, 100, 0.5f}, {9000, 40, stereo ? 0.4f : 0.8f}, {12000, 3, 0.25f}};
    for (const SineCase& sine : cases) {
        SCOPED_TRACE("sine at " + std::to_string(sine.ms) + " ms");
        std::vector<float> levels = spectrumAt(stream, sine.ms);
        EXPECT_NEAR(levels[sine.bin], sine.level * 0.96f, sine.level * 0.04f);
        EXPECT_LT(levels[sine.bin - 2], 0.02f);
        EXPECT_LT(levels[sine.bin + 2], 0.02f);
        int loudest =
            static_cast<int>(std::max_element(levels.begin(), levels.end()) - levels.begin());
        EXPECT_EQ(loudest, sine.bin);
    }
}

// The click was placed at 28.000 s of the source: the encoder's delay would
// put it 25 ms later, a wrong rate or a drifting clock further still.
TEST_P(SpectrumSource, ClickIsReadAtItsTimeToTheMillisecond) {
    FSoundStream* stream = playManually(played, 0);
    EXPECT_NEAR(loudestClickMs(stream, 27950, 28050), 28000, 1);
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 28050);
}

TEST_P(SpectrumSource, SilenceAndThePastEndReadZero) {
    FSoundStream* stream = playManually(played, 0);
    for (int32_t ms : {0, 1000, 20000, 30000, 31000, 171000}) {
        std::vector<float> levels = spectrumAt(stream, ms);
        EXPECT_LT(*std::max_element(levels.begin(), levels.end()), 0.002f) << ms << " ms";
        EXPECT_EQ(FSOUND_Stream_GetTime(stream), ms);
    }
}

INSTANTIATE_TEST_SUITE_P(Tracks, SpectrumSource,
                         ::testing::Values(std::make_pair(44100, 2), std::make_pair(48000, 2),
                                           std::make_pair(22050, 1)),
                         [](const auto& info) {
                             return std::to_string(info.param.first) + "Hz_" +
                                    std::to_string(info.param.second) + "ch";
                         });

// Zeros while the stream waits paused, and with the analyser off.
TEST(Spectrum, ZerosBeforePlaybackAndWithTheAnalyserOff) {
    TestSignal signal = silentSignal(2.0);
    addSine(signal, 10 * binHz, 1.0, 0.0, 2.0);
    std::vector<unsigned char> image = encodeMp3(signal);
    FSoundStream* stream = FSOUND_Stream_Open(reinterpret_cast<const char*>(image.data()), openMode,
                                              0, static_cast<int32_t>(image.size()));
    FSoundDspUnit* unit = FSOUND_DSP_GetFFTUnit();
    FSOUND_DSP_SetActive(unit, true);
    int32_t channel = FSOUND_Stream_PlayEx(FSOUND_FREE, stream, nullptr, true);
    FSOUND_Stream_SetTime(stream, 1000);
    const float* levels = FSOUND_DSP_GetSpectrum();
    EXPECT_EQ(*std::max_element(levels, levels + 512), 0.0f);

    FSOUND_SetPaused(channel, false);
    FSOUND_Stream_SetManualTime(stream, 1000);
    EXPECT_NEAR(FSOUND_DSP_GetSpectrum()[10], 0.97f, 0.03f);

    FSOUND_DSP_SetActive(unit, false);
    levels = FSOUND_DSP_GetSpectrum();
    EXPECT_EQ(*std::max_element(levels, levels + 512), 0.0f);
    FSOUND_DSP_SetActive(unit, true);
}

// The manual clock takes seeks as well: below 0 is 0, past the end goes on.
TEST(ManualClock, SeeksMoveItAndItStandsStill) {
    Played played;
    played.image = encodeMp3(silentSignal(1.0));
    FSoundStream* stream = playManually(played, 500);
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 500);
    FSOUND_Stream_SetTime(stream, 750);
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 750);
    FSOUND_Stream_SetTime(stream, -4750);
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 0);
    FSOUND_Stream_SetTime(stream, 200000);
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 200000);
    FSOUND_Stream_SetManualTime(stream, -1);
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 0);
    // Every whole millisecond reads back as itself.
    for (int32_t ms = 0; ms < 3000; ++ms) {
        FSOUND_Stream_SetManualTime(stream, ms);
        ASSERT_EQ(FSOUND_Stream_GetTime(stream), ms);
    }
}

// On exact samples, without an encoder between: a full-scale sine centred on
// its entry reads 1.0 there for entries across the range, a constant reads
// its level in entry 0, and the window peaks on the frame heard now.
TEST(Spectrum, ScaleOnExactSamples) {
    const double pi = 3.14159265358979323846;
    DecodedTrack track;
    track.frames = 4096;
    track.samples.resize(track.frames * 2);
    float levels[512];
    for (int bin : {1, 10, 43, 200, 511}) {
        for (int64_t n = 0; n < track.frames; ++n) {
            int16_t value =
                static_cast<int16_t>(std::lround(32767 * std::sin(2 * pi * bin * n / 1024.0)));
            track.samples[n * 2] = track.samples[n * 2 + 1] = value;
        }
        computeSpectrum(track, 2048, levels);
        EXPECT_NEAR(levels[bin], 1.0f, 0.001f) << "entry " << bin;
        EXPECT_LT(levels[bin > 2 ? bin - 2 : bin + 2], 0.001f) << "entry " << bin;
    }
    for (int64_t n = 0; n < track.frames; ++n)
        track.samples[n * 2] = track.samples[n * 2 + 1] = 8192;
    computeSpectrum(track, 2048, levels);
    EXPECT_NEAR(levels[0], 0.25f, 0.001f);
    EXPECT_LT(levels[5], 0.001f);

    // One loud frame: strongest in the spectrum when it is the frame heard.
    std::fill(track.samples.begin(), track.samples.end(), 0);
    track.samples[3000 * 2] = track.samples[3000 * 2 + 1] = 30000;
    double strongest = 0;
    int64_t strongestAt = 0;
    for (int64_t heard = 2400; heard < 3600; ++heard) {
        computeSpectrum(track, heard, levels);
        if (levels[100] > strongest) {
            strongest = levels[100];
            strongestAt = heard;
        }
    }
    EXPECT_EQ(strongestAt, 3000);
}
