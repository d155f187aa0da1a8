#include "tools/replay/RecordReplay.h"

#include "Calibration/CalibrationRun.h"
#include "Calibration/report/RunReportBuilder.h"
#include "Calibration/report/RunReportWriter.h"
#include "device/record/RunRecordReader.h"
#include "device/wire/DataStreamAssembler.h"
#include "device/wire/FeaturePacket.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThreadPool>

#include <condition_variable>
#include <mutex>

RecordReplay::Summary RecordReplay::run(const QString& recordPath, const QString& outputFolder,
                                        const Progress& progress) {
    Summary summary;
    QFile file(recordPath);
    if (!file.open(QIODevice::ReadOnly)) {
        summary.error = QStringLiteral("cannot open %1: %2").arg(recordPath, file.errorString());
        return summary;
    }
    RunRecordReader reader(&file);
    if (!reader.readHeader()) {
        summary.error = reader.error();
        return summary;
    }
    summary.header = reader.header();

    std::mutex mutex;
    std::condition_variable ended;
    bool finished = false;
    RunOutcome outcome;
    const std::shared_ptr<CalibrationRun> run =
        CalibrationRun::create(outputFolder, [&](const RunOutcome& o) {
            std::lock_guard<std::mutex> lock(mutex);
            outcome = o;
            finished = true;
            ended.notify_all();
        });
    CMyCalculationPicThread::ScreenMetrics screen;
    screen.widthMm = static_cast<float>(summary.header.screenWidthMm);
    screen.widthPx = static_cast<float>(summary.header.screenWidthPx);
    run->setBoard(static_cast<float>(summary.header.radiusPx), screen);

    DataStreamAssembler assembler;
    auto onPacket = [&](QByteArray& packet) {
        std::unique_ptr<FeatureData> record = FeaturePacket::parse(packet);
        if (!record) {
            return;
        }
        ++summary.packets;
        const CalibrationRun::Admission admission = run->addRecord(*record);
        if (!admission.accepted) {
            return;
        }
        ++summary.tasks;
        if (progress && record->view1 == 2) {
            progress(
                QStringLiteral("image %1 of 52 handed to ordering").arg(admission.imageIndex + 1));
        }
    };

    QElapsedTimer clock;
    clock.start();
    RunRecordReader::Record record;
    while (reader.next(&record)) {
        ++summary.records;
        summary.bytes += record.bytes.size();
        assembler.receive(record.bytes, onPacket);
    }
    summary.secondsReading = clock.nsecsElapsed() / 1e9;
    if (!reader.error().isEmpty()) {
        run->abort();
        // Let the tasks already started end before the process does.
        QThreadPool::globalInstance()->waitForDone();
        summary.error = reader.error();
        summary.outcome = Outcome::BadRecord;
        return summary;
    }
    run->streamEnded();

    if (progress) {
        progress(QStringLiteral("waiting for ordering and calibration"));
    }
    clock.restart();
    {
        std::unique_lock<std::mutex> lock(mutex);
        ended.wait(lock, [&finished] { return finished; });
    }
    summary.secondsComputing = clock.nsecsElapsed() / 1e9;
    QThreadPool::globalInstance()->waitForDone();
    summary.outcome = outcome.passed() ? Outcome::Calibrated : Outcome::CalibrationFailed;

    if (progress) {
        progress(QStringLiteral("writing the report"));
    }
    clock.restart();
    RunReport::Board board;
    board.radiusPx = summary.header.radiusPx;
    board.screenWidthMm = summary.header.screenWidthMm;
    board.screenWidthPx = static_cast<int>(summary.header.screenWidthPx);
    const RunReport::Report report =
        RunReportBuilder::build(*run, outcome, board, QStringLiteral("replay"), recordPath);
    if (!outcome.passed()) {
        summary.reason = report.explanation;
    }
    QString reportError;
    if (RunReportWriter::write(outputFolder, report, &reportError)) {
        summary.report = outputFolder + QStringLiteral("/report.html");
    } else {
        // An output that could not be written is a failed replay too.
        summary.outcome = Outcome::CalibrationFailed;
        const QString why =
            QStringLiteral("the run report could not be written (%1)").arg(reportError);
        summary.reason =
            summary.reason.isEmpty() ? why : summary.reason + QStringLiteral("; ") + why;
    }
    summary.secondsReport = clock.nsecsElapsed() / 1e9;
    return summary;
}
