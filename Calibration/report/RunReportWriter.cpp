#include "Calibration/report/RunReportWriter.h"

#include "Calibration/report/RunReportHtml.h"
#include "Calibration/report/RunReportJson.h"

#include <QDebug>
#include <QDir>
#include <QJsonDocument>
#include <QSaveFile>

namespace RunReportWriter {

namespace {

bool writeFile(const QString& path, const QByteArray& bytes, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        const QString why = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        qDebug().noquote() << QStringLiteral("run report:") << why;
        if (error && error->isEmpty()) {
            *error = why;
        }
        return false;
    }
    return true;
}

}  // namespace

bool write(const QString& folder, const RunReport::Report& report, QString* error) {
    const QDir dir(folder);
    const bool json = writeFile(
        dir.filePath(QStringLiteral("report.json")),
        QJsonDocument(RunReportJson::toJson(report)).toJson(QJsonDocument::Indented), error);
    const bool html = writeFile(dir.filePath(QStringLiteral("report.html")),
                                RunReportHtml::render(report).toUtf8(), error);
    return json && html;
}

}  // namespace RunReportWriter
