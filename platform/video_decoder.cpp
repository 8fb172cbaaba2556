// The video file reader on FFmpeg: libavformat finds the first video stream,
// libavcodec decodes it, libswscale stretches each picture to the staging
// size, bottom row first, as 24-bit blue-green-red. The stretch picks the
// nearest source pixel, as DrawDib's did; it is also the cheapest.
//
// The decoder keeps the last picture it gave and remembers its frame number,
// so the show's usual requests (the same frame again, or the next one) cost
// nothing or one decode. Frame numbers come from the pictures' timestamps at
// the stream's frame rate, which is what a frame position in an AVI is.
// One frame, packet and scaler serve every request.
#include "platform/video_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <cstdio>

// Without a seek index, jumps forward up to this far are decoded through.
constexpr int64_t farJumpFrames = 32;

struct VideoDecoder {
    const char* path;
    AVFormatContext* format;
    AVStream* stream;
    AVRational frameDuration; // seconds per frame
    int64_t startTime;        // stream time of frame 0

    AVCodecContext* codec;
    AVFrame* received;
    AVFrame* picture;     // the last picture decoded
    int64_t pictureFrame; // its frame number, -1 before the first
    int64_t lastFrame;    // the clip's last frame once its end has been met, else -1
    bool sentEnd;         // the decoder has been told the packets are over
    bool decodedSinceSeek;
    AVPacket* packet;

    SwsContext* scaler;
    int scalerWidth, scalerHeight, scalerFormat; // the source the scaler is made for
    int width, height;                           // the staging image

    VideoDecoderCounts counts;
};

static void reportProblem(const char* path, const char* problem) {
    std::fprintf(stderr, "vantrel: %s: %s\n", path, problem);
}

static void reportError(const char* path, int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = "";
    av_strerror(error, text, sizeof text);
    reportProblem(path, text);
}

static AVStream* firstVideoStream(AVFormatContext* format) {
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        AVStream* stream = format->streams[i];
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
            (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) == 0)
            return stream;
    }
    return nullptr;
}

VideoDecoder* platformOpenVideoStream(const char* path) {
    // Our own lines say what went wrong; FFmpeg's would flood the show's output.
    av_log_set_level(AV_LOG_QUIET);
    AVFormatContext* format = nullptr;
    int error = avformat_open_input(&format, path, nullptr, nullptr);
    if (error < 0) {
        reportError(path, error);
        return nullptr;
    }
    avformat_find_stream_info(format, nullptr);
    AVStream* stream = firstVideoStream(format);
    if (stream == nullptr) {
        reportProblem(path, "no video stream");
        avformat_close_input(&format);
        return nullptr;
    }
    auto* video = new VideoDecoder{};
    video->path = path;
    video->format = format;
    video->stream = stream;
    AVRational rate = av_guess_frame_rate(format, stream, nullptr);
    if (rate.num <= 0 || rate.den <= 0)
        rate = av_inv_q(stream->time_base);
    video->frameDuration = av_inv_q(rate);
    video->startTime = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    video->pictureFrame = -1;
    video->lastFrame = -1;
    return video;
}

void platformCloseVideoStream(VideoDecoder* video) {
    if (video == nullptr)
        return;
    sws_freeContext(video->scaler);
    av_packet_free(&video->packet);
    av_frame_free(&video->picture);
    av_frame_free(&video->received);
    avcodec_free_context(&video->codec);
    avformat_close_input(&video->format);
    delete video;
}

int platformVideoFrameWidth(const VideoDecoder* video) {
    return video->stream->codecpar->width;
}
int platformVideoFrameHeight(const VideoDecoder* video) {
    return video->stream->codecpar->height;
}

VideoDecoderCounts platformVideoDecoderCounts(const VideoDecoder* video) {
    return video->counts;
}

// ---------------------------------------------------------------------------
// Frames

bool platformOpenVideoFrames(VideoDecoder* video, int width, int height) {
    const AVCodecParameters* parameters = video->stream->codecpar;
    const AVCodec* decoder = avcodec_find_decoder(parameters->codec_id);
    if (decoder == nullptr) {
        char problem[96];
        char tag[AV_FOURCC_MAX_STRING_SIZE] = "";
        av_fourcc_make_string(tag, parameters->codec_tag);
        std::snprintf(problem, sizeof problem, "no decoder for its video codec (%s)", tag);
        reportProblem(video->path, problem);
        return false;
    }
    video->codec = avcodec_alloc_context3(decoder);
    if (video->codec == nullptr)
        return false;
    avcodec_parameters_to_context(video->codec, parameters);
    video->codec->thread_count = 1;
    int error = avcodec_open2(video->codec, decoder, nullptr);
    if (error < 0) {
        reportError(video->path, error);
        avcodec_free_context(&video->codec);
        return false;
    }
    video->received = av_frame_alloc();
    video->picture = av_frame_alloc();
    video->packet = av_packet_alloc();
    video->width = width;
    video->height = height;
    video->scalerFormat = AV_PIX_FMT_NONE;
    return video->received != nullptr && video->picture != nullptr && video->packet != nullptr;
}

static int64_t frameOfTime(const VideoDecoder* video, int64_t time) {
    return av_rescale_q_rnd(time - video->startTime, video->stream->time_base, video->frameDuration,
                            static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
}

static int64_t timeOfFrame(const VideoDecoder* video, int64_t frame) {
    return video->startTime + av_rescale_q(frame, video->frameDuration, video->stream->time_base);
}

// A jump is far when a keyframe lies between the next frame the decoder
// would give and the wanted one: decoding from there skips the frames between.
static bool isFarJump(VideoDecoder* video, int64_t wanted) {
    int64_t next = video->pictureFrame + 1;
    int entry =
        av_index_search_timestamp(video->stream, timeOfFrame(video, wanted), AVSEEK_FLAG_BACKWARD);
    if (entry < 0)
        return wanted - next > farJumpFrames;
    const AVIndexEntry* keyframe = avformat_index_get_entry(video->stream, entry);
    return keyframe != nullptr && frameOfTime(video, keyframe->timestamp) > next;
}

static bool needsSeek(VideoDecoder* video, int64_t wanted) {
    if (wanted <= video->pictureFrame || video->sentEnd)
        return true;
    return isFarJump(video, wanted);
}

static void seekBefore(VideoDecoder* video, int64_t wanted) {
    if (av_seek_frame(video->format, video->stream->index, timeOfFrame(video, wanted),
                      AVSEEK_FLAG_BACKWARD) < 0)
        return; // decoding goes on from where it is
    avcodec_flush_buffers(video->codec);
    video->sentEnd = false;
    video->decodedSinceSeek = false;
    ++video->counts.seeks;
}

// Hands the decoder the stream's next packet, or the end of the packets.
static void sendNextPacket(VideoDecoder* video) {
    for (;;) {
        if (av_read_frame(video->format, video->packet) < 0) {
            avcodec_send_packet(video->codec, nullptr);
            video->sentEnd = true;
            return;
        }
        bool ours = video->packet->stream_index == video->stream->index;
        if (ours)
            avcodec_send_packet(video->codec, video->packet); // a broken packet is dropped
        av_packet_unref(video->packet);
        if (ours)
            return;
    }
}

static void takeReceivedPicture(VideoDecoder* video) {
    int64_t time = video->received->best_effort_timestamp;
    int64_t frame = time != AV_NOPTS_VALUE ? frameOfTime(video, time) : video->pictureFrame + 1;
    av_frame_unref(video->picture);
    av_frame_move_ref(video->picture, video->received);
    video->pictureFrame = frame;
    video->decodedSinceSeek = true;
    ++video->counts.framesDecoded;
}

static void noteEndOfClip(VideoDecoder* video) {
    if (video->decodedSinceSeek)
        video->lastFrame = video->pictureFrame;
}

// Decodes forward until the picture is the wanted frame (or later), or the
// clip ends with its last frame as the picture.
static void decodeUpTo(VideoDecoder* video, int64_t wanted) {
    for (;;) {
        int result = avcodec_receive_frame(video->codec, video->received);
        if (result == 0) {
            takeReceivedPicture(video);
            if (video->pictureFrame >= wanted)
                return;
            continue;
        }
        if (result == AVERROR_EOF || video->sentEnd) {
            noteEndOfClip(video);
            return;
        }
        sendNextPacket(video);
    }
}

// Remakes the scaler when the pictures change size or format, which in
// practice is once, for the first picture.
static bool prepareScaler(VideoDecoder* video) {
    const AVFrame* picture = video->picture;
    if (video->scaler != nullptr && picture->width == video->scalerWidth &&
        picture->height == video->scalerHeight && picture->format == video->scalerFormat)
        return true;
    sws_freeContext(video->scaler);
    video->scaler = sws_getContext(
        picture->width, picture->height, static_cast<AVPixelFormat>(picture->format), video->width,
        video->height, AV_PIX_FMT_BGR24, SWS_POINT, nullptr, nullptr, nullptr);
    if (video->scaler == nullptr)
        return false;
    video->scalerWidth = picture->width;
    video->scalerHeight = picture->height;
    video->scalerFormat = picture->format;
    if (picture->color_range == AVCOL_RANGE_JPEG || picture->colorspace == AVCOL_SPC_BT709) {
        int* inverseTable;
        int* table;
        int sourceRange, destinationRange, brightness, contrast, saturation;
        sws_getColorspaceDetails(video->scaler, &inverseTable, &sourceRange, &table,
                                 &destinationRange, &brightness, &contrast, &saturation);
        const int* coefficients = sws_getCoefficients(
            picture->colorspace == AVCOL_SPC_BT709 ? SWS_CS_ITU709 : SWS_CS_DEFAULT);
        sws_setColorspaceDetails(video->scaler, coefficients,
                                 sourceRange || picture->color_range == AVCOL_RANGE_JPEG, table,
                                 destinationRange, brightness, contrast, saturation);
    }
    return true;
}

static bool scalePicture(VideoDecoder* video, uint8_t* staging) {
    if (!prepareScaler(video))
        return false;
    int rowBytes = video->width * 3;
    uint8_t* rows[4] = {staging + static_cast<size_t>(video->height - 1) * rowBytes, nullptr,
                        nullptr, nullptr};
    int strides[4] = {-rowBytes, 0, 0, 0}; // the bottom row goes first in memory
    sws_scale(video->scaler, video->picture->data, video->picture->linesize, 0,
              video->picture->height, rows, strides);
    return true;
}

bool platformGetVideoFrame(VideoDecoder* video, int32_t frame, uint8_t* staging) {
    if (video == nullptr || video->codec == nullptr)
        return false;
    int64_t wanted = frame < 0 ? 0 : frame;
    if (video->lastFrame >= 0 && wanted > video->lastFrame)
        wanted = video->lastFrame;
    if (wanted != video->pictureFrame) {
        if (needsSeek(video, wanted))
            seekBefore(video, wanted);
        decodeUpTo(video, wanted);
    }
    if (video->pictureFrame < 0)
        return false;
    return scalePicture(video, staging);
}
