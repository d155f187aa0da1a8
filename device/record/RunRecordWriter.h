#pragma once

#include "device/record/RunRecordFormat.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

// Appends a run's received bytes to a record file. Never slows or breaks the
// run: a record that cannot be opened or written logs one line and the writer
// turns itself off for the rest of the run.
class RunRecordWriter {
public:
    // Creates path (truncating) and writes the header. False, with one log
    // line, when the file cannot be written; later appends are then ignored.
    bool open(const QString& path, const RunRecordFormat::Header& header);

    // One chunk as received on channel, stamped with the microseconds since
    // open(). Chunks above the format's record limit are split.
    void append(std::uint8_t channel, const QByteArray& bytes);

    void close();
    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_file.fileName(); }

    // The header's 32 bytes.
    static QByteArray encodeHeader(const RunRecordFormat::Header& header);
    // One record's bytes (time, channel, length, data).
    static QByteArray encodeRecord(std::uint64_t micros, std::uint8_t channel,
                                   const QByteArray& bytes);

private:
    void fail(const QString& what);

    QFile m_file;
    QElapsedTimer m_clock;
};
