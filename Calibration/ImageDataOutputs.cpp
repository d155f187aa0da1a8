#include "Calibration/ImageData.h"

#include <QDebug>
#include <QFile>
#include <QTextStream>

namespace {

const char kLogSeparator[] =
    "<------------------------------------------------------------------->";

}  // namespace

void ImageData::abWrite(const QString& title, const cv::Mat& matrix) {
    QFile file(m_strLogFile);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        qDebug() << m_strLogFile << file.errorString();
        return;
    }
    // Reading another element type as double would run past the data.
    cv::Mat values;
    if (!matrix.empty()) {
        if (matrix.type() == CV_64FC1) {
            values = matrix;
        } else {
            matrix.reshape(1).convertTo(values, CV_64F);
        }
    }

    QTextStream out(&file);
    out.setCodec("UTF-8");
    out << title << '\n';
    for (int r = 0; r < values.rows; ++r) {
        const double* row = values.ptr<double>(r);
        for (int c = 0; c < values.cols; ++c) {
            out << QString::number(row[c], 'g', 6) << "\t\t";
        }
        out << '\n';
    }
    out << kLogSeparator << "\n\n";
    out.flush();
    file.close();
}

void ImageData::abWriteDat(const QString& path, const cv::Mat& matrix) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qDebug() << file.errorString() << path;
        return;
    }
    const qint64 rowBytes = static_cast<qint64>(matrix.cols) * matrix.elemSize();
    for (int r = 0; r < matrix.rows; ++r) {
        file.write(reinterpret_cast<const char*>(matrix.ptr(r)), rowBytes);
    }
    file.close();
}
