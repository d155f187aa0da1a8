#include "video/GuidPrivate.h"

#include <QDebug>
#include <QFileInfo>
#include <QMutexLocker>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libswscale/swscale.h>
}

#include <algorithm>

namespace {

// Owns every FFmpeg object of one decoding run, so each early return of the
// set-up frees what was made so far.
struct ClipContext {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* sws = nullptr;
    int stream = -1;

    ~ClipContext() {
        sws_freeContext(sws);
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
    }
};

// The fast YUV to RGB path of swscale leaves the last pixels of a row black
// when the width is not a multiple of 8; full chroma interpolation takes the
// exact path for any width.
constexpr int kScaleFlags = SWS_BICUBIC | SWS_FULL_CHR_H_INT | SWS_ACCURATE_RND;

int interruptCallback(void* opaque) {
    return static_cast<QThread*>(opaque)->isInterruptionRequested() ? 1 : 0;
}

QImage toImage(ClipContext& clip, const AVFrame* frame) {
    if (frame->width <= 0 || frame->height <= 0) {
        return QImage();
    }
    clip.sws = sws_getCachedContext(
        clip.sws, frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
        frame->width, frame->height, AV_PIX_FMT_BGRA, kScaleFlags, nullptr, nullptr, nullptr);
    if (!clip.sws) {
        return QImage();
    }
    QImage image(frame->width, frame->height, QImage::Format_RGB32);
    if (image.isNull()) {
        return image;
    }
    uint8_t* dst[4] = {image.bits(), nullptr, nullptr, nullptr};
    int dstStride[4] = {static_cast<int>(image.bytesPerLine()), 0, 0, 0};
    sws_scale(clip.sws, frame->data, frame->linesize, 0, frame->height, dst, dstStride);
    return image;
}

}  // namespace

GuidPrivate::GuidPrivate(QObject* parent) : QThread(parent) {}

GuidPrivate::~GuidPrivate() {
    quitGuid();
}

void GuidPrivate::startGuid(const QString& path) {
    quitGuid();
    {
        QMutexLocker lock(&m_pathMutex);
        m_path = path;
    }
    start(QThread::InheritPriority);
}

void GuidPrivate::quitGuid() {
    requestInterruption();
    quit();
    wait();
}

QString GuidPrivate::clipPath() const {
    QMutexLocker lock(&m_pathMutex);
    return m_path;
}

int GuidPrivate::frameIntervalMs(int num, int den) {
    const int fps = (num > 0 && den > 0) ? num / den : 0;
    if (fps <= 0) {
        return kFallbackIntervalMs;
    }
    return std::max(1, 1000 / fps);
}

void GuidPrivate::run() {
    const QString path = clipPath();
    // A failure caused by a stop request is no failure worth a log line.
    auto report = [this](const char* line) {
        if (!isInterruptionRequested()) {
            qDebug() << line;
        }
    };
    // Only regular files: a FIFO or device would block inside open() or read(),
    // where no interruption request reaches, and the stop would hang.
    if (!QFileInfo(path).isFile()) {
        report("open url error");
        return;
    }
    ClipContext clip;

    clip.format = avformat_alloc_context();
    if (!clip.format) {
        report("open url error");
        return;
    }
    clip.format->interrupt_callback.callback = &interruptCallback;
    clip.format->interrupt_callback.opaque = this;

    // The camera reader's option set; for a local file they only bound waits.
    AVDictionary* options = nullptr;
    av_dict_set(&options, "max_delay", "100", 0);
    av_dict_set(&options, "stimeout", "3000000", 0);
    av_dict_set(&options, "rw_timeout", "3000", 0);
    // "file:" keeps a name with a colon from being taken for another protocol.
    const QByteArray path8 = QStringLiteral("file:").toUtf8() + path.toUtf8();
    const int opened = avformat_open_input(&clip.format, path8.constData(), nullptr, &options);
    av_dict_free(&options);
    if (opened != 0) {
        clip.format = nullptr;  // freed by avformat_open_input
        report("open url error");
        return;
    }
    if (avformat_find_stream_info(clip.format, nullptr) < 0) {
        report("Could't find stream infomation.");
        return;
    }
    for (unsigned i = 0; i < clip.format->nb_streams; ++i) {
        if (clip.format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
            clip.stream = static_cast<int>(i);
        }
    }
    if (clip.stream < 0) {
        report("Didn't find a video stream.");
        return;
    }
    AVStream* stream = clip.format->streams[clip.stream];
    const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!decoder) {
        report("Codec not found");
        return;
    }
    clip.codec = avcodec_alloc_context3(decoder);
    if (!clip.codec || avcodec_parameters_to_context(clip.codec, stream->codecpar) < 0) {
        report("Codec not found");
        return;
    }
    clip.codec->bit_rate = 0;
    clip.codec->time_base = AVRational{1, 10};
    if (avcodec_open2(clip.codec, decoder, nullptr) < 0) {
        report("Could not open codec.");
        return;
    }
    clip.frame = av_frame_alloc();
    clip.packet = av_packet_alloc();
    if (!clip.frame || !clip.packet) {
        report("Could not open codec.");
        return;
    }

    const int intervalMs = frameIntervalMs(stream->avg_frame_rate.num, stream->avg_frame_rate.den);

    // Sleeps in short steps so that a stop request is answered within ~5 ms.
    auto pace = [&]() {
        for (int left = intervalMs; left > 0 && !isInterruptionRequested(); left -= 5) {
            msleep(static_cast<unsigned long>(std::min(left, 5)));
        }
    };

    // Emits every picture the decoder has ready; false on a decoding error.
    // paceEach spaces out the pictures held back until the end of the file.
    auto drainPictures = [&](bool paceEach) {
        for (;;) {
            const int rc = avcodec_receive_frame(clip.codec, clip.frame);
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) {
                return true;
            }
            if (rc < 0) {
                return false;
            }
            const QImage image = toImage(clip, clip.frame);
            av_frame_unref(clip.frame);
            if (!image.isNull()) {
                emit imageframe(image);
                if (paceEach) {
                    pace();
                }
            }
        }
    };

    bool readSinceRewind = true;
    while (!isInterruptionRequested()) {
        if (av_read_frame(clip.format, clip.packet) < 0) {
            if (isInterruptionRequested()) {
                break;
            }
            // A rewind that yields no packet at all means the file cannot be
            // read any more; looping on it would only spin.
            if (!readSinceRewind) {
                qDebug() << "av_read_frame failed" << path;
                break;
            }
            // End of file: flush the pictures the decoder still holds back, so
            // every loop shows the whole clip, then start over.
            avcodec_send_packet(clip.codec, nullptr);
            if (!drainPictures(true)) {
                report("decode error");
                break;
            }
            avcodec_flush_buffers(clip.codec);
            av_seek_frame(clip.format, clip.stream, 0, AVSEEK_FLAG_BACKWARD);
            readSinceRewind = false;
            continue;
        }
        readSinceRewind = true;
        bool failed = false;
        if (clip.packet->stream_index == clip.stream) {
            failed = avcodec_send_packet(clip.codec, clip.packet) < 0 || !drainPictures(false);
        }
        av_packet_unref(clip.packet);
        if (failed) {
            report("decode error");
            break;
        }
        pace();
    }
}
