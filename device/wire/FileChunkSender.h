#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class QIODevice;

// Uploads one file as file chunk packets (see FileData): pieces of at most
// 4096 bytes, numbered from 1, until fileSize bytes have gone out.
class FileChunkSender {
public:
    // Writes one whole packet; returns false when it could not be written.
    using PacketWriter = std::function<bool(const QByteArray& packet)>;

    enum class Status {
        Complete,     // fileSize bytes sent (no packet at all for an empty file)
        EndedEarly,   // a read yielded no bytes before fileSize was reached
        ReadFailed,   // a read reported an error
        WriteFailed,  // the writer refused a packet
    };

    struct Outcome {
        Status status = Status::Complete;
        qint64 bytesSent = 0;  // file bytes, packet overhead not counted
        int chunksSent = 0;
    };

    // Reads file (opened for reading) from its current position; reads never
    // ask for bytes beyond fileSize, so a file that grew since its size was
    // taken does not send more. Anything but Complete is logged with name.
    static Outcome send(QIODevice& file, qint64 fileSize, const PacketWriter& write,
                        const QString& name = QString());
};
