#include "Calibration/report/RunReportWriter.h"

#include "Calibration/CalibrationRunTracker.h"
#include "Calibration/ImageData.h"
#include "Calibration/report/RunReportBuilder.h"
#include "Calibration/report/RunReportHtml.h"
#include "Calibration/report/RunReportJson.h"

#include <QDebug>
#include <QDir>
#include <QJsonDocument>
#include <QSaveFile>

namespace RunReportWriter {

namespace {

bool writeFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        qDebug().noquote()
            << QStringLiteral("run report: cannot write %1 (%2)").arg(path, file.errorString());
        return false;
    }
    return true;
}

}  // namespace

bool write(const QString& folder, const RunReport::Report& report) {
    const QDir dir(folder);
    const bool json =
        writeFile(dir.filePath(QStringLiteral("report.json")),
                  QJsonDocument(RunReportJson::toJson(report)).toJson(QJsonDocument::Indented));
    const bool html = writeFile(dir.filePath(QStringLiteral("report.html")),
                                RunReportHtml::render(report).toUtf8());
    return json && html;
}

bool writeForCurrentRun(const QString& folder, const QString& source, const QString& record,
                        const RunReport::Board& board) {
    RunReportBuilder::Input input;
    input.store = ImageData::getInstance();
    input.tasks = CalibrationRunTracker::getInstance()->taskRecords();
    input.board = board;
    input.source = source;
    input.record = record;
    return write(folder, RunReportBuilder::build(input));
}

}  // namespace RunReportWriter
