// The music module: demoTime from the stream position in single precision,
// the seeks in double precision truncated toward zero and passed on
// unchanged, the arrow keys through the real keyboard controls, the spectrum
// bands, and the missing or broken track ending the program with its
// messages. The track is one the test makes; the sound runs on the silent
// clock (SDL's dummy driver) or the manual clock.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include "media/music.h"
#include "platform/fsound.h"
#include "platform/fsound_internal.h"
#include "shell/demo_hooks.h"
#include "tests/support/mp3_fixture.h"

namespace {

constexpr double binHz = 44100.0 / 1024;

std::vector<unsigned char> testTrack() {
    TestSignal signal = silentSignal(12.0);
    addSine(signal, 2 * binHz, 0.5, 4.0, 6.0);
    addSine(signal, 20 * binHz, 0.25, 7.0, 9.0);
    return encodeMp3(signal);
}

std::string readWhole(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

struct ChildRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// startMusic in a child process whose working directory is dir, as the
// program would run it.
ChildRun startMusicIn(const std::string& dir) {
    std::string outPath = dir + "/../" + std::to_string(getpid()) + ".out";
    std::string errPath = dir + "/../" + std::to_string(getpid()) + ".err";
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0 || !std::freopen(outPath.c_str(), "w", stdout) ||
            !std::freopen(errPath.c_str(), "w", stderr))
            _exit(100);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        startMusic();
        std::fflush(nullptr);
        _exit(0); // carried on
    }
    ChildRun run;
    int status = 0;
    waitpid(pid, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = readWhole(outPath);
    run.err = readWhole(errPath);
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    return run;
}

std::string lastLine(const std::string& text) {
    size_t end = text.size() > 0 && text.back() == '\n' ? text.size() - 1 : text.size();
    size_t start = text.rfind('\n', end == 0 ? 0 : end - 1);
    return text.substr(start == std::string::npos ? 0 : start + 1, end - (start + 1));
}

struct FailureCase {
    const char* name;
    const char* problem; // in the line on standard error
    void (*make)(const std::string& dir);
};

} // namespace

// Before the music starts there is no time and no spectrum, and nothing breaks.
TEST(MusicBeforeStart, ZeroTimeAndZeroBands) {
    updateDemoTime();
    updateSpectrumBands();
    EXPECT_EQ(demoTime, 0.0f);
    for (float band : spectrumBands)
        EXPECT_EQ(band, 0.0f);
    seekMusic(500);
    updateDemoTime();
    EXPECT_EQ(demoTime, 0.0f);
}

class MusicFailure : public ::testing::TestWithParam<FailureCase> {};

// Without its track the show would stay black for ever: the two lines on
// standard output, the file and the problem on standard error, exit code 1.
TEST_P(MusicFailure, PrintsTheMessagesAndExitsWithOne) {
    std::string dir = makeTemporaryDirectory();
    GetParam().make(dir);
    ChildRun run = startMusicIn(dir);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "Error!\nFile Not Found\n");
    std::string said = lastLine(run.err);
    EXPECT_NE(said.find("data/music/track.mp3"), std::string::npos) << run.err;
    EXPECT_NE(said.find(GetParam().problem), std::string::npos) << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Tracks, MusicFailure,
    ::testing::Values(FailureCase{"Missing", "cannot be opened: No such file or directory",
                                  [](const std::string&) {}},
                      FailureCase{"Empty", "is empty",
                                  [](const std::string& dir) { placeTrack(dir, {}); }},
                      FailureCase{"Text", "is not decodable MPEG audio",
                                  [](const std::string& dir) {
                                      std::string text(5000, 'x');
                                      placeTrack(dir, std::vector<unsigned char>(text.begin(),
                                                                                 text.end()));
                                  }},
                      FailureCase{"Zeros", "is not decodable MPEG audio",
                                  [](const std::string& dir) {
                                      placeTrack(dir, std::vector<unsigned char>(100000, 0));
                                  }},
                      FailureCase{"Directory", "cannot be read",
                                  [](const std::string& dir) {
                                      placeTrack(dir, {});
                                      std::string track = dir + "/data/music/track.mp3";
                                      std::remove(track.c_str());
                                      mkdir(track.c_str(), 0755);
                                  }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MusicStart, AGoodTrackCarriesOnQuietly) {
    std::string dir = makeTemporaryDirectory();
    placeTrack(dir, testTrack());
    ChildRun run = startMusicIn(dir);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "");
}

class Music : public ::testing::Test {
  protected:
    static inline std::chrono::steady_clock::time_point started;
    static inline WindowConfig config{};
    static inline KeyState keys{};

    static void SetUpTestSuite() {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        std::string dir = makeTemporaryDirectory();
        placeTrack(dir, testTrack());
        char here[4096];
        ASSERT_NE(getcwd(here, sizeof here), nullptr);
        ASSERT_EQ(chdir(dir.c_str()), 0);
        startMusic();
        enableSpectrum();
        started = std::chrono::steady_clock::now();
        ASSERT_EQ(chdir(here), 0);
        config.keys = &keys;
        keepDemoConfig(config, keys);
    }
    void SetUp() override {
        for (int32_t& key : keys)
            key = 0;
    }
    // One frame of the show: the keyboard controls, then the director's time read.
    static void frame() {
        demoUpdate(0);
        updateDemoTime();
    }
    static void at(int32_t ms) {
        setManualMusicTime(ms);
        updateDemoTime();
    }
};

// Runs first: the stream was released at start and plays on the silent clock.
TEST_F(Music, ClockAdvancesInRealTimeWithoutADevice) {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    float previous = -1;
    for (int i = 0; i < 100; ++i) {
        updateDemoTime();
        ASSERT_GE(demoTime, previous);
        previous = demoTime;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_GT(demoTime, 0.3f);
    EXPECT_NEAR(demoTime, elapsed, 0.02);
}

// Stream milliseconds times the single-precision 0.001, rounded to single.
TEST_F(Music, DemoTimeIsTheSinglePrecisionProduct) {
    struct {
        int32_t ms;
        float demoTime;
    } const cases[] = {{0, 0.0f},
                       {1, 0.001f},
                       {10000, 10.0f},
                       {44000, 44.0000038f},
                       {60000, 60.0000038f},
                       {170999, 170.999008f},
                       {171000, 171.000015f}};
    for (const auto& c : cases) {
        at(c.ms);
        EXPECT_EQ(demoTime, c.demoTime) << c.ms << " ms";
    }
    at(60000);
    EXPECT_GT(demoTime, 60.0f);
    at(170999);
    EXPECT_LT(demoTime, 171.0f);
    at(171000);
    EXPECT_GT(demoTime, 171.0f);
}

// The target is demoTime x 1000 + the offset in double, truncated toward
// zero, and reaches the library unchanged, also below 0; the stream itself
// then plays from 0.
TEST_F(Music, SeekTargetIsTruncatedTowardZeroAndPassedUnchanged) {
    struct {
        float demoTime;
        float deltaMs;
        int32_t target;
    } const cases[] = {
        {10.0f, 500, 10500},         {0.25f, -5000, -4750}, {0.25f, -500, -250},
        {0.7349f, 500, 1234},        {0.4993f, -500, 0},    {60.0000038f, 500, 60500},
        {170.999008f, 5000, 175999}, {0.0f, -500, -500},    {3.0f, -5000, -2000}};
    for (const auto& c : cases) {
        at(1000);
        demoTime = c.demoTime;
        seekMusic(c.deltaMs);
        EXPECT_EQ(lastRequestedStreamTime(), c.target) << c.demoTime << " " << c.deltaMs;
        updateDemoTime();
        EXPECT_EQ(demoTime, static_cast<float>(c.target > 0 ? c.target : 0) * 0.001f);
    }
}

// The controls seek in the order Left, Right, Up, Down, each from the same
// demoTime, so the last key held in that order decides.
TEST_F(Music, SeveralArrowKeysInOneFrameLastOneDecides) {
    struct {
        std::vector<int> held;
        int32_t ms;
    } const cases[] = {{{VK_LEFT}, 9500},
                       {{VK_RIGHT}, 10500},
                       {{VK_UP}, 15000},
                       {{VK_DOWN}, 5000},
                       {{VK_LEFT, VK_UP}, 15000},
                       {{VK_UP, VK_LEFT}, 15000},
                       {{VK_LEFT, VK_RIGHT}, 10500},
                       {{VK_RIGHT, VK_UP}, 15000},
                       {{VK_UP, VK_DOWN}, 5000},
                       {{VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN}, 5000},
                       {{}, 10000}};
    for (const auto& c : cases) {
        at(10000);
        for (int32_t& key : keys)
            key = 0;
        for (int key : c.held)
            keys[key] = 1;
        frame();
        EXPECT_EQ(demoTime, static_cast<float>(c.ms) * 0.001f) << c.held.size() << " keys";
    }
}

// Held, a key seeks again in every frame from the time just read.
TEST_F(Music, AHeldKeyRepeatsFromEachNewTime) {
    at(10000);
    keys[VK_RIGHT] = 1;
    for (int32_t expected : {10500, 11000, 11500}) {
        frame();
        EXPECT_EQ(demoTime, static_cast<float>(expected) * 0.001f);
    }
    keys[VK_RIGHT] = 0;
    keys[VK_DOWN] = 1;
    for (int32_t expected : {6500, 1500, 0, 0}) {
        frame();
        EXPECT_EQ(demoTime, static_cast<float>(expected) * 0.001f);
    }
    EXPECT_EQ(lastRequestedStreamTime(), -5000);
}

// Past the end of the 12 s track the clock goes on, so the show still ends.
TEST_F(Music, PastTheEndTheTimeGoesOn) {
    at(11000);
    keys[VK_UP] = 1;
    frame();
    EXPECT_EQ(demoTime, 16.0f);
    at(170000);
    frame();
    EXPECT_GT(demoTime, 171.0f);
    updateSpectrumBands();
    for (float band : spectrumBands)
        EXPECT_EQ(band, 0.0f);
}

// The bands are the library's first 32 levels: the 86 Hz sine in band 2.
TEST_F(Music, SpectrumBandsAreTheFirst32Levels) {
    at(5000);
    updateSpectrumBands();
    const float* levels = FSOUND_DSP_GetSpectrum();
    for (int band = 0; band < 32; ++band)
        EXPECT_EQ(spectrumBands[band], levels[band]) << band;
    EXPECT_NEAR(spectrumBands[2], 0.48f, 0.03f);
    EXPECT_LT(spectrumBands[5], 0.01f);
    at(8000);
    updateSpectrumBands();
    EXPECT_NEAR(spectrumBands[20], 0.24f, 0.02f);
    EXPECT_LT(spectrumBands[2], 0.01f);
}
