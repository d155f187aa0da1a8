#include "tests/support/RecordCuts.h"

#include "device/record/RunRecordReader.h"
#include "device/record/RunRecordWriter.h"

#include <QBuffer>

namespace RecordCuts {

QByteArray recut(const QByteArray& record, const ReadCuts::NextSize& next) {
    QBuffer device;
    device.setData(record);
    device.open(QIODevice::ReadOnly);
    RunRecordReader reader(&device);
    if (!reader.readHeader()) {
        return QByteArray();
    }
    QByteArray stream;
    std::uint64_t lastMicros = 0;
    RunRecordReader::Record r;
    while (reader.next(&r)) {
        stream += r.bytes;
        lastMicros = r.micros;
    }
    if (!reader.error().isEmpty()) {
        return QByteArray();
    }
    const QList<QByteArray> reads = ReadCuts::cut(stream, next);
    QByteArray out = RunRecordWriter::encodeHeader(reader.header());
    for (int i = 0; i < reads.size(); ++i) {
        const std::uint64_t micros = lastMicros * static_cast<std::uint64_t>(i + 1) /
                                     static_cast<std::uint64_t>(reads.size());
        out += RunRecordWriter::encodeRecord(micros, RunRecordFormat::kDataChannel, reads[i]);
    }
    return out;
}

}  // namespace RecordCuts
