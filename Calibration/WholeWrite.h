#pragma once

#include <QFileDevice>
#include <QString>

// Writing a whole buffer to a file and telling why it failed. A full disk
// first shows as a short write with no error set; only the write of the rest
// reports it (ENOSPC), so the rest is written until all of it went or the
// device refuses.
namespace WholeWrite {

// Writes size bytes at data and flushes. False when any of it did not reach
// the file.
inline bool write(QFileDevice& file, const char* data, qint64 size) {
    qint64 done = 0;
    while (done < size) {
        const qint64 n = file.write(data + done, size - done);
        if (n <= 0) {
            return false;
        }
        done += n;
    }
    return file.flush();
}

// "cannot write PATH: REASON" for a failed write, open or flush of file.
inline QString error(const QString& path, const QFileDevice& file) {
    return QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
}

}  // namespace WholeWrite
