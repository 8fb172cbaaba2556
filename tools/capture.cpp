// vantrel-capture: plays the show deterministically at a fixed frame rate on
// the music's manual clock, with no window shown and nothing heard, and
// writes chosen frames as PNG.
//
//   vantrel-capture [--data DIR] [--fps N] [--start S] --at T1,T2,... --png OUTDIR
//
// Frame i is drawn at stream time start + round(i x 1000 / N) ms, and every
// frame is drawn, so the sprite drift and the cue latches are those a viewer
// at N frames per second sees. For each requested time the first frame at or
// past it is written to OUTDIR/NNNNNN.png (the time in whole milliseconds),
// 800 x 600 RGB, top row first, as it would be swapped to the screen. The
// show runs through its real initialisation and its real draw hook; the only
// differences are the off-screen frame buffer and the clock.
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <GL/gl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "media/music.h"
#include "platform/window_system.h"
#include "shell/demo_hooks.h"
#include "shell/display_window.h"

static constexpr int frameWidth = 800;
static constexpr int frameHeight = 600;
static constexpr double maxFps = 1000;

static const char usageText[] =
    "usage: vantrel-capture [--data DIR] [--fps N] [--start S] --at T1,T2,... --png OUTDIR\n"
    "  --data DIR   the directory that holds data/ (default: the working directory)\n"
    "  --fps N      frames per second, default 60 (at most 1000)\n"
    "  --start S    start as if the show had been sought to S seconds, default 0\n"
    "  --at T,...   times in seconds; the first frame at or past each is written\n"
    "  --png OUTDIR where the frames go, as OUTDIR/NNNNNN.png (whole milliseconds)\n";

static struct {
    std::string dataDir = ".";
    std::string pngDir;
    double fps = 60;
    long long startMs = 0;
    std::vector<long long> atMs;
} options;

[[noreturn]] static void usageError(const std::string& problem) {
    std::fprintf(stderr, "vantrel-capture: %s\n%s", problem.c_str(), usageText);
    std::exit(2);
}

// A request that reads well but cannot be met.
[[noreturn]] static void refuse(const std::string& problem) {
    std::fprintf(stderr, "vantrel-capture: %s\n", problem.c_str());
    std::exit(2);
}

[[noreturn]] static void fail(const std::string& problem) {
    std::fprintf(stderr, "vantrel-capture: %s\n", problem.c_str());
    std::exit(1);
}

// A plain decimal number and nothing after it; false for anything else.
static bool parseNumber(const std::string& text, double& value) {
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && end == text.c_str() + text.size() && std::isfinite(value);
}

static double numberOption(const std::string& name, const std::string& text) {
    double value = 0;
    if (!parseNumber(text, value))
        usageError(name + " wants a number, not \"" + text + "\"");
    return value;
}

// Seconds to whole milliseconds. Times past the end of the show are refused
// later, with the frame they would fall in; this only keeps them in range.
static long long secondsToMs(const std::string& name, double seconds) {
    if (seconds < 0)
        usageError(name + " must not be negative");
    if (seconds > 1e6)
        usageError(name + " lies far past the end of the show at 171 s");
    return std::llround(seconds * 1000);
}

static void parseTimes(const std::string& list) {
    size_t begin = 0;
    while (true) {
        size_t comma = list.find(',', begin);
        std::string item = list.substr(begin, comma == std::string::npos ? comma : comma - begin);
        options.atMs.push_back(secondsToMs("--at", numberOption("--at", item)));
        if (comma == std::string::npos)
            break;
        begin = comma + 1;
    }
}

static void parseArguments(int argc, char** argv) {
    bool haveAt = false;
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        std::string value;
        size_t equals = name.find('=');
        if (name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
        } else if (name == "--help" || name == "-h") {
            std::fputs(usageText, stdout);
            std::exit(0);
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            usageError(name.rfind("--", 0) == 0 ? name + " wants a value"
                                                : "unexpected argument \"" + name + "\"");
        }
        if (name == "--data") {
            options.dataDir = value;
        } else if (name == "--png") {
            options.pngDir = value;
        } else if (name == "--fps") {
            options.fps = numberOption(name, value);
        } else if (name == "--start") {
            options.startMs = secondsToMs(name, numberOption(name, value));
        } else if (name == "--at") {
            parseTimes(value);
            haveAt = true;
        } else {
            usageError("unknown option \"" + name + "\"");
        }
    }
    if (!haveAt)
        usageError("--at is missing");
    if (options.pngDir.empty())
        usageError("--png is missing");
    if (options.dataDir.empty())
        usageError("--data wants a directory");
    if (!(options.fps > 0) || options.fps > maxFps)
        usageError("--fps must be above 0 and at most 1000");
}

static long long streamMsOfFrame(long long frame) {
    return options.startMs + std::llround(static_cast<double>(frame) * 1000.0 / options.fps);
}

// The clock reads whole milliseconds times the single-precision 0.001, so
// 171 000 ms is already past 171 s, and the director ends the process in
// the first frame past it before anything can be written.
static bool endsTheShow(long long ms) {
    return static_cast<float>(ms) * 0.001f > 171.0f;
}

struct Request {
    long long ms;    // the time asked for, which names the file
    long long frame; // the first frame at or past it
};

static std::vector<Request> planRequests() {
    if (endsTheShow(options.startMs))
        refuse("--start lies past 171 s, where the show ends");
    std::vector<Request> requests;
    for (long long ms : options.atMs) {
        if (ms < options.startMs) {
            char problem[120];
            std::snprintf(problem, sizeof problem, "--at %.3f lies before --start %.3f",
                          ms / 1000.0, options.startMs / 1000.0);
            refuse(problem);
        }
        long long frame = static_cast<long long>(
            std::floor(static_cast<double>(ms - options.startMs) * options.fps / 1000.0));
        if (frame > 0)
            frame -= 1;
        while (streamMsOfFrame(frame) < ms)
            ++frame;
        if (endsTheShow(streamMsOfFrame(frame))) {
            char problem[200];
            std::snprintf(problem, sizeof problem,
                          "--at %.3f: its frame, at stream time %lld ms, is past 171 s, where "
                          "the show ends before that frame is shown",
                          ms / 1000.0, streamMsOfFrame(frame));
            refuse(problem);
        }
        requests.push_back(Request{ms, frame});
    }
    return requests;
}

static bool isDirectory(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

static void checkDataDirectory() {
    if (!isDirectory(options.dataDir))
        fail("data directory \"" + options.dataDir + "\" does not exist");
    if (!isDirectory(options.dataDir + "/data"))
        fail("\"" + options.dataDir + "\" holds no data/ directory");
}

// Made if missing, and kept as an absolute path, since the show runs in the
// data directory.
static void prepareOutputDirectory() {
    if (!isDirectory(options.pngDir) && mkdir(options.pngDir.c_str(), 0777) != 0)
        fail("cannot make the output directory \"" + options.pngDir +
             "\": " + std::strerror(errno));
    if (options.pngDir[0] != '/') {
        std::vector<char> cwd(4096);
        if (getcwd(cwd.data(), cwd.size()) == nullptr)
            fail(std::string("cannot read the working directory: ") + std::strerror(errno));
        options.pngDir = std::string(cwd.data()) + "/" + options.pngDir;
    }
}

static void writePng(const std::string& path, const std::vector<uint8_t>& rgbTopDown) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        fail("cannot write \"" + path + "\": " + std::strerror(errno));
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (png == nullptr || info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        fail("cannot write \"" + path + "\": the PNG encoder failed");
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, frameWidth, frameHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < frameHeight; ++y)
        png_write_row(png, &rgbTopDown[static_cast<size_t>(y) * frameWidth * 3]);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(file) != 0)
        fail("cannot write \"" + path + "\": " + std::strerror(errno));
}

// The frame as it would be swapped: read from the frame buffer, bottom row
// first, and turned top row first.
static std::vector<uint8_t> readFrame() {
    std::vector<uint8_t> bottomUp(static_cast<size_t>(frameWidth) * frameHeight * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, frameWidth, frameHeight, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    std::vector<uint8_t> topDown(bottomUp.size());
    size_t row = static_cast<size_t>(frameWidth) * 3;
    for (int y = 0; y < frameHeight; ++y)
        std::memcpy(&topDown[y * row], &bottomUp[(frameHeight - 1 - y) * row], row);
    return topDown;
}

static std::string pngName(long long ms) {
    char name[32];
    std::snprintf(name, sizeof name, "/%06lld.png", ms);
    return options.pngDir + name;
}

static struct {
    std::chrono::steady_clock::time_point started;
    std::chrono::steady_clock::time_point lastShown;
    bool terminal;
} progress;

static void showProgress(long long done, long long total) {
    auto now = std::chrono::steady_clock::now();
    double sinceShown = std::chrono::duration<double>(now - progress.lastShown).count();
    bool last = done == total;
    if (!last && sinceShown < (progress.terminal ? 0.25 : 5.0))
        return;
    progress.lastShown = now;
    double elapsed = std::chrono::duration<double>(now - progress.started).count();
    double left = done > 0 ? elapsed / done * (total - done) : 0;
    std::fprintf(stderr, "%svantrel-capture: frame %lld of %lld, %.0f s left%s",
                 progress.terminal ? "\r" : "", done, total, left,
                 progress.terminal && !last ? "" : "\n");
    std::fflush(stderr);
}

static void startShow() {
    // Nothing is heard: the clock is driven by hand and the device is a dummy.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    platformSetMessageBoxesToStderr(true);
    if (!platformCreateOffscreenGL(frameWidth, frameHeight))
        fail("no OpenGL context can be had (no display? run it under xvfb-run)");
    if (chdir(options.dataDir.c_str()) != 0)
        fail("cannot enter \"" + options.dataDir + "\": " + std::strerror(errno));
    static KeyState keys;
    static WindowConfig config;
    config.keys = &keys;
    config.title = "Vantrel Engine";
    config.width = frameWidth;
    config.height = frameHeight;
    config.bitsPerPixel = 32;
    config.fullscreen = 0;
    config.visible = 1;
    reshapeViewport(frameWidth, frameHeight);
    demoInit(config, keys);
}

int main(int argc, char** argv) {
    if (argc < 2)
        usageError("nothing to capture");
    parseArguments(argc, argv);
    std::vector<Request> requests = planRequests();
    checkDataDirectory();
    prepareOutputDirectory();
    startShow();

    long long total = 0;
    for (const Request& request : requests)
        total = std::max(total, request.frame + 1);
    progress.started = progress.lastShown = std::chrono::steady_clock::now();
    progress.terminal = isatty(STDERR_FILENO) != 0;
    for (long long frame = 0; frame < total; ++frame) {
        setManualMusicTime(static_cast<int32_t>(streamMsOfFrame(frame)));
        demoDraw();
        bool wanted = false;
        for (const Request& request : requests)
            wanted = wanted || request.frame == frame;
        if (wanted) {
            std::vector<uint8_t> picture = readFrame();
            for (const Request& request : requests) {
                if (request.frame == frame)
                    writePng(pngName(request.ms), picture);
            }
        }
        showProgress(frame + 1, total);
    }
    return 0;
}
