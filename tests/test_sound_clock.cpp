// The stream clock against a simulated sound device: callbacks come every
// 1024 frames, a few milliseconds late at random, and the device plays each
// buffer once the one before it has played. Read at any frame rate, the
// clock must rise evenly, never fall but for a seek, stay within a few
// milliseconds of what is heard, land seeks at once, feed the device the
// right samples, and go on past the end of the track.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "platform/fsound_internal.h"

namespace {

constexpr int32_t bufferFrames = 1024;
constexpr double framePeriodNs = 1e9 / soundRate;
constexpr double bufferPeriodNs = bufferFrames * framePeriodNs;

// Every frame of the track says which frame it is, so the output shows what was fed.
DecodedTrack numberedTrack(double seconds) {
    DecodedTrack track;
    track.frames = static_cast<int64_t>(seconds * soundRate);
    track.samples.resize(static_cast<size_t>(track.frames) * 2);
    for (int64_t frame = 0; frame < track.frames; ++frame) {
        track.samples[frame * 2] = static_cast<int16_t>(1 + (frame & 0x3fff));
        track.samples[frame * 2 + 1] = static_cast<int16_t>(frame >> 14);
    }
    return track;
}

int64_t frameNumber(const int16_t* stereo) {
    if (stereo[0] == 0)
        return -1; // silence
    return (static_cast<int64_t>(stereo[1]) << 14) | (stereo[0] - 1);
}

struct FedBuffer {
    int64_t heardFromNs; // when its first frame reaches the speaker
    std::vector<int16_t> samples;
};

struct SimulatedDevice {
    int64_t nextIdealNs = 0;
    int64_t callbackNs = 0;
    uint32_t random = 12345;
    int64_t jitterNs = 4'000'000;
    bool stalled = false;
    std::vector<FedBuffer> fed;

    int64_t nextJitter() {
        random = random * 1664525u + 1013904223u;
        return static_cast<int64_t>((random >> 8) % static_cast<uint32_t>(jitterNs + 1));
    }
    // Runs every callback due by now.
    void runUntil(int64_t nowNs) {
        while (!stalled && callbackNs <= nowNs) {
            FedBuffer buffer;
            buffer.samples.resize(bufferFrames * 2);
            clockFillAudio(buffer.samples.data(), bufferFrames, callbackNs);
            buffer.heardFromNs = nextIdealNs + static_cast<int64_t>(bufferPeriodNs);
            fed.push_back(std::move(buffer));
            nextIdealNs += static_cast<int64_t>(bufferPeriodNs);
            callbackNs = nextIdealNs + nextJitter();
        }
    }
    // When the frame first reached the speaker, as the first of a buffer.
    int64_t heardFromNs(int64_t frame) const {
        for (const FedBuffer& buffer : fed)
            if (frameNumber(buffer.samples.data()) == frame)
                return buffer.heardFromNs;
        return -1;
    }
    // The track frame at the speaker at time t, or -1 for silence.
    int64_t heardAt(int64_t nowNs) const {
        for (auto it = fed.rbegin(); it != fed.rend(); ++it) {
            if (it->heardFromNs <= nowNs) {
                int64_t offset = static_cast<int64_t>((nowNs - it->heardFromNs) / framePeriodNs);
                if (offset >= bufferFrames)
                    return -1;
                return frameNumber(&it->samples[offset * 2]);
            }
        }
        return -1;
    }
};

class SoundClock : public ::testing::Test {
  protected:
    DecodedTrack track = numberedTrack(20);
    SimulatedDevice device;
    int64_t now = 1'000'000'000;

    void SetUp() override {
        clockUseDevice(true, bufferFrames);
        device.nextIdealNs = device.callbackNs = now - 3'000'000;
        clockStartChannel(&track, true, now);
        device.runUntil(now);
        clockSetPaused(false, now);
    }
    int64_t readAt(int64_t t) {
        device.runUntil(t);
        return clockHeardFrame(t);
    }
    static double ms(double frames) { return frames * 1000.0 / soundRate; }
};

} // namespace

TEST_F(SoundClock, RisesEvenlyAndFollowsWhatIsHeardAtAnyFrameRate) {
    for (int fps : {30, 60, 144, 300, 1000}) {
        SCOPED_TRACE(std::to_string(fps) + " frames per second");
        SetUp();
        int64_t step = 1'000'000'000 / fps;
        int64_t previous = readAt(now);
        int32_t previousMs = msFromFrame(previous);
        double expected = static_cast<double>(step) / framePeriodNs;
        for (int frame = 1; frame < 4 * fps; ++frame) {
            now += step;
            int64_t position = readAt(now);
            int32_t positionMs = msFromFrame(position);
            ASSERT_GE(position, previous) << "frame " << frame;
            ASSERT_GE(positionMs, previousMs);
            if (frame > fps / 2) {
                ASSERT_NEAR(static_cast<double>(position - previous), expected, 0.1 * expected + 2)
                    << "frame " << frame;
                int64_t heard = device.heardAt(now);
                ASSERT_NEAR(ms(static_cast<double>(position)), ms(static_cast<double>(heard)), 4.0)
                    << "frame " << frame;
            }
            previous = position;
            previousMs = positionMs;
        }
    }
}

// The director reads the target in the frame of the seek; the clock waits
// there until the device plays it, and the device is fed from exactly it.
TEST_F(SoundClock, SeekLandsAtOnceAndTheDeviceIsFedFromIt) {
    const int64_t step = 1'000'000;
    for (int i = 0; i < 1500; ++i)
        readAt(now += step);
    const int64_t target = frameFromMs(12345);
    size_t fedBefore = device.fed.size();
    clockSeek(target, now);
    EXPECT_EQ(clockHeardFrame(now), target);
    EXPECT_EQ(msFromFrame(clockHeardFrame(now)), 12345);
    int64_t previous = target;
    for (int i = 0; i < 1000; ++i) {
        int64_t position = readAt(now += step);
        ASSERT_GE(position, previous);
        int64_t heard = device.heardAt(now);
        if (i > 100) {
            ASSERT_NEAR(ms(static_cast<double>(position)), ms(static_cast<double>(heard)), 4.0);
        }
        previous = position;
    }
    // Everything fed after the seek runs on from the target, frame by frame.
    ASSERT_GT(device.fed.size(), fedBefore + 1);
    int64_t expected = target;
    for (size_t b = fedBefore; b < device.fed.size(); ++b)
        for (int f = 0; f < bufferFrames; ++f)
            ASSERT_EQ(frameNumber(&device.fed[b].samples[f * 2]), expected++);
}

TEST_F(SoundClock, BelowZeroPlaysFromZero) {
    readAt(now += 500'000'000);
    clockSeek(frameFromMs(-4750), now);
    EXPECT_EQ(clockHeardFrame(now), 0);
    size_t fedBefore = device.fed.size();
    readAt(now += 200'000'000);
    ASSERT_GT(device.fed.size(), fedBefore);
    EXPECT_EQ(frameNumber(&device.fed[fedBefore].samples[0]), 0);
}

// Past the end the device gets silence and the clock goes on in real time.
TEST_F(SoundClock, GoesOnInSilencePastTheEnd) {
    const int64_t step = 16'000'000;
    size_t fedBefore = device.fed.size();
    clockSeek(frameFromMs(19000), now);
    for (int i = 0; i < 250; ++i)
        readAt(now += step);
    double position = ms(static_cast<double>(clockHeardFrame(now)));
    double heardFor = (now - device.heardFromNs(frameFromMs(19000))) * 1e-6;
    EXPECT_NEAR(position, 19000 + heardFor, 4);
    EXPECT_GT(position, 22900);
    EXPECT_EQ(device.heardAt(now), -1);
    // The rest of the track frame by frame, then nothing but silence.
    int64_t expected = frameFromMs(19000);
    for (size_t b = fedBefore; b < device.fed.size(); ++b)
        for (int f = 0; f < bufferFrames; ++f) {
            const int16_t* stereo = &device.fed[b].samples[f * 2];
            if (expected < track.frames) {
                ASSERT_EQ(frameNumber(stereo), expected++);
            } else {
                ASSERT_EQ(stereo[0], 0);
                ASSERT_EQ(stereo[1], 0);
            }
        }
    EXPECT_EQ(expected, track.frames);
    // A seek past the end is just as good.
    int64_t seekNs = now;
    clockSeek(frameFromMs(100000), now);
    for (int i = 0; i < 50; ++i)
        readAt(now += step);
    EXPECT_NEAR(ms(static_cast<double>(clockHeardFrame(now))), 100000 + (now - seekNs) * 1e-6,
                2 * ms(bufferFrames) + 5);
}

// Until released the stream stands at 0 and the device gets silence.
TEST_F(SoundClock, PausedStandsStillInSilence) {
    clockStartChannel(&track, true, now);
    size_t fedBefore = device.fed.size();
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(readAt(now += 10'000'000), 0);
    EXPECT_FALSE(clockSounding());
    for (size_t b = fedBefore + 1; b < device.fed.size(); ++b)
        for (int16_t sample : device.fed[b].samples)
            ASSERT_EQ(sample, 0);
    clockSetPaused(false, now);
    EXPECT_TRUE(clockSounding());
    for (int i = 0; i < 100; ++i)
        readAt(now += 10'000'000);
    double heardFor = (now - device.heardFromNs(0)) * 1e-6;
    EXPECT_NEAR(ms(static_cast<double>(clockHeardFrame(now))), heardFor, 4);
    EXPECT_GT(heardFor, 940);
}

// A device that stops calling back stops the clock at what it was given.
TEST_F(SoundClock, StalledDeviceHoldsTheClock) {
    for (int i = 0; i < 100; ++i)
        readAt(now += 10'000'000);
    device.stalled = true;
    int64_t atStall = clockHeardFrame(now);
    int64_t previous = atStall;
    for (int i = 0; i < 100; ++i) {
        int64_t position = readAt(now += 10'000'000);
        ASSERT_GE(position, previous);
        previous = position;
    }
    EXPECT_LE(previous - atStall, 2 * bufferFrames);
}

// The manual clock is the caller's; the device gets silence meanwhile.
TEST_F(SoundClock, ManualClockMutesTheDevice) {
    readAt(now += 300'000'000);
    clockSetManual(frameFromMs(5000));
    size_t fedBefore = device.fed.size();
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(readAt(now += 10'000'000), frameFromMs(5000));
    ASSERT_GT(device.fed.size(), fedBefore);
    for (size_t b = fedBefore; b < device.fed.size(); ++b)
        for (int16_t sample : device.fed[b].samples)
            ASSERT_EQ(sample, 0);
}

// Without a device the clock is the steady clock itself.
TEST(SilentClock, RealTimeFromTheStartAndFromEachSeek) {
    DecodedTrack track = numberedTrack(1);
    clockUseDevice(false, 0);
    int64_t start = 5'000'000'000;
    clockStartChannel(&track, true, start);
    EXPECT_EQ(clockHeardFrame(start + 1'000'000'000), 0);
    clockSetPaused(false, start);
    EXPECT_EQ(clockHeardFrame(start + 1'000'000'000), soundRate);
    EXPECT_EQ(msFromFrame(clockHeardFrame(start + 2'500'000'000)), 2500);
    clockSeek(frameFromMs(-10), start + 3'000'000'000);
    EXPECT_EQ(clockHeardFrame(start + 3'000'000'000), 0);
    EXPECT_EQ(msFromFrame(clockHeardFrame(start + 3'100'000'000)), 100);
}

TEST(StreamTime, MillisecondsAndFramesRoundTrip) {
    for (int64_t ms : {0, 1, 2, 9, 10, 999, 1000, 28000, 60000, 170999, 171000, 2147483647}) {
        EXPECT_EQ(msFromFrame(frameFromMs(ms)), ms);
        EXPECT_LT(msFromFrame(frameFromMs(ms) - 1), ms == 0 ? 1 : ms);
    }
    EXPECT_EQ(frameFromMs(28000), 28 * 44100);
    EXPECT_EQ(frameFromMs(-5), 0);
}
