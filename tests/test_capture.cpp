// The capture tool, run as the real program in a child process: its refusals
// of bad arguments and missing data directories, and real frames played in a
// data directory that holds only a short silent track the test makes (every
// other file is missing and loads as nothing). Pixel checks are those the
// timeline decides whatever the scenes draw: the letterbox rows, the white
// first clear, the flat grey half-way through the negative flash.
#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/mp3_fixture.h"
#include "tests/support/x_display.h"

namespace {

struct CaptureRun {
    int exitCode = -1; // 128 + signal when killed
    std::string err;
};

std::string captureBinary() {
    return std::string(VANTREL_BINARY_DIR) + "/vantrel-capture";
}

std::string readText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs vantrel-capture with the arguments in directory cwd; killed after
// the timeout.
CaptureRun runCapture(const std::vector<std::string>& args, const std::string& cwd = "",
                      double timeoutSeconds = 120) {
    std::string errPath = makeTemporaryDirectory() + "/stderr.txt";
    pid_t pid = fork();
    if (pid == 0) {
        if (!cwd.empty() && chdir(cwd.c_str()) != 0)
            _exit(126);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        std::vector<char*> argv;
        std::string binary = captureBinary();
        argv.push_back(binary.data());
        std::vector<std::string> copies = args;
        for (std::string& arg : copies)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        execv(binary.c_str(), argv.data());
        _exit(127);
    }
    CaptureRun run;
    auto deadline = std::chrono::steady_clock::now() +
                    std::chrono::milliseconds(static_cast<int>(timeoutSeconds * 1000));
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.err = readText(errPath);
    return run;
}

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb; // top row first
    bool ok = false;
};

Picture readPng(const std::string& path) {
    Picture picture;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return picture;
    bool rgbFile = image.format == PNG_FORMAT_RGB;
    image.format = PNG_FORMAT_RGB;
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.rgb.resize(PNG_IMAGE_SIZE(image));
    picture.ok = rgbFile && png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr);
    return picture;
}

// How many pixels of rows top..bottom lie further than tolerance from grey.
size_t pixelsOffGrey(const Picture& picture, int top, int bottom, int grey, int tolerance) {
    size_t off = 0;
    for (int y = top; y <= bottom; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const uint8_t* p = &picture.rgb[(static_cast<size_t>(y) * picture.width + x) * 3];
            for (int c = 0; c < 3; ++c)
                off += std::abs(p[c] - grey) > tolerance;
        }
    }
    return off;
}

bool exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

class Capture : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(ensureXDisplay());
        // A data directory with nothing but one second of silence as its track.
        silentData = new std::string(makeTemporaryDirectory());
        placeTrack(*silentData, encodeMp3(silentSignal(1.0)));
    }
    static std::string* silentData;
};

std::string* Capture::silentData;

} // namespace

TEST_F(Capture, RefusesBadArgumentsWithAUsageMessage) {
    std::string out = makeTemporaryDirectory() + "/frames";
    struct Case {
        std::vector<std::string> args;
        const char* message;
        bool usage;
    } cases[] = {
        {{}, "nothing to capture", true},
        {{"--png", out}, "--at is missing", true},
        {{"--at", "1"}, "--png is missing", true},
        {{"--at", "1,,2", "--png", out}, "--at wants a number, not \"\"", true},
        {{"--at", "1,", "--png", out}, "--at wants a number", true},
        {{"--at", "soon", "--png", out}, "--at wants a number, not \"soon\"", true},
        {{"--at", "1", "--png", out, "--fps", "0"}, "--fps must be above 0", true},
        {{"--at", "1", "--png", out, "--fps", "-30"}, "--fps must be above 0", true},
        {{"--at", "1", "--png", out, "--fps", "5000"}, "at most 1000", true},
        {{"--at", "1", "--png", out, "--fps", "60fps"}, "--fps wants a number", true},
        {{"--at", "-1", "--png", out}, "--at must not be negative", true},
        {{"--at", "1", "--png", out, "--start", "-2"}, "--start must not be negative", true},
        {{"--at", "1", "--png", out, "--speed", "2"}, "unknown option \"--speed\"", true},
        {{"--at", "1", "--png"}, "--png wants a value", true},
        {{"--at", "1", "--png", out, "stray"}, "unexpected argument \"stray\"", true},
        {{"--at", "171", "--png", out}, "past 171 s", false},
        {{"--at", "1,200", "--png", out}, "past 171 s", false},
        // At 60 frames per second the first frame at or past 170.99 s is the
        // one at 171 000 ms, which already reads past 171 s.
        {{"--at", "170.99", "--png", out}, "stream time 171000 ms", false},
        {{"--at", "170.995", "--png", out, "--fps", "100"}, "stream time 171000 ms", false},
        {{"--at", "10", "--start", "20", "--png", out},
         "--at 10.000 lies before --start 20.000",
         false},
        {{"--at", "175", "--start", "171", "--png", out}, "--start lies past 171 s", false},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& arg : c.args)
            shown += arg + " ";
        CaptureRun run = runCapture(c.args, *silentData);
        EXPECT_EQ(run.exitCode, 2) << shown << "\n" << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << shown << "\n" << run.err;
        EXPECT_EQ(run.err.find("usage: vantrel-capture") != std::string::npos, c.usage)
            << shown << "\n"
            << run.err;
    }
    EXPECT_FALSE(exists(out)) << "nothing was made for a refused run";
}

TEST_F(Capture, RefusesAMissingDataDirectory) {
    std::string out = makeTemporaryDirectory() + "/frames";
    std::string missing = makeTemporaryDirectory() + "/nowhere";
    CaptureRun run = runCapture({"--data", missing, "--at", "1", "--png", out});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("data directory \"" + missing + "\" does not exist"), std::string::npos)
        << run.err;

    std::string bare = makeTemporaryDirectory();
    run = runCapture({"--data", bare, "--at", "1", "--png", out});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("\"" + bare + "\" holds no data/ directory"), std::string::npos)
        << run.err;
    EXPECT_FALSE(exists(out));
}

TEST_F(Capture, RefusesAnOutputDirectoryItCannotMake) {
    std::string out = makeTemporaryDirectory() + "/missing/parent";
    CaptureRun run = runCapture({"--data", *silentData, "--at", "0", "--png", out});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("cannot make the output directory \"" + out + "\""), std::string::npos)
        << run.err;
}

// Frame 0 is the first frame of the show, cleared white; at 10 frames per
// second the first frame at or past 0.25 s is the one at 300 ms, written
// under the time asked for. Relative paths count from where it was started.
TEST_F(Capture, WritesTheRequestedFramesAsRgbPictures) {
    std::string home = makeTemporaryDirectory();
    CaptureRun run = runCapture(
        {"--data", *silentData, "--fps", "10", "--at", "0.25,0", "--png", "shots"}, home);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("frame 4 of 4"), std::string::npos) << run.err;
    EXPECT_FALSE(exists(home + "/shots/000300.png"));
    for (const char* name : {"000000.png", "000250.png"}) {
        Picture picture = readPng(home + "/shots/" + name);
        ASSERT_TRUE(picture.ok) << name << " is not an RGB PNG";
        EXPECT_EQ(picture.width, 800) << name;
        EXPECT_EQ(picture.height, 600) << name;
        EXPECT_EQ(pixelsOffGrey(picture, 0, 69, 0, 0), 0u) << name << ": top bar";
        EXPECT_EQ(pixelsOffGrey(picture, 530, 599, 0, 0), 0u) << name << ": bottom bar";
    }
    Picture first = readPng(home + "/shots/000000.png");
    EXPECT_EQ(pixelsOffGrey(first, 70, 529, 255, 0), 0u) << "the first frame is cleared white";
}

// Sought to 95 s, half-way through the negative flash: flat grey whatever the
// orbit scene and the bars drew.
TEST_F(Capture, StartsAsIfSoughtAndShowsTheFlashAsFlatGrey) {
    std::string out = makeTemporaryDirectory();
    CaptureRun run =
        runCapture({"--data", *silentData, "--start", "95", "--at", "95", "--png", out});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    Picture picture = readPng(out + "/095000.png");
    ASSERT_TRUE(picture.ok);
    EXPECT_EQ(pixelsOffGrey(picture, 70, 529, 128, 1), 0u);
    EXPECT_EQ(pixelsOffGrey(picture, 0, 69, 0, 0), 0u);
    EXPECT_EQ(pixelsOffGrey(picture, 530, 599, 0, 0), 0u);
}

// Without a track the show cannot run; the music's own message says why.
TEST_F(Capture, AMissingTrackEndsWithTheMusicsMessage) {
    std::string empty = makeTemporaryDirectory();
    ASSERT_EQ(mkdir((empty + "/data").c_str(), 0755), 0);
    std::string out = makeTemporaryDirectory();
    CaptureRun run = runCapture({"--data", empty, "--at", "0", "--png", out});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.err.find("data/music/track.mp3"), std::string::npos) << run.err;
    EXPECT_FALSE(exists(out + "/000000.png"));
}
