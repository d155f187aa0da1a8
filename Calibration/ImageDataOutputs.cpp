#include "Calibration/ImageData.h"

#include "Calibration/WholeWrite.h"

#include <QDebug>
#include <QFile>

namespace {

const char kLogSeparator[] =
    "<------------------------------------------------------------------->";

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
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        qDebug() << m_strLogFile << file.errorString();
        if (error) {
            *error = WholeWrite::error(m_strLogFile, file);
        }
        return false;
    }
    if (!WholeWrite::write(file, entries.constData(), entries.size())) {
        qDebug() << m_strLogFile << file.errorString();
        if (error) {
            *error = WholeWrite::error(m_strLogFile, file);
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
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        qDebug() << file.errorString() << path;
        if (error) {
            *error = WholeWrite::error(path, file);
        }
        return false;
    }
    const qint64 rowBytes = static_cast<qint64>(matrix.cols) * matrix.elemSize();
    bool ok = true;
    if (matrix.isContinuous()) {
        ok = WholeWrite::write(file, reinterpret_cast<const char*>(matrix.data),
                               rowBytes * matrix.rows);
    } else {
        for (int r = 0; r < matrix.rows && ok; ++r) {
            ok = WholeWrite::write(file, reinterpret_cast<const char*>(matrix.ptr(r)), rowBytes);
        }
    }
    if (!ok) {
        qDebug() << file.errorString() << path;
        if (error) {
            *error = WholeWrite::error(path, file);
        }
        // A truncated map must not pass for a whole one.
        file.remove();
        return false;
    }
    return true;
}
