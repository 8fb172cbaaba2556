// The video stream: the clip's first video stream, opened at start-up, and
// the 512 x 512 texture each requested frame is stretched into. The staging
// image keeps the layout the texture has always been fed: bottom row first,
// blue-green-red bytes, handed to GL as GL_RGB, so the texture's red holds
// the picture's blue and its blue the picture's red.
//
// A clip that cannot be opened, or whose frames cannot be decoded, is
// reported once in a message box; the show then goes on with the texture as
// it is and never asks the missing stream for anything.
#include "media/video_stream.h"

#include <cstring>

#include "platform/video_decoder.h"
#include "platform/window_system.h"

constexpr int videoTextureSize = 512;
constexpr size_t stagingBytes = static_cast<size_t>(videoTextureSize) * videoTextureSize * 3;

GLuint videoTexture;

// The staging image every frame lands in; fixed for the whole run.
static uint8_t stagingImage[stagingBytes];

static struct {
    uint8_t* dibBits;
    VideoDecoder* stream;
    int32_t frameWidth;
    int32_t frameHeight;
    bool framesOpen;
} video;

// The staging image exists from program start, before the start-up dialog.
void createVideoMemoryDC() {
    video.dibBits = stagingImage;
}

static const bool videoMemoryReady = (createVideoMemoryDC(), true);

static void closeVideoStream() {
    platformCloseVideoStream(video.stream);
    video.stream = nullptr;
    video.framesOpen = false;
    video.frameWidth = video.frameHeight = 0;
}

void openVideoStream(const char* path) {
    closeVideoStream();
    video.dibBits = stagingImage;
    std::memset(video.dibBits, 0, stagingBytes);
    video.stream = platformOpenVideoStream(path);
    if (video.stream == nullptr) {
        platformMessageBox("Failed To Open The AVI Stream", "Error");
        return;
    }
    video.frameWidth = platformVideoFrameWidth(video.stream);
    video.frameHeight = platformVideoFrameHeight(video.stream);
    video.framesOpen = platformOpenVideoFrames(video.stream, videoTextureSize, videoTextureSize);
    if (!video.framesOpen)
        platformMessageBox("Failed To Open The AVI Frame", "Error");
}

void initVideo() {
    openVideoStream("data/demo1.avi");
    glGenTextures(1, &videoTexture);
    glBindTexture(GL_TEXTURE_2D, videoTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, videoTextureSize, videoTextureSize, 0, GL_RGB,
                 GL_UNSIGNED_BYTE, video.dibBits);
}

void uploadVideoFrame(int32_t frame) {
    bool haveFrame = video.framesOpen && platformGetVideoFrame(video.stream, frame, video.dibBits);
    glBindTexture(GL_TEXTURE_2D, videoTexture);
    if (haveFrame)
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, videoTextureSize, videoTextureSize, GL_RGB,
                        GL_UNSIGNED_BYTE, video.dibBits);
}
