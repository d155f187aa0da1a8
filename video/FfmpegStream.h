#pragma once

#include <QImage>
#include <QString>

#include <functional>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

// One network video input decoded to 32-bit RGB images, for the camera stream
// reader. Owns every FFmpeg object it creates and frees them in its destructor.
//
// Blocking FFmpeg calls (open, probing, reads) return early as soon as the
// interrupt predicate given to the constructor answers true; a dead or frozen
// server is detected by the RTSP socket time-out (3 s).
class FfmpegStream {
public:
    enum class ReadResult { Frame, NoFrame, Ended };

    explicit FfmpegStream(std::function<bool()> interrupted);
    ~FfmpegStream();

    FfmpegStream(const FfmpegStream&) = delete;
    FfmpegStream& operator=(const FfmpegStream&) = delete;

    // Opens url, finds its last video stream and opens a decoder for it. Returns
    // an empty string on success, otherwise the fixed failure text (and logs
    // the matching line).
    QString open(const QString& url);

    // Writes the stream's format description to the log.
    void logFormat();

    // Reads one packet and decodes it. Frame: *image holds an owned copy of the
    // picture (width x height of the stream, Format_RGB32). NoFrame: the packet
    // gave no picture (other stream, decoder needs more input). Ended: read or
    // decode failure; the stream is finished.
    ReadResult readFrame(QImage* image);

    int width() const;
    int height() const;

private:
    static int interruptCallback(void* opaque);
    bool convert(const AVFrame* frame, QImage* image);

    std::function<bool()> m_interrupted;
    AVFormatContext* m_format = nullptr;
    AVCodecContext* m_codec = nullptr;
    AVFrame* m_frame = nullptr;
    AVPacket* m_packet = nullptr;
    SwsContext* m_sws = nullptr;
    int m_videoStream = -1;
    QString m_url;
};
