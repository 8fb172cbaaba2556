// vantrel-bench-video: what one uploadVideoFrame call costs when the clip is
// played in sequence, as the video scene plays it, beside what FFmpeg's own
// command line takes per frame to decode the same clip and stretch it to
// 512 x 512 blue-green-red.
//
//   vantrel-bench-video [--data DIR] [--passes N]
//
// DIR holds data/demo1.avi (default: the working directory). Each pass
// uploads frames 0, 1, ... up to the clip's last, timed from the first call
// to a glFinish after the last; the FFmpeg passes run
//   ffmpeg -i data/demo1.avi -vf scale=512:512 -pix_fmt bgr24 -f null -
// and are timed as whole processes. The passes alternate, so that a busy
// machine weighs on both alike. Needs an X display for its GL context.
extern "C" {
#include <libavformat/avformat.h>
}

#include <GL/gl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "media/video_stream.h"
#include "platform/video_decoder.h"
#include "platform/window_system.h"

static const char clipPath[] = "data/demo1.avi";
static const char ffmpegCommand[] =
    "ffmpeg -nostdin -hide_banner -loglevel error -i data/demo1.avi "
    "-vf scale=512:512 -pix_fmt bgr24 -f null -";

static struct {
    std::string dataDir = ".";
    int passes = 5;
} options;

[[noreturn]] static void fail(const char* problem) {
    std::fprintf(stderr, "vantrel-bench-video: %s\n", problem);
    std::exit(1);
}

static void parseOptions(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--data") == 0 && i + 1 < argc) {
            options.dataDir = argv[++i];
        } else if (std::strcmp(argv[i], "--passes") == 0 && i + 1 < argc) {
            options.passes = std::atoi(argv[++i]);
            if (options.passes < 1 || options.passes > 100)
                fail("--passes takes 1 to 100");
        } else {
            std::fprintf(stderr, "usage: vantrel-bench-video [--data DIR] [--passes N]\n");
            std::exit(2);
        }
    }
}

// The clip's frame count and size, as its container states them.
static void describeClip(int& frames, int& width, int& height) {
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, clipPath, nullptr, nullptr) < 0)
        fail("data/demo1.avi cannot be opened");
    avformat_find_stream_info(format, nullptr);
    int index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0)
        fail("data/demo1.avi has no video stream");
    AVStream* stream = format->streams[index];
    frames = static_cast<int>(stream->nb_frames);
    width = stream->codecpar->width;
    height = stream->codecpar->height;
    avformat_close_input(&format);
    if (frames <= 0)
        fail("data/demo1.avi does not say how many frames it has");
}

// Wall-clock time and processor time (all threads, or all children) of a pass.
struct PassTime {
    double wall, processor;
};

static double processorSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

static double childrenProcessorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    auto toSeconds = [](timeval t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    };
    return toSeconds(usage.ru_utime) + toSeconds(usage.ru_stime);
}

struct PassClock {
    std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
    double processor = processorSeconds();
    double children = childrenProcessorSeconds();
};

static PassTime ownTime(const PassClock& start) {
    return PassTime{
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start.wall).count(),
        processorSeconds() - start.processor};
}

static PassTime childTime(const PassClock& start) {
    return PassTime{
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start.wall).count(),
        childrenProcessorSeconds() - start.children};
}

static PassTime timeOurPass(int frames) {
    PassClock start;
    for (int frame = 0; frame < frames; ++frame)
        uploadVideoFrame(frame);
    glFinish();
    return ownTime(start);
}

// The same pass without the upload: decoding and stretching alone.
static PassTime timeDecoderPass(VideoDecoder* decoder, int frames, std::vector<uint8_t>& staging) {
    PassClock start;
    for (int frame = 0; frame < frames; ++frame)
        platformGetVideoFrame(decoder, frame, staging.data());
    return ownTime(start);
}

static PassTime timeFfmpegPass() {
    PassClock start;
    if (std::system(ffmpegCommand) != 0)
        fail("the ffmpeg command failed");
    return childTime(start);
}

static double median(const std::vector<PassTime>& passes, double PassTime::*field) {
    std::vector<double> values;
    for (const PassTime& pass : passes)
        values.push_back(pass.*field);
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

static double best(const std::vector<PassTime>& passes, double PassTime::*field) {
    double result = passes[0].*field;
    for (const PassTime& pass : passes)
        result = std::min(result, pass.*field);
    return result;
}

static void report(const char* what, const std::vector<PassTime>& passes, int frames) {
    double perFrame = 1000.0 / frames;
    std::printf("%-40s %7.3f %7.3f   %7.3f %7.3f\n", what, best(passes, &PassTime::wall) * perFrame,
                median(passes, &PassTime::wall) * perFrame,
                best(passes, &PassTime::processor) * perFrame,
                median(passes, &PassTime::processor) * perFrame);
}

int main(int argc, char** argv) {
    parseOptions(argc, argv);
    if (chdir(options.dataDir.c_str()) != 0)
        fail("the --data directory cannot be entered");
    int frames = 0, width = 0, height = 0;
    describeClip(frames, width, height);
    platformSetMessageBoxesToStderr(true);
    if (!platformCreateOffscreenGL(64, 64))
        fail("no OpenGL context (is DISPLAY set?)");
    initVideo();
    VideoDecoder* decoder = platformOpenVideoStream(clipPath);
    if (decoder == nullptr || !platformOpenVideoFrames(decoder, 512, 512))
        fail("data/demo1.avi cannot be decoded");
    std::vector<uint8_t> staging(512 * 512 * 3);

    std::vector<PassTime> ours, decoding, ffmpeg;
    for (int pass = 0; pass < options.passes; ++pass) {
        ours.push_back(timeOurPass(frames));
        ffmpeg.push_back(timeFfmpegPass());
        decoding.push_back(timeDecoderPass(decoder, frames, staging));
    }
    std::printf("clip: %s/%s, %dx%d, %d frames, %d passes each\n", options.dataDir.c_str(),
                clipPath, width, height, frames, options.passes);
    std::printf("GL: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    std::printf("%-40s %15s   %15s\n", "ms per frame", "wall: best  median", "CPU: best  median");
    report("uploadVideoFrame, frames in sequence", ours, frames);
    report("  of which decoding and stretching", decoding, frames);
    report("ffmpeg -vf scale=512:512 -pix_fmt bgr24", ffmpeg, frames);
    double wallRatio = median(ours, &PassTime::wall) / median(ffmpeg, &PassTime::wall);
    double processorRatio =
        median(ours, &PassTime::processor) / median(ffmpeg, &PassTime::processor);
    std::printf("ours / ffmpeg, medians: wall %.2f, CPU %.2f\n", wallRatio, processorRatio);
    return 0;
}
