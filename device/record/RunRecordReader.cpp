#include "device/record/RunRecordReader.h"

#include "device/wire/LittleEndian.h"

#include <QIODevice>

#include <cmath>
#include <cstring>

bool RunRecordReader::fail(qint64 offset, const QString& what) {
    m_error = QStringLiteral("%1 at byte %2").arg(what).arg(offset);
    return false;
}

bool RunRecordReader::atEnd() const {
    return m_device->pos() >= m_device->size();
}

bool RunRecordReader::readHeader() {
    m_error.clear();
    const QByteArray head = m_device->read(RunRecordFormat::kHeaderSize);
    if (head.size() < RunRecordFormat::kHeaderSize) {
        return fail(head.size(), QStringLiteral("record too short for its 32-byte header"));
    }
    const char* p = head.constData();
    if (std::memcmp(p, RunRecordFormat::kMagic, sizeof(RunRecordFormat::kMagic)) != 0) {
        return fail(0, QStringLiteral("not a run record (magic is not \"NIMBREC1\")"));
    }
    const std::uint32_t version = LittleEndian::readU32(p + 8);
    if (version != RunRecordFormat::kVersion) {
        return fail(8, QStringLiteral("unsupported record version %1").arg(version));
    }
    m_header.radiusPx = LittleEndian::readI32(p + 12);
    m_header.screenWidthMm = LittleEndian::readF64(p + 16);
    m_header.screenWidthPx = LittleEndian::readU32(p + 24);
    if (m_header.radiusPx <= 0) {
        return fail(12,
                    QStringLiteral("board radius %1 px is not positive").arg(m_header.radiusPx));
    }
    if (!std::isfinite(m_header.screenWidthMm) || m_header.screenWidthMm <= 0.0) {
        return fail(
            16, QStringLiteral("screen width %1 mm is not positive").arg(m_header.screenWidthMm));
    }
    if (m_header.screenWidthPx == 0) {
        return fail(24, QStringLiteral("screen width of 0 pixels"));
    }
    return true;
}

bool RunRecordReader::next(Record* record) {
    m_error.clear();
    const qint64 offset = m_device->pos();
    if (atEnd()) {
        return false;
    }
    const QByteArray head = m_device->read(RunRecordFormat::kRecordHeaderSize);
    if (head.size() < RunRecordFormat::kRecordHeaderSize) {
        return fail(offset, QStringLiteral("truncated record header"));
    }
    const char* p = head.constData();
    const std::uint64_t micros = LittleEndian::readU64(p);
    const auto channel = static_cast<std::uint8_t>(p[8]);
    const std::uint32_t length = LittleEndian::readU32(p + 9);
    if (channel != RunRecordFormat::kDataChannel) {
        return fail(offset + 8, QStringLiteral("unknown channel %1").arg(channel));
    }
    const qint64 left = m_device->size() - m_device->pos();
    if (length > RunRecordFormat::kMaxRecordBytes || static_cast<qint64>(length) > left) {
        return fail(offset + 9,
                    QStringLiteral("record length %1 runs past the end of the record").arg(length));
    }
    QByteArray bytes = m_device->read(length);
    if (bytes.size() != static_cast<int>(length)) {
        return fail(offset + RunRecordFormat::kRecordHeaderSize,
                    QStringLiteral("record data cut short"));
    }
    record->micros = micros;
    record->channel = channel;
    record->bytes = std::move(bytes);
    record->offset = offset;
    return true;
}
