// Fuzz target: the run record reader on arbitrary bytes. Every record it
// hands out must lie inside the input and under the format's limit; reading
// must end (at the end or with an error naming an offset inside the input).
#include "device/record/RunRecordReader.h"

#include <QBuffer>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    RunRecordReader reader(&buffer);
    if (!reader.readHeader()) {
        if (reader.error().isEmpty())
            std::abort();
        return 0;
    }
    RunRecordReader::Record record;
    qint64 total = RunRecordFormat::kHeaderSize;
    while (reader.next(&record)) {
        total += RunRecordFormat::kRecordHeaderSize + record.bytes.size();
        if (total > static_cast<qint64>(size) ||
            static_cast<quint32>(record.bytes.size()) > RunRecordFormat::kMaxRecordBytes) {
            std::abort();
        }
    }
    return 0;
}
