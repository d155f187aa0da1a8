#include "video/FfmpegStream.h"

#include <QDebug>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <mutex>

namespace {

void initNetworkOnce() {
    static std::once_flag once;
    std::call_once(once, [] { avformat_network_init(); });
}

}  // namespace

FfmpegStream::FfmpegStream(std::function<bool()> interrupted)
    : m_interrupted(std::move(interrupted)) {}

FfmpegStream::~FfmpegStream() {
    sws_freeContext(m_sws);
    av_packet_free(&m_packet);
    av_frame_free(&m_frame);
    avcodec_free_context(&m_codec);
    avformat_close_input(&m_format);
}

int FfmpegStream::interruptCallback(void* opaque) {
    auto* self = static_cast<FfmpegStream*>(opaque);
    return self->m_interrupted && self->m_interrupted() ? 1 : 0;
}

int FfmpegStream::width() const {
    return m_codec ? m_codec->width : 0;
}
int FfmpegStream::height() const {
    return m_codec ? m_codec->height : 0;
}

QString FfmpegStream::open(const QString& url) {
    initNetworkOnce();
    m_url = url;
    m_format = avformat_alloc_context();
    if (!m_format) {
        qDebug() << "open url error";
        return QStringLiteral("open url error");
    }
    m_format->interrupt_callback.callback = &FfmpegStream::interruptCallback;
    m_format->interrupt_callback.opaque = this;

    // "timeout" is the RTSP socket time-out of this FFmpeg (microseconds); the
    // older "stimeout" would be silently ignored. The drone's SDP carries the
    // H.264 parameter sets, so a tiny probe still yields the picture size and
    // the first frame comes in a fraction of a second instead of about one.
    AVDictionary* options = nullptr;
    av_dict_set(&options, "rtsp_transport", "tcp", 0);
    av_dict_set(&options, "max_delay", "100", 0);
    av_dict_set(&options, "timeout", "3000000", 0);
    av_dict_set(&options, "probesize", "32", 0);
    av_dict_set(&options, "analyzeduration", "0", 0);

    const QByteArray url8 = url.toUtf8();
    const int rc = avformat_open_input(&m_format, url8.constData(), nullptr, &options);
    av_dict_free(&options);
    if (rc != 0) {
        // avformat_open_input frees the context on failure.
        m_format = nullptr;
        qDebug() << "open url error";
        return QStringLiteral("open url error");
    }

    if (avformat_find_stream_info(m_format, nullptr) < 0) {
        qDebug() << "Could't find stream infomation.";
        return QStringLiteral("Could't find stream infomation");
    }

    m_videoStream = -1;
    for (unsigned i = 0; i < m_format->nb_streams; ++i) {
        if (m_format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            m_videoStream = static_cast<int>(i);
        }
    }
    if (m_videoStream < 0) {
        qDebug() << "Didn't find a video stream.";
        return QStringLiteral("Didn't find a video stream");
    }

    const AVCodecParameters* par = m_format->streams[m_videoStream]->codecpar;
    const AVCodec* decoder = avcodec_find_decoder(par->codec_id);
    m_codec = avcodec_alloc_context3(decoder);
    if (m_codec) {
        avcodec_parameters_to_context(m_codec, par);
        m_codec->bit_rate = 0;
        m_codec->time_base = AVRational{1, 10};
    }
    if (!decoder || !m_codec) {
        qDebug() << "Codec not found";
        return QStringLiteral("Codec not found");
    }
    if (avcodec_open2(m_codec, decoder, nullptr) < 0) {
        qDebug() << "Could not open codec.";
        return QStringLiteral("Could not open codec");
    }

    m_frame = av_frame_alloc();
    m_packet = av_packet_alloc();
    if (!m_frame || !m_packet) {
        qDebug() << "Could not open codec.";
        return QStringLiteral("Could not open codec");
    }
    return QString();
}

void FfmpegStream::logFormat() {
    if (m_format) {
        av_dump_format(m_format, m_videoStream, m_url.toUtf8().constData(), 0);
    }
}

bool FfmpegStream::convert(const AVFrame* frame, QImage* image) {
    if (frame->width <= 0 || frame->height <= 0) {
        return false;
    }
    // Re-created when the stream changes size or format mid-way, so a frame
    // is never scaled with the geometry of another.
    m_sws = sws_getCachedContext(
        m_sws, frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), frame->width,
        frame->height, AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!m_sws) {
        return false;
    }
    QImage out(frame->width, frame->height, QImage::Format_RGB32);
    if (out.isNull()) {
        return false;
    }
    uint8_t* dst[4] = {out.bits(), nullptr, nullptr, nullptr};
    int dstStride[4] = {static_cast<int>(out.bytesPerLine()), 0, 0, 0};
    sws_scale(m_sws, frame->data, frame->linesize, 0, frame->height, dst, dstStride);
    *image = std::move(out);
    return true;
}

FfmpegStream::ReadResult FfmpegStream::readFrame(QImage* image) {
    if (!m_format || !m_codec) {
        return ReadResult::Ended;
    }
    if (av_read_frame(m_format, m_packet) < 0) {
        qDebug() << "av_read_frame failed";
        return ReadResult::Ended;
    }
    ReadResult result = ReadResult::NoFrame;
    if (m_packet->stream_index == m_videoStream) {
        if (avcodec_send_packet(m_codec, m_packet) < 0) {
            qDebug() << "decode error";
            av_packet_unref(m_packet);
            return ReadResult::Ended;
        }
        // Keep only the newest picture of this packet: the view wants live
        // frames, not a backlog.
        while (avcodec_receive_frame(m_codec, m_frame) == 0) {
            if (convert(m_frame, image)) {
                result = ReadResult::Frame;
            }
            av_frame_unref(m_frame);
        }
    }
    av_packet_unref(m_packet);
    return result;
}
