#include "Calibration/ImageData.h"

#include <QDebug>
#include <QFile>

namespace {

const char kLogSeparator[] =
    "<------------------------------------------------------------------->";

// Writes all of bytes and makes sure they reached the file; a full disk
// often shows only when the buffer is flushed.
bool writeAll(QFile& file, const char* data, qint64 size) {
    return file.write(data, size) == size;
}

QString fileError(const QString& path, const QFile& file) {
    return QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
}

}  // namespace

QByteArray ImageData::logEntry(const QString& title, const cv::Mat& matrix) {
    // Reading another element type as double would run past the data.
    cv::Mat values;
    if (!matrix.empty()) {
        if (matrix.type() == CV_64FC1) {
            values = matrix;
        } else {
            matrix.reshape(1).convertTo(values, CV_64F);
        }
    }
    QString text = title + QLatin1Char('\n');
    for (int r = 0; r < values.rows; ++r) {
        const double* row = values.ptr<double>(r);
        for (int c = 0; c < values.cols; ++c) {
            text += QString::number(row[c], 'g', 6) + QStringLiteral("\t\t");
        }
        text += QLatin1Char('\n');
    }
    text += QLatin1String(kLogSeparator) + QStringLiteral("\n\n");
    return text.toUtf8();
}

bool ImageData::appendLog(const QByteArray& entries, QString* error) {
    QFile file(m_strLogFile);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        qDebug() << m_strLogFile << file.errorString();
        if (error) {
            *error = fileError(m_strLogFile, file);
        }
        return false;
    }
    if (!writeAll(file, entries.constData(), entries.size()) || !file.flush()) {
        qDebug() << m_strLogFile << file.errorString();
        if (error) {
            *error = fileError(m_strLogFile, file);
        }
        return false;
    }
    return true;
}

bool ImageData::abWrite(const QString& title, const cv::Mat& matrix) {
    return appendLog(logEntry(title, matrix));
}

bool ImageData::abWriteDat(const QString& path, const cv::Mat& matrix, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qDebug() << file.errorString() << path;
        if (error) {
            *error = fileError(path, file);
        }
        return false;
    }
    const qint64 rowBytes = static_cast<qint64>(matrix.cols) * matrix.elemSize();
    bool ok = true;
    for (int r = 0; r < matrix.rows && ok; ++r) {
        ok = writeAll(file, reinterpret_cast<const char*>(matrix.ptr(r)), rowBytes);
    }
    if (!ok || !file.flush()) {
        qDebug() << file.errorString() << path;
        if (error) {
            *error = fileError(path, file);
        }
        // A truncated map must not pass for a whole one.
        file.remove();
        return false;
    }
    return true;
}
