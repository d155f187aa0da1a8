#pragma once

#include "device/record/RunRecordFormat.h"

#include <QByteArray>
#include <QString>

class QIODevice;

// Reads a run record from a random-access device (a file), record by record.
// Memory stays bounded by the largest single record, which must fit in what
// is left of the device and under the format's record limit. Any defect —
// short or wrong header, a length running past the end, an unknown channel, a
// radius of 0 or below, a screen width of 0 or not finite — stops reading with
// error() naming the byte offset.
class RunRecordReader {
public:
    struct Record {
        std::uint64_t micros = 0;
        std::uint8_t channel = 0;
        QByteArray bytes;
        qint64 offset = 0;  // of the record's first byte in the file
    };

    explicit RunRecordReader(QIODevice* device) : m_device(device) {}

    // Reads and checks the header. False with error() on a defect.
    bool readHeader();
    const RunRecordFormat::Header& header() const { return m_header; }

    // The next record; false at the end of the record (error() empty) or on a
    // defect (error() set).
    bool next(Record* record);

    QString error() const { return m_error; }
    bool atEnd() const;

private:
    bool fail(qint64 offset, const QString& what);

    QIODevice* m_device;
    RunRecordFormat::Header m_header;
    QString m_error;
};
