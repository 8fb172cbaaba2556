// The library on SDL's real audio paths. With only the dummy driver there is
// no device: one line on standard error, no waiting, and a silent clock that
// runs in real time. On the disk driver, which plays in real time into a
// file, the callback path runs for real: the clock advances without falling,
// a seek lands at once, and the file holds the track, the click before the
// seek target played again, at the exact spacing from the next one.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include "platform/fsound.h"
#include "tests/support/mp3_fixture.h"

namespace {

const uint32_t openMode = FSOUND_NORMAL | FSOUND_LOADMEMORY | FSOUND_MPEGACCURATE;

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

FSoundStream* openImage(const std::vector<unsigned char>& image) {
    return FSOUND_Stream_Open(reinterpret_cast<const char*>(image.data()), openMode, 0,
                              static_cast<int32_t>(image.size()));
}

// Reads the clock every millisecond or so for a while, or until it reaches
// untilMs; false if it ever fell.
bool clockNeverFalls(FSoundStream* stream, double seconds, int32_t& last,
                     int32_t untilMs = INT32_MAX) {
    auto start = std::chrono::steady_clock::now();
    last = FSOUND_Stream_GetTime(stream);
    while (secondsSince(start) < seconds && last < untilMs) {
        int32_t now = FSOUND_Stream_GetTime(stream);
        if (now < last)
            return false;
        last = now;
        sleepMs(1);
    }
    return true;
}

// Frames of 16-bit stereo where a click stands out, each click counted once.
std::vector<long> clickFrames(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    const int16_t* samples = reinterpret_cast<const int16_t*>(bytes.data());
    long frames = static_cast<long>(bytes.size() / 4);
    std::vector<long> clicks;
    for (long frame = 0; frame < frames; ++frame) {
        if (std::abs(samples[frame * 2]) < 16000)
            continue;
        long best = frame;
        for (long near = frame; near < frame + 64 && near < frames; ++near)
            if (std::abs(samples[near * 2]) > std::abs(samples[best * 2]))
                best = near;
        clicks.push_back(best);
        frame = best + 2000;
    }
    return clicks;
}

} // namespace

TEST(NoDevice, OneLineThenASilentRealTimeClock) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    testing::internal::CaptureStderr();
    auto start = std::chrono::steady_clock::now();
    FSOUND_SetOutput(FSOUND_OUTPUT_WINMM);
    EXPECT_FALSE(FSOUND_Init(44100, 32, 0));
    EXPECT_LT(secondsSince(start), 1.0);
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("No sound device"), std::string::npos) << said;
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;

    FSoundStream* stream = openImage(encodeMp3(silentSignal(0.2)));
    ASSERT_NE(stream, nullptr);
    int32_t channel = FSOUND_Stream_PlayEx(FSOUND_FREE, stream, nullptr, true);
    sleepMs(100);
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 0);
    FSOUND_SetPaused(channel, false);
    auto playing = std::chrono::steady_clock::now();
    int32_t last = 0;
    // The track is 0.2 s long; the clock runs on past it.
    EXPECT_TRUE(clockNeverFalls(stream, 0.5, last));
    EXPECT_NEAR(last, secondsSince(playing) * 1000, 20);
    FSOUND_Stream_SetTime(stream, 5000);
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 5000);
    FSOUND_Stream_SetTime(stream, -300);
    EXPECT_LE(FSOUND_Stream_GetTime(stream), 5);
    FSOUND_Close();
    unsetenv("SDL_AUDIODRIVER");
}

TEST(DiskDevice, PlaysTheTrackFromItsFirstSampleAndSeeksExactly) {
    std::string dir = makeTemporaryDirectory();
    std::string recording = dir + "/played.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", recording.c_str(), 1);
    testing::internal::CaptureStderr();
    FSOUND_SetOutput(FSOUND_OUTPUT_WINMM);
    bool opened = FSOUND_Init(44100, 32, 0);
    std::string said = testing::internal::GetCapturedStderr();
    if (!opened) {
        FSOUND_Close();
        GTEST_SKIP() << "SDL has no disk audio driver here: " << said;
    }
    EXPECT_EQ(said.find("No sound device"), std::string::npos) << said;

    TestSignal signal = silentSignal(3.0);
    addClick(signal, 0.5);
    addClick(signal, 1.25);
    FSoundStream* stream = openImage(encodeMp3(signal));
    ASSERT_NE(stream, nullptr);
    FSOUND_SetPaused(FSOUND_Stream_PlayEx(FSOUND_FREE, stream, nullptr, true), false);
    auto playing = std::chrono::steady_clock::now();
    int32_t last = 0;
    // Real time at most; a loaded machine may feed the file more slowly.
    EXPECT_TRUE(clockNeverFalls(stream, 5.0, last, 700));
    EXPECT_GE(last, 700);
    EXPECT_LT(last, secondsSince(playing) * 1000 + 5);

    // Back before the first click: it is played again, then the second one.
    FSOUND_Stream_SetTime(stream, 400);
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 400);
    EXPECT_TRUE(clockNeverFalls(stream, 5.0, last, 1400));
    EXPECT_GE(last, 1400);
    FSOUND_Close();
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("SDL_DISKAUDIOFILE");

    std::vector<long> clicks = clickFrames(recording);
    ASSERT_EQ(clicks.size(), 3u);
    // Fed sample-exactly from the seek on: the clicks keep their spacing.
    EXPECT_NEAR(static_cast<double>(clicks[2] - clicks[1]), 0.75 * 44100, 2);
    // At least the 0.1 s from the target to the click lie between its two plays.
    EXPECT_GT(clicks[1] - clicks[0], 0.1 * 44100);
    std::remove(recording.c_str());
}
