#pragma once

#include <QImage>
#include <QString>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
struct SwsContext;

// Writes a sequence of same-sized images as an H.264 (libx264, else any H.264
// encoder of this FFmpeg, else MPEG-4 part 2) yuv420p video into an MP4 file.
// Frame i gets the time stamp i / rate, rate = rateNum / rateDen frames per
// second. Every call returns false after logging to stderr on failure; the
// destructor frees everything, leaving an incomplete file if finish() was not
// reached.
class ClipEncoder {
public:
    ClipEncoder() = default;
    ~ClipEncoder();
    ClipEncoder(const ClipEncoder&) = delete;
    ClipEncoder& operator=(const ClipEncoder&) = delete;

    bool open(const QString& path, int width, int height, int rateNum, int rateDen);
    bool addFrame(const QImage& image);
    bool finish();
    // Name of the FFmpeg encoder in use, empty before open().
    QString encoderName() const { return m_encoderName; }

private:
    bool writePackets();

    AVFormatContext* m_format = nullptr;
    AVCodecContext* m_codec = nullptr;
    AVStream* m_stream = nullptr;
    AVFrame* m_frame = nullptr;
    AVPacket* m_packet = nullptr;
    SwsContext* m_sws = nullptr;
    long long m_nextPts = 0;
    bool m_headerWritten = false;
    QString m_encoderName;
};
