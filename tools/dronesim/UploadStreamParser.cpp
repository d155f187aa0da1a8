#include "tools/dronesim/UploadStreamParser.h"

#include "device/wire/FileData.h"

#include <QtEndian>

bool UploadStreamParser::feed(const QByteArray& bytes) {
    if (m_malformed) {
        return false;
    }
    m_buffer.append(bytes);
    while (step()) {
    }
    return !m_malformed;
}

bool UploadStreamParser::step() {
    if (!m_inFile && m_buffer.startsWith("quit")) {
        m_quit = true;
        m_buffer.remove(0, 4);
        return true;
    }
    if (m_verdict.isEmpty()) {
        if (m_buffer.size() < 5) {
            return false;
        }
        m_verdict = m_buffer.left(5);
        m_buffer.remove(0, 5);
        if (m_verdict != "right" && m_verdict != "wrong") {
            m_malformed = true;
            return false;
        }
        return true;
    }
    if (m_verdict != "right" || m_quit) {
        return false;
    }
    if (!m_inFile) {
        if (m_buffer.size() >= 2 && !m_buffer.startsWith(QByteArray("\x01\x02", 2)) &&
            !QByteArray("quit").startsWith(m_buffer.left(4))) {
            m_malformed = true;
            return false;
        }
        if (m_buffer.size() < ResultData::kWireSize) {
            return false;
        }
        Upload upload;
        ResultData::fromBytes(m_buffer.left(ResultData::kWireSize), &upload.result);
        m_buffer.remove(0, ResultData::kWireSize);
        m_uploads.append(upload);
        m_inFile = true;
        m_nextChunk = 1;
        return true;
    }
    Upload& upload = m_uploads.last();
    const int left = m_fileSize - upload.file.size();
    const int n = std::min(left, FileData::kDataSize);
    if (m_buffer.size() < n + FileData::kOverhead) {
        return false;
    }
    const auto* b = reinterpret_cast<const uchar*>(m_buffer.constData());
    if (qFromLittleEndian<quint16>(b) != FileData::kHead ||
        qFromLittleEndian<quint16>(b + 6 + n) != FileData::kTail) {
        m_malformed = true;
        return false;
    }
    if (qFromLittleEndian<qint32>(b + 2) != m_nextChunk) {
        upload.chunksInOrder = false;
    }
    ++m_nextChunk;
    upload.file.append(m_buffer.mid(6, n));
    m_buffer.remove(0, n + FileData::kOverhead);
    if (upload.file.size() == m_fileSize) {
        m_inFile = false;
    }
    return true;
}
