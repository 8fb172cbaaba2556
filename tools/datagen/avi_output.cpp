// Writes the clip: Motion JPEG in an AVI file through libavformat and
// libavcodec, 320 x 240 at one frame per 60 ms, every frame a key frame.
// The show hands the decoded bytes to OpenGL in blue-green-red order, which
// swaps red and blue on the screen; the frames are stored with red and blue
// exchanged so that the screen shows the colours they were painted in.
// Bit-exact flags keep the library's version out of the file.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
}

#include "show_timing.h"
#include "video.h"
#include "video_frames.h"

namespace {

struct ClipWriter {
    AVFormatContext* format = nullptr;
    AVCodecContext* encoder = nullptr;
    AVStream* stream = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    bool fileOpen = false;
    ~ClipWriter() {
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&encoder);
        if (fileOpen)
            avio_closep(&format->pb);
        avformat_free_context(format);
    }
};

bool fail(const std::string& path, const char* what, int code = 0) {
    char text[AV_ERROR_MAX_STRING_SIZE] = "";
    if (code < 0)
        av_strerror(code, text, sizeof text);
    std::fprintf(stderr, "vantrel-datagen: cannot write %s: %s %s\n", path.c_str(), what, text);
    return false;
}

bool openClipWriter(ClipWriter& w, const std::string& path) {
    int code = avformat_alloc_output_context2(&w.format, nullptr, "avi", path.c_str());
    if (code < 0)
        return fail(path, "no AVI muxer", code);
    w.format->flags |= AVFMT_FLAG_BITEXACT;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    if (!codec)
        return fail(path, "no Motion JPEG encoder");
    w.stream = avformat_new_stream(w.format, nullptr);
    w.encoder = avcodec_alloc_context3(codec);
    w.frame = av_frame_alloc();
    w.packet = av_packet_alloc();
    if (!w.stream || !w.encoder || !w.frame || !w.packet)
        return fail(path, "out of memory");
    w.encoder->width = clipWidth;
    w.encoder->height = clipHeight;
    w.encoder->time_base = AVRational{3, 50}; // 60 ms
    w.encoder->framerate = AVRational{50, 3};
    w.encoder->pix_fmt = AV_PIX_FMT_YUVJ422P;
    w.encoder->color_range = AVCOL_RANGE_JPEG;
    w.encoder->flags |= AV_CODEC_FLAG_BITEXACT | AV_CODEC_FLAG_QSCALE;
    w.encoder->thread_count = 1;
    if (w.format->oformat->flags & AVFMT_GLOBALHEADER)
        w.encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if ((code = avcodec_open2(w.encoder, codec, nullptr)) < 0)
        return fail(path, "cannot open the encoder", code);
    avcodec_parameters_from_context(w.stream->codecpar, w.encoder);
    w.stream->time_base = w.encoder->time_base;
    w.stream->avg_frame_rate = w.encoder->framerate;
    w.stream->r_frame_rate = w.encoder->framerate;
    w.frame->format = w.encoder->pix_fmt;
    w.frame->width = clipWidth;
    w.frame->height = clipHeight;
    w.frame->color_range = AVCOL_RANGE_JPEG;
    if ((code = av_frame_get_buffer(w.frame, 0)) < 0)
        return fail(path, "no frame buffer", code);
    if ((code = avio_open(&w.format->pb, path.c_str(), AVIO_FLAG_WRITE)) < 0)
        return fail(path, "cannot open the file", code);
    w.fileOpen = true;
    if ((code = avformat_write_header(w.format, nullptr)) < 0)
        return fail(path, "cannot write the AVI header", code);
    return true;
}

uint8_t clampByte(double v) {
    return (uint8_t)(std::clamp(v, 0.0, 255.0) + 0.5);
}

// Full-range BT.601 (JPEG) conversion, 4:2:2: chroma averaged over pixel
// pairs. Red and blue are exchanged on the way in (see above).
void fillFrame(AVFrame* frame, const std::vector<uint8_t>& rgb) {
    for (int y = 0; y < clipHeight; y++) {
        uint8_t* luma = frame->data[0] + y * frame->linesize[0];
        uint8_t* cb = frame->data[1] + y * frame->linesize[1];
        uint8_t* cr = frame->data[2] + y * frame->linesize[2];
        for (int x = 0; x < clipWidth; x += 2) {
            double sumCb = 0, sumCr = 0;
            for (int k = 0; k < 2; k++) {
                const uint8_t* p = &rgb[(y * clipWidth + x + k) * 3];
                double r = p[2], g = p[1], b = p[0];
                luma[x + k] = clampByte(0.299 * r + 0.587 * g + 0.114 * b);
                sumCb += -0.168736 * r - 0.331264 * g + 0.5 * b + 128;
                sumCr += 0.5 * r - 0.418688 * g - 0.081312 * b + 128;
            }
            cb[x / 2] = clampByte(sumCb / 2);
            cr[x / 2] = clampByte(sumCr / 2);
        }
    }
}

bool drainPackets(ClipWriter& w, const std::string& path) {
    for (;;) {
        int code = avcodec_receive_packet(w.encoder, w.packet);
        if (code == AVERROR(EAGAIN) || code == AVERROR_EOF)
            return true;
        if (code < 0)
            return fail(path, "encoding failed", code);
        av_packet_rescale_ts(w.packet, w.encoder->time_base, w.stream->time_base);
        w.packet->stream_index = w.stream->index;
        w.packet->flags |= AV_PKT_FLAG_KEY;
        if ((code = av_interleaved_write_frame(w.format, w.packet)) < 0)
            return fail(path, "cannot write a frame", code);
    }
}

} // namespace

bool writeDemoClip(const std::string& path) {
    ClipWriter writer;
    if (!openClipWriter(writer, path))
        return false;
    ClipPainter* painter = openClipPainter();
    std::vector<uint8_t> rgb;
    bool ok = true;
    for (int n = 0; n < clipFrameCount && ok; n++) {
        paintClipFrame(painter, n, rgb);
        if (av_frame_make_writable(writer.frame) < 0) {
            ok = fail(path, "frame not writable");
            break;
        }
        fillFrame(writer.frame, rgb);
        writer.frame->pts = n;
        writer.frame->quality = FF_QP2LAMBDA * 3;
        int code = avcodec_send_frame(writer.encoder, writer.frame);
        ok = code >= 0 ? drainPackets(writer, path) : fail(path, "encoding failed", code);
    }
    closeClipPainter(painter);
    if (!ok)
        return false;
    avcodec_send_frame(writer.encoder, nullptr);
    if (!drainPackets(writer, path))
        return false;
    int code = av_write_trailer(writer.format);
    if (code < 0)
        return fail(path, "cannot finish the file", code);
    return true;
}
