#include "tools/clipmaker/ClipEncoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <cstdio>

namespace {

const AVCodec* pickEncoder() {
    if (const AVCodec* codec = avcodec_find_encoder_by_name("libx264")) {
        return codec;
    }
    if (const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_H264)) {
        return codec;
    }
    return avcodec_find_encoder(AV_CODEC_ID_MPEG4);
}

}  // namespace

ClipEncoder::~ClipEncoder() {
    sws_freeContext(m_sws);
    av_packet_free(&m_packet);
    av_frame_free(&m_frame);
    avcodec_free_context(&m_codec);
    if (m_format) {
        if (m_format->pb) {
            avio_closep(&m_format->pb);
        }
        avformat_free_context(m_format);
    }
}

bool ClipEncoder::open(const QString& path, int width, int height, int rateNum, int rateDen) {
    const QByteArray path8 = path.toUtf8();
    if (avformat_alloc_output_context2(&m_format, nullptr, "mp4", path8.constData()) < 0) {
        std::fprintf(stderr, "clipmaker: no MP4 muxer\n");
        return false;
    }
    const AVCodec* encoder = pickEncoder();
    if (!encoder) {
        std::fprintf(stderr, "clipmaker: no H.264 or MPEG-4 encoder\n");
        return false;
    }
    m_encoderName = QString::fromLatin1(encoder->name);
    m_stream = avformat_new_stream(m_format, nullptr);
    m_codec = avcodec_alloc_context3(encoder);
    if (!m_stream || !m_codec) {
        return false;
    }
    m_codec->width = width;
    m_codec->height = height;
    m_codec->pix_fmt = AV_PIX_FMT_YUV420P;
    m_codec->framerate = AVRational{rateNum, rateDen};
    m_codec->time_base = AVRational{rateDen, rateNum};
    m_codec->gop_size = 50;
    if (m_format->oformat->flags & AVFMT_GLOBALHEADER) {
        m_codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    if (m_encoderName == QLatin1String("libx264")) {
        // Flat artwork compresses well; a single thread keeps the output
        // identical from build to build.
        av_opt_set(m_codec->priv_data, "preset", "slow", 0);
        av_opt_set(m_codec->priv_data, "crf", "26", 0);
        av_opt_set(m_codec->priv_data, "tune", "animation", 0);
        m_codec->thread_count = 1;
    } else {
        m_codec->bit_rate = 400000;
    }
    if (avcodec_open2(m_codec, encoder, nullptr) < 0) {
        std::fprintf(stderr, "clipmaker: cannot open encoder %s\n", encoder->name);
        return false;
    }
    if (avcodec_parameters_from_context(m_stream->codecpar, m_codec) < 0) {
        return false;
    }
    m_stream->time_base = m_codec->time_base;
    m_stream->avg_frame_rate = m_codec->framerate;

    if (avio_open(&m_format->pb, path8.constData(), AVIO_FLAG_WRITE) < 0) {
        std::fprintf(stderr, "clipmaker: cannot write %s\n", path8.constData());
        return false;
    }
    if (avformat_write_header(m_format, nullptr) < 0) {
        std::fprintf(stderr, "clipmaker: cannot write the MP4 header\n");
        return false;
    }
    m_headerWritten = true;

    m_frame = av_frame_alloc();
    m_packet = av_packet_alloc();
    if (!m_frame || !m_packet) {
        return false;
    }
    m_frame->format = m_codec->pix_fmt;
    m_frame->width = width;
    m_frame->height = height;
    if (av_frame_get_buffer(m_frame, 0) < 0) {
        return false;
    }
    m_sws = sws_getContext(width, height, AV_PIX_FMT_BGRA, width, height, AV_PIX_FMT_YUV420P,
                           SWS_BICUBIC, nullptr, nullptr, nullptr);
    return m_sws != nullptr;
}

bool ClipEncoder::addFrame(const QImage& image) {
    if (!m_headerWritten || image.width() != m_codec->width || image.height() != m_codec->height) {
        std::fprintf(stderr, "clipmaker: frame of the wrong size\n");
        return false;
    }
    const QImage bgra = image.convertToFormat(QImage::Format_RGB32);
    if (av_frame_make_writable(m_frame) < 0) {
        return false;
    }
    const uint8_t* src[4] = {bgra.constBits(), nullptr, nullptr, nullptr};
    const int srcStride[4] = {static_cast<int>(bgra.bytesPerLine()), 0, 0, 0};
    sws_scale(m_sws, src, srcStride, 0, bgra.height(), m_frame->data, m_frame->linesize);
    m_frame->pts = m_nextPts++;
    if (avcodec_send_frame(m_codec, m_frame) < 0) {
        std::fprintf(stderr, "clipmaker: encoding failed\n");
        return false;
    }
    return writePackets();
}

bool ClipEncoder::writePackets() {
    for (;;) {
        const int rc = avcodec_receive_packet(m_codec, m_packet);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) {
            return true;
        }
        if (rc < 0) {
            std::fprintf(stderr, "clipmaker: encoding failed\n");
            return false;
        }
        av_packet_rescale_ts(m_packet, m_codec->time_base, m_stream->time_base);
        m_packet->stream_index = m_stream->index;
        if (av_interleaved_write_frame(m_format, m_packet) < 0) {
            std::fprintf(stderr, "clipmaker: cannot write a packet\n");
            return false;
        }
    }
}

bool ClipEncoder::finish() {
    if (!m_headerWritten) {
        return false;
    }
    if (avcodec_send_frame(m_codec, nullptr) < 0 || !writePackets()) {
        return false;
    }
    if (av_write_trailer(m_format) < 0) {
        std::fprintf(stderr, "clipmaker: cannot finish the MP4 file\n");
        return false;
    }
    m_headerWritten = false;
    return true;
}
