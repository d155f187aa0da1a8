#pragma once

#include "device/wire/ResultData.h"

#include <QByteArray>
#include <QList>

// The drone's reading of the desktop's upload after a run: "right" (or
// "wrong"), then per camera one 74-byte ResultData followed by the map file in
// chunk packets (head, i32 chunk number from 1, data, tail), and finally the
// "quit" of a closing desktop. The map files of the depth unit have a fixed
// size, which is how the drone knows where a file ends. A malformed stream
// stops the parsing for good (nothing is guessed); memory is bounded by one file.
class UploadStreamParser {
public:
    struct Upload {
        ResultData result;
        QByteArray file;  // the reassembled file bytes
        bool chunksInOrder = true;
    };

    explicit UploadStreamParser(int fileSize) : m_fileSize(fileSize) {}

    // Feeds bytes as they arrive; returns false once the stream is malformed.
    bool feed(const QByteArray& bytes);

    bool sawRight() const { return m_verdict == "right"; }
    bool sawWrong() const { return m_verdict == "wrong"; }
    bool sawQuit() const { return m_quit; }
    const QList<Upload>& uploads() const { return m_uploads; }
    bool malformed() const { return m_malformed; }
    // Bytes received after the last complete element.
    int pendingBytes() const { return m_buffer.size(); }

private:
    bool step();

    int m_fileSize;
    QByteArray m_buffer;
    QByteArray m_verdict;
    QList<Upload> m_uploads;
    bool m_inFile = false;
    int m_nextChunk = 1;
    bool m_malformed = false;
    bool m_quit = false;
};
