#include "device/wire/FileChunkSender.h"

#include "device/wire/FileData.h"

#include <QDebug>
#include <QIODevice>

#include <algorithm>

FileChunkSender::Outcome FileChunkSender::send(QIODevice& file, qint64 fileSize,
                                               const PacketWriter& write, const QString& name) {
    Outcome outcome;
    FileData chunk;
    chunk.head = FileData::kHead;
    chunk.tail = FileData::kTail;
    while (outcome.bytesSent < fileSize) {
        chunk.data.fill(0);
        const qint64 wanted = std::min<qint64>(FileData::kDataSize, fileSize - outcome.bytesSent);
        const qint64 got = file.read(chunk.data.data(), wanted);
        if (got <= 0) {
            outcome.status = got < 0 ? Status::ReadFailed : Status::EndedEarly;
            qDebug() << "file upload of" << name << "stopped after" << outcome.bytesSent << "of"
                     << fileSize << "bytes:"
                     << (got < 0 ? file.errorString() : QStringLiteral("file ended early"));
            return outcome;
        }
        chunk.number = outcome.chunksSent + 1;
        if (!write(chunk.toBytes(static_cast<int>(got)))) {
            outcome.status = Status::WriteFailed;
            qDebug() << "file upload of" << name << "stopped after" << outcome.bytesSent << "of"
                     << fileSize << "bytes: chunk" << chunk.number << "not written";
            return outcome;
        }
        outcome.bytesSent += got;
        ++outcome.chunksSent;
    }
    return outcome;
}
