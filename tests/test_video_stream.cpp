// The video stream and its decoder, against clips the tests make whose
// frames carry their own number as a row of black and white blocks: which
// frame lands in the texture after sequential, repeated, backward, forward
// and past-the-end requests, how much decoding and seeking that costs, the
// staging layout (bottom row first, blue-green-red bytes sent as GL_RGB, so
// red and blue trade places and the picture's top is at t = 1), and the two
// messages with the texture left alone after them.
#include <GL/gl.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "media/video_stream.h"
#include "platform/video_decoder.h"
#include "platform/window_system.h"
#include "tests/support/gl_test.h"

namespace {

namespace fs = std::filesystem;

constexpr int clipWidth = 320;
constexpr int clipHeight = 240;
constexpr int clipFrames = 40;
constexpr int numberBits = 8;
constexpr int stagingSize = 512;

fs::path scratchDirectory() {
    static fs::path directory = [] {
        char pattern[] = "/tmp/vantrel-video-XXXXXX";
        return fs::path(mkdtemp(pattern));
    }();
    return directory;
}

// Frame n of a test clip, RGB, top row first: a red band at the top, a blue
// band at the bottom, grey between, and across the middle eight 40-pixel
// blocks, white for a set bit of n, most significant first.
std::vector<uint8_t> clipPicture(int n) {
    std::vector<uint8_t> rgb(static_cast<size_t>(clipWidth) * clipHeight * 3);
    for (int y = 0; y < clipHeight; ++y)
        for (int x = 0; x < clipWidth; ++x) {
            uint8_t* p = &rgb[(static_cast<size_t>(y) * clipWidth + x) * 3];
            int r = 128, g = 128, b = 128;
            if (y < 48) {
                r = 255, g = 0, b = 0;
            } else if (y >= 192) {
                r = 0, g = 0, b = 255;
            } else if (y >= 96 && y < 144) {
                int bit = numberBits - 1 - x / 40;
                r = g = b = (n >> bit) & 1 ? 255 : 0;
            }
            p[0] = static_cast<uint8_t>(r), p[1] = static_cast<uint8_t>(g),
            p[2] = static_cast<uint8_t>(b);
        }
    return rgb;
}

bool encodeFrame(AVFormatContext* format, AVCodecContext* codec, AVStream* stream, AVFrame* frame) {
    if (avcodec_send_frame(codec, frame) < 0)
        return false;
    AVPacket* packet = av_packet_alloc();
    while (avcodec_receive_packet(codec, packet) == 0) {
        av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
        packet->stream_index = stream->index;
        av_interleaved_write_frame(format, packet);
    }
    av_packet_free(&packet);
    return true;
}

// An AVI of clipFrames numbered frames at 25 frames per second; MJPEG has a
// keyframe in every frame, MPEG-4 one every `gop` frames.
bool writeClip(const std::string& path, AVCodecID codecId, int gop) {
    av_log_set_level(AV_LOG_QUIET);
    const AVCodec* encoder = avcodec_find_encoder(codecId);
    AVFormatContext* format = nullptr;
    if (encoder == nullptr ||
        avformat_alloc_output_context2(&format, nullptr, "avi", path.c_str()) < 0)
        return false;
    AVStream* stream = avformat_new_stream(format, nullptr);
    AVCodecContext* codec = avcodec_alloc_context3(encoder);
    codec->width = clipWidth;
    codec->height = clipHeight;
    codec->time_base = AVRational{1, 25};
    codec->framerate = AVRational{25, 1};
    codec->pix_fmt = codecId == AV_CODEC_ID_MJPEG ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P;
    codec->gop_size = gop;
    codec->max_b_frames = 0;
    codec->flags |= AV_CODEC_FLAG_QSCALE;
    codec->global_quality = FF_QP2LAMBDA * 2;
    if (format->oformat->flags & AVFMT_GLOBALHEADER)
        codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    bool ok = avcodec_open2(codec, encoder, nullptr) >= 0 &&
              avcodec_parameters_from_context(stream->codecpar, codec) >= 0 &&
              avio_open(&format->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0;
    stream->time_base = codec->time_base;
    ok = ok && avformat_write_header(format, nullptr) >= 0;
    SwsContext* converter =
        sws_getContext(clipWidth, clipHeight, AV_PIX_FMT_RGB24, clipWidth, clipHeight,
                       codec->pix_fmt, SWS_POINT, nullptr, nullptr, nullptr);
    AVFrame* frame = av_frame_alloc();
    frame->width = clipWidth;
    frame->height = clipHeight;
    frame->format = codec->pix_fmt;
    av_frame_get_buffer(frame, 0);
    for (int n = 0; ok && n < clipFrames; ++n) {
        std::vector<uint8_t> rgb = clipPicture(n);
        const uint8_t* source[1] = {rgb.data()};
        int sourceStride[1] = {clipWidth * 3};
        av_frame_make_writable(frame);
        sws_scale(converter, source, sourceStride, 0, clipHeight, frame->data, frame->linesize);
        frame->pts = n;
        frame->quality = codec->global_quality;
        ok = encodeFrame(format, codec, stream, frame);
    }
    ok = ok && encodeFrame(format, codec, stream, nullptr) && av_write_trailer(format) == 0;
    av_frame_free(&frame);
    sws_freeContext(converter);
    avcodec_free_context(&codec);
    avio_closep(&format->pb);
    avformat_free_context(format);
    return ok;
}

const std::string& mjpegClip() {
    static std::string path = [] {
        std::string p = (scratchDirectory() / "numbers-mjpeg.avi").string();
        EXPECT_TRUE(writeClip(p, AV_CODEC_ID_MJPEG, 1));
        return p;
    }();
    return path;
}

const std::string& mpeg4Clip() {
    static std::string path = [] {
        std::string p = (scratchDirectory() / "numbers-mpeg4.avi").string();
        EXPECT_TRUE(writeClip(p, AV_CODEC_ID_MPEG4, 10));
        return p;
    }();
    return path;
}

// The number a 512 x 512 staging image (or the texture made from it, rows
// from t = 0) shows: block k's centre is at source (20 + 40k, 120), which
// lands at x = 32 + 64k, 256 rows from the top, so row 255 from the bottom.
int numberShown(const std::vector<uint8_t>& image) {
    int n = 0;
    for (int k = 0; k < numberBits; ++k) {
        const uint8_t* p = &image[(255 * static_cast<size_t>(stagingSize) + 32 + 64 * k) * 3];
        n = n * 2 + (p[0] + p[1] + p[2] > 3 * 128 ? 1 : 0);
    }
    return n;
}

struct Bytes3 {
    int first, second, third; // in memory order
};

Bytes3 pixelAt(const std::vector<uint8_t>& image, int x, int rowFromBottom) {
    const uint8_t* p = &image[(static_cast<size_t>(rowFromBottom) * stagingSize + x) * 3];
    return Bytes3{p[0], p[1], p[2]};
}

::testing::AssertionResult bytesNear(Bytes3 actual, Bytes3 expected, int tolerance = 16) {
    if (std::abs(actual.first - expected.first) <= tolerance &&
        std::abs(actual.second - expected.second) <= tolerance &&
        std::abs(actual.third - expected.third) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "got (" << actual.first << ", " << actual.second << ", " << actual.third
           << "), expected (" << expected.first << ", " << expected.second << ", " << expected.third
           << ")";
}

// ---------------------------------------------------------------------------
// The decoder on its own

struct Request {
    int32_t frame;
    int shown;        // the frame number the staging image must show
    uint64_t decodes; // pictures decoded for this request
    bool seeks;       // whether it seeks
};

void runRequests(const std::string& clip, const std::vector<Request>& requests) {
    VideoDecoder* video = platformOpenVideoStream(clip.c_str());
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(platformVideoFrameWidth(video), clipWidth);
    EXPECT_EQ(platformVideoFrameHeight(video), clipHeight);
    ASSERT_TRUE(platformOpenVideoFrames(video, stagingSize, stagingSize));
    std::vector<uint8_t> staging(static_cast<size_t>(stagingSize) * stagingSize * 3);
    for (const Request& r : requests) {
        VideoDecoderCounts before = platformVideoDecoderCounts(video);
        ASSERT_TRUE(platformGetVideoFrame(video, r.frame, staging.data())) << r.frame;
        VideoDecoderCounts after = platformVideoDecoderCounts(video);
        EXPECT_EQ(numberShown(staging), r.shown) << "asked for " << r.frame;
        EXPECT_EQ(after.framesDecoded - before.framesDecoded, r.decodes) << "asked for " << r.frame;
        EXPECT_EQ(after.seeks - before.seeks, r.seeks ? 1u : 0u) << "asked for " << r.frame;
    }
    platformCloseVideoStream(video);
}

TEST(VideoDecoder, EveryFrameInTurnDecodesOnceWithoutSeeking) {
    std::vector<Request> requests;
    for (int n = 0; n < clipFrames; ++n) {
        requests.push_back(Request{n, n, 1, false});
        requests.push_back(Request{n, n, 0, false}); // the same frame again: nothing decoded
    }
    runRequests(mjpegClip(), requests);
}

TEST(VideoDecoder, JumpsOnAClipOfKeyframesOnly) {
    runRequests(mjpegClip(), {
                                 {16, 16, 1, true}, // the show's first frame, far from 0
                                 {17, 17, 1, false},
                                 {5, 5, 1, true}, // backward
                                 {6, 6, 1, false},
                                 {30, 30, 1, true}, // forward, far
                                 {-3, 0, 1, true},  // before the start: frame 0
                             });
}

TEST(VideoDecoder, PastTheEndTheLastFrameStays) {
    runRequests(mjpegClip(), {
                                 {37, 37, 1, true},
                                 {38, 38, 1, false},
                                 {39, 39, 1, false},
                                 {40, 39, 0, false}, // the end is met; the last frame stays
                                 {633, 39, 0, false},
                                 {39, 39, 0, false},
                                 {10, 10, 1, true}, // and the clip can be rewound
                                 {11, 11, 1, false},
                                 {500, 39, 1, true}, // a far jump past the end, once known
                                 {501, 39, 0, false},
                             });
}

TEST(VideoDecoder, SeeksGoToTheKeyframeBeforeAndDecodeForward) {
    // Keyframes at 0, 10, 20, 30.
    runRequests(mpeg4Clip(), {
                                 {23, 23, 4, true}, // 20, 21, 22, 23
                                 {24, 24, 1, false},
                                 {24, 24, 0, false},
                                 {12, 12, 3, true}, // back to 10
                                 {13, 13, 1, false},
                                 {17, 17, 4, false}, // no keyframe between: decoded through
                                 {18, 18, 1, false},
                                 {19, 19, 1, false},
                                 {20, 20, 1, false}, // past a keyframe in sequence, no seek
                                 {38, 38, 9, true},  // 30 ... 38
                                 {39, 39, 1, false},
                                 {45, 39, 0, false},
                                 {9, 9, 10, true}, // back to 0
                             });
}

TEST(VideoDecoder, MissingOrUnreadableFilesAreNamedOnStandardError) {
    std::string notVideo = (scratchDirectory() / "not-a-video.avi").string();
    std::ofstream(notVideo) << "this is no video\n";
    for (const std::string& path : {(scratchDirectory() / "missing.avi").string(), notVideo}) {
        testing::internal::CaptureStderr();
        VideoDecoder* video = platformOpenVideoStream(path.c_str());
        std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_EQ(video, nullptr) << path;
        EXPECT_NE(printed.find(path), std::string::npos) << printed;
    }
}

// ---------------------------------------------------------------------------
// The video stream and its texture

class VideoStreamTest : public GlTest {
  protected:
    static void SetUpTestSuite() {
        GlTest::SetUpTestSuite();
        platformSetMessageBoxesToStderr(true);
    }

    // initVideo as the show runs it, in a directory holding `clip` (if any)
    // as data/demo1.avi; returns what it printed.
    static std::string initVideoWith(const std::string& clip) {
        fs::path root = scratchDirectory() / ("show-" + std::to_string(++showNumber));
        fs::create_directories(root / "data");
        if (!clip.empty())
            fs::copy_file(clip, root / "data/demo1.avi");
        fs::path previous = fs::current_path();
        fs::current_path(root);
        testing::internal::CaptureStderr();
        initVideo();
        std::string printed = testing::internal::GetCapturedStderr();
        fs::current_path(previous);
        return printed;
    }

    static std::vector<uint8_t> textureImage() {
        std::vector<uint8_t> image(static_cast<size_t>(stagingSize) * stagingSize * 3);
        glBindTexture(GL_TEXTURE_2D, videoTexture);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, image.data());
        return image;
    }

    static void fillTexture(uint8_t value) {
        std::vector<uint8_t> image(static_cast<size_t>(stagingSize) * stagingSize * 3, value);
        glBindTexture(GL_TEXTURE_2D, videoTexture);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, stagingSize, stagingSize, GL_RGB, GL_UNSIGNED_BYTE,
                        image.data());
    }

    static GLuint boundTexture() {
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        return static_cast<GLuint>(bound);
    }

    static void expectTextureUnchangedByUploads() {
        fillTexture(0x55);
        glBindTexture(GL_TEXTURE_2D, 0);
        uploadVideoFrame(5);
        EXPECT_EQ(boundTexture(), videoTexture);
        std::vector<uint8_t> image = textureImage();
        EXPECT_EQ(std::count(image.begin(), image.end(), 0x55),
                  static_cast<std::ptrdiff_t>(image.size()));
    }

    static inline int showNumber = 0;
};

TEST_F(VideoStreamTest, MissingClipShowsTheStreamMessageAndLeavesTheTexture) {
    std::string printed = initVideoWith("");
    EXPECT_NE(printed.find("Error: Failed To Open The AVI Stream"), std::string::npos) << printed;
    EXPECT_EQ(printed.find("Failed To Open The AVI Frame"), std::string::npos) << printed;
    EXPECT_NE(printed.find("data/demo1.avi"), std::string::npos) << printed;
    ASSERT_NE(videoTexture, 0u);
    // The texture exists all the same: 512 x 512, from the black staging image.
    std::vector<uint8_t> image = textureImage();
    EXPECT_EQ(std::count(image.begin(), image.end(), 0), static_cast<std::ptrdiff_t>(image.size()));
    expectTextureUnchangedByUploads();
}

TEST_F(VideoStreamTest, ClipWithoutDecoderShowsTheFrameMessageAndLeavesTheTexture) {
    // The MJPEG clip with its codec's four-character code made unknown.
    std::ifstream in(mjpegClip(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (size_t at = bytes.find("MJPG"); at != std::string::npos; at = bytes.find("MJPG", at))
        bytes.replace(at, 4, "QQQQ");
    std::string unknown = (scratchDirectory() / "unknown-codec.avi").string();
    std::ofstream(unknown, std::ios::binary) << bytes;
    std::string printed = initVideoWith(unknown);
    EXPECT_EQ(printed.find("Failed To Open The AVI Stream"), std::string::npos) << printed;
    EXPECT_NE(printed.find("Error: Failed To Open The AVI Frame"), std::string::npos) << printed;
    expectTextureUnchangedByUploads();
}

TEST_F(VideoStreamTest, TextureFollowsTheRequestedFrames) {
    std::string printed = initVideoWith(mjpegClip());
    EXPECT_EQ(printed, "");
    GLint filter = 0;
    glBindTexture(GL_TEXTURE_2D, videoTexture);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &filter);
    EXPECT_EQ(filter, GL_NEAREST);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    EXPECT_EQ(filter, GL_NEAREST);
    const int requests[][2] = {{0, 0}, {1, 1},   {2, 2},   {2, 2},    {30, 30}, {5, 5},
                               {6, 6}, {25, 25}, {39, 39}, {100, 39}, {16, 16}};
    for (const auto& request : requests) {
        glBindTexture(GL_TEXTURE_2D, 0);
        uploadVideoFrame(request[0]);
        EXPECT_EQ(boundTexture(), videoTexture);
        EXPECT_EQ(numberShown(textureImage()), request[1]) << "asked for " << request[0];
    }
}

TEST_F(VideoStreamTest, StagingLayoutBottomRowFirstBlueGreenRed) {
    initVideoWith(mjpegClip());
    uploadVideoFrame(3);
    std::vector<uint8_t> image = textureImage();
    // The picture's top (red) is the last texture row, t = 1; its bottom
    // (blue) the first, t = 0. Each pixel's bytes are blue, green, red, so
    // the texture's red channel holds the picture's blue.
    for (int x : {0, 255, 511}) {
        EXPECT_TRUE(bytesNear(pixelAt(image, x, 511), Bytes3{0, 0, 255})) << x;
        EXPECT_TRUE(bytesNear(pixelAt(image, x, 0), Bytes3{255, 0, 0})) << x;
        EXPECT_TRUE(bytesNear(pixelAt(image, x, 362), Bytes3{128, 128, 128})) << x;
        EXPECT_TRUE(bytesNear(pixelAt(image, x, 149), Bytes3{128, 128, 128})) << x;
    }
    // The 320 x 240 frame fills the whole texture: the red band (48 of 240
    // rows) takes the top 102 of 512, the blue band the bottom 102.
    EXPECT_TRUE(bytesNear(pixelAt(image, 256, 512 - 96), Bytes3{0, 0, 255}));
    EXPECT_TRUE(bytesNear(pixelAt(image, 256, 512 - 110), Bytes3{128, 128, 128}));
    EXPECT_TRUE(bytesNear(pixelAt(image, 256, 96), Bytes3{255, 0, 0}));
    EXPECT_TRUE(bytesNear(pixelAt(image, 256, 110), Bytes3{128, 128, 128}));
}

TEST_F(VideoStreamTest, DrawnUprightWithRedAndBlueTraded) {
    initVideoWith(mjpegClip());
    uploadVideoFrame(9); // 00001001
    // The video screen's corners: t = 1 along the top, s = 0 on the left.
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, videoTexture);
    glBegin(GL_QUADS);
    glTexCoord2f(1, 1);
    glVertex2f(1, 1);
    glTexCoord2f(0, 1);
    glVertex2f(-1, 1);
    glTexCoord2f(0, 0);
    glVertex2f(-1, -1);
    glTexCoord2f(1, 0);
    glVertex2f(1, -1);
    glEnd();
    glDisable(GL_TEXTURE_2D);
    // The red band shows at the top, in blue; the blue band at the bottom, in red.
    EXPECT_TRUE(near(pixel(400, 10), Rgb{0, 0, 255}, 16));
    EXPECT_TRUE(near(pixel(400, 590), Rgb{255, 0, 0}, 16));
    // The bits read left to right, most significant first: 0000 1001.
    const int bits[numberBits] = {0, 0, 0, 0, 1, 0, 0, 1};
    for (int k = 0; k < numberBits; ++k) {
        int x = 50 + 100 * k; // block k spans 100 frame columns
        int level = bits[k] ? 255 : 0;
        EXPECT_TRUE(near(pixel(x, 300), Rgb{level, level, level}, 24)) << "block " << k;
    }
}

} // namespace
