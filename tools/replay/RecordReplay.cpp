#include "tools/replay/RecordReplay.h"

#include "Calibration/CMyCalculationPicThread.h"
#include "Calibration/CalibrationRunTracker.h"
#include "device/wire/DataStreamAssembler.h"
#include "device/wire/FeaturePacket.h"
#include "Calibration/ImageData.h"
#include "device/record/RunRecordReader.h"
#include "Calibration/report/RunReportWriter.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <QThreadPool>

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

    ImageData* store = ImageData::getInstance();
    store->setOutputFolder(outputFolder);
    CalibrationRunTracker* tracker = CalibrationRunTracker::getInstance();
    tracker->beginRun();
    QThreadPool* pool = QThreadPool::globalInstance();
    pool->setMaxThreadCount(5);

    CMyCalculationPicThread::ScreenMetrics screen;
    screen.widthMm = static_cast<float>(summary.header.screenWidthMm);
    screen.widthPx = static_cast<float>(summary.header.screenWidthPx);

    DataStreamAssembler assembler;
    auto onPacket = [&](QByteArray& packet) {
        std::unique_ptr<FeatureData> record = FeaturePacket::parse(packet);
        if (!record) {
            return;
        }
        ++summary.packets;
        const int n = record->view == 5 ? static_cast<int>(record->index) + 26
                                        : static_cast<int>(record->index);
        const CalibrationRunTracker::RunId id = tracker->taskStarted(n, record->view1);
        if (id == 0) {
            return;
        }
        auto* task = new CMyCalculationPicThread(0, QString());
        task->setRadius(static_cast<float>(summary.header.radiusPx));
        task->setRun(tracker, id);
        const cv::Mat homography(3, 3, CV_64F, record->mat.data());
        const std::vector<size_t> marks{static_cast<size_t>(record->size[0]),
                                        static_cast<size_t>(record->size[1]),
                                        static_cast<size_t>(record->size[2])};
        task->startTask(static_cast<unsigned long>(n), record->view1, record->points, marks,
                        homography.clone(), screen);
        pool->start(task);
        ++summary.tasks;
        if (progress && record->view1 == 2) {
            progress(QStringLiteral("image %1 of 52 handed to ordering").arg(n + 1));
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
    tracker->streamEnded();
    if (!reader.error().isEmpty()) {
        // Let the tasks already started end before the process does.
        pool->waitForDone();
        summary.error = reader.error();
        summary.outcome = Outcome::BadRecord;
        return summary;
    }

    if (progress) {
        progress(QStringLiteral("waiting for ordering and calibration"));
    }
    clock.restart();
    while (store->m_nCalibResult.load() == ImageData::kResultPending) {
        QThread::msleep(20);
    }
    pool->waitForDone();
    summary.secondsComputing = clock.nsecsElapsed() / 1e9;
    summary.outcome = store->m_nCalibResult.load() == ImageData::kResultSucceeded
                          ? Outcome::Calibrated
                          : Outcome::CalibrationFailed;

    if (progress) {
        progress(QStringLiteral("writing the report"));
    }
    clock.restart();
    RunReport::Board board;
    board.radiusPx = summary.header.radiusPx;
    board.screenWidthMm = summary.header.screenWidthMm;
    board.screenWidthPx = static_cast<int>(summary.header.screenWidthPx);
    if (RunReportWriter::writeForCurrentRun(outputFolder, QStringLiteral("replay"), recordPath,
                                            board)) {
        summary.report = outputFolder + QStringLiteral("/report.html");
    }
    summary.secondsReport = clock.nsecsElapsed() / 1e9;
    return summary;
}
