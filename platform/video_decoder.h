// The video file reader the video stream is written against: a thin stand-in,
// on FFmpeg, for what AVIFile and DrawDib gave the show. It opens the first
// video stream of a file, tells its frame size, and puts any frame, decoded
// and stretched, into the caller's staging image: bottom row first, three
// bytes per pixel in the order blue, green, red, rows packed.
//
// Frames are numbered from 0 in display order. Asking for the next frame
// decodes forward; asking for the same frame again decodes nothing; a
// backward or far jump seeks to the keyframe before the frame and decodes
// forward from there; past the end of the clip its last frame stays. Once
// the frames are open, asking allocates nothing of its own.
#pragma once

#include <cstdint>

struct VideoDecoder;

// Null, after a line on standard error naming the file and the problem, when
// the file cannot be opened or holds no video stream.
VideoDecoder* platformOpenVideoStream(const char* path);
void platformCloseVideoStream(VideoDecoder* video);

int platformVideoFrameWidth(const VideoDecoder* video);
int platformVideoFrameHeight(const VideoDecoder* video);

// Readies the decoder and a scaler to width x height; false, after a line on
// standard error, when the stream's codec has no decoder here.
bool platformOpenVideoFrames(VideoDecoder* video, int width, int height);

// Writes frame `frame` (negative numbers mean frame 0; numbers past the end
// the last frame) into staging, width x height x 3 bytes as given above.
// False, with staging untouched, when the frames are not open or the clip
// gives no picture at all.
bool platformGetVideoFrame(VideoDecoder* video, int32_t frame, uint8_t* staging);

// What the decoder has done so far, for tests and benchmarks.
struct VideoDecoderCounts {
    uint64_t framesDecoded;
    uint64_t seeks;
};
VideoDecoderCounts platformVideoDecoderCounts(const VideoDecoder* video);
