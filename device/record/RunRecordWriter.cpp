#include "device/record/RunRecordWriter.h"

#include "device/wire/LittleEndian.h"

#include <QDebug>

QByteArray RunRecordWriter::encodeHeader(const RunRecordFormat::Header& header) {
    QByteArray out(RunRecordFormat::kHeaderSize, '\0');
    char* p = out.data();
    std::copy(std::begin(RunRecordFormat::kMagic), std::end(RunRecordFormat::kMagic), p);
    LittleEndian::writeU32(p + 8, RunRecordFormat::kVersion);
    LittleEndian::writeI32(p + 12, header.radiusPx);
    LittleEndian::writeF64(p + 16, header.screenWidthMm);
    LittleEndian::writeU32(p + 24, header.screenWidthPx);
    return out;
}

QByteArray RunRecordWriter::encodeRecord(std::uint64_t micros, std::uint8_t channel,
                                         const QByteArray& bytes) {
    QByteArray out(RunRecordFormat::kRecordHeaderSize + bytes.size(), '\0');
    char* p = out.data();
    LittleEndian::writeU64(p, micros);
    p[8] = static_cast<char>(channel);
    LittleEndian::writeU32(p + 9, static_cast<std::uint32_t>(bytes.size()));
    std::copy(bytes.constBegin(), bytes.constEnd(),
              out.begin() + RunRecordFormat::kRecordHeaderSize);
    return out;
}

bool RunRecordWriter::open(const QString& path, const RunRecordFormat::Header& header) {
    close();
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        fail(QStringLiteral("cannot create"));
        return false;
    }
    const QByteArray bytes = encodeHeader(header);
    if (m_file.write(bytes) != bytes.size()) {
        fail(QStringLiteral("cannot write the header of"));
        return false;
    }
    m_clock.start();
    return true;
}

void RunRecordWriter::append(std::uint8_t channel, const QByteArray& bytes) {
    if (!m_file.isOpen()) {
        return;
    }
    const std::uint64_t micros = static_cast<std::uint64_t>(m_clock.nsecsElapsed() / 1000);
    for (int from = 0; from < bytes.size() || (from == 0 && bytes.isEmpty());) {
        const int n = std::min<int>(bytes.size() - from, RunRecordFormat::kMaxRecordBytes);
        const QByteArray record = encodeRecord(micros, channel, bytes.mid(from, n));
        if (m_file.write(record) != record.size()) {
            fail(QStringLiteral("cannot append to"));
            return;
        }
        from += n;
        if (n == 0) {
            break;
        }
    }
    // Flushed per chunk: a crash mid-run still leaves a replayable record.
    m_file.flush();
}

void RunRecordWriter::close() {
    if (m_file.isOpen()) {
        m_file.close();
    }
}

void RunRecordWriter::fail(const QString& what) {
    qDebug().noquote() << QStringLiteral("run record: %1 %2 (%3); the run goes on without it")
                              .arg(what, m_file.fileName(), m_file.errorString());
    m_file.close();
}
