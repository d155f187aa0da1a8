// bare_calibration RECORD [REPEATS]: the time OpenCV alone needs to calibrate
// the data of one recorded run, as the floor under the desktop's wait after
// the last feature packet.
//
// Orders every image of the record (not timed), compacts and pairs the lists
// as the run does, then times, for both pairs one after the other and on one
// thread, exactly the OpenCV calls of the calibration: cv::calibrateCamera
// for each camera, cv::stereoCalibrate, cv::stereoRectify and
// cv::initUndistortRectifyMap for each camera, with the calibration's own
// arguments. No file is written. Prints one line per repeat and the median,
// in milliseconds.
#include "bench/BareOpenCvPair.h"
#include "Calibration/CMyCalculationPicThread.h"
#include "Calibration/ImageData.h"
#include "device/record/RunRecordReader.h"
#include "device/wire/DataStreamAssembler.h"
#include "device/wire/FeaturePacket.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

void silent(QtMsgType, const QMessageLogContext&, const QString&) {}

// Orders every feature packet of the record into store, one image after the
// other. False when the record cannot be read.
bool orderRecord(const QString& path, ImageData& store) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "bare_calibration: cannot open %s\n", qPrintable(path));
        return false;
    }
    RunRecordReader reader(&file);
    if (!reader.readHeader()) {
        std::fprintf(stderr, "bare_calibration: %s\n", qPrintable(reader.error()));
        return false;
    }
    const RunRecordFormat::Header header = reader.header();
    CMyCalculationPicThread::ScreenMetrics screen;
    screen.widthMm = static_cast<float>(header.screenWidthMm);
    screen.widthPx = static_cast<float>(header.screenWidthPx);
    DataStreamAssembler assembler;
    RunRecordReader::Record record;
    while (reader.next(&record)) {
        assembler.receive(record.bytes, [&](QByteArray& packet) {
            const std::unique_ptr<FeatureData> f = FeaturePacket::parse(packet);
            if (!f) {
                return;
            }
            CMyCalculationPicThread task(0, QString());
            task.setAutoDelete(false);
            task.setRadius(static_cast<float>(header.radiusPx));
            task.setStore(&store);
            const int n =
                f->view == 5 ? static_cast<int>(f->index) + 26 : static_cast<int>(f->index);
            const cv::Mat homography(3, 3, CV_64F, const_cast<double*>(f->mat.data()));
            task.startTask(static_cast<unsigned long>(n), f->view1, f->points,
                           {static_cast<size_t>(f->size[0]), static_cast<size_t>(f->size[1]),
                            static_cast<size_t>(f->size[2])},
                           homography.clone(), screen);
            task.run();
        });
    }
    return reader.error().isEmpty();
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(silent);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bare_calibration RECORD [REPEATS]\n");
        return 2;
    }
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    ImageData store;
    store.startRun();
    if (!orderRecord(QString::fromLocal8Bit(argv[1]), store)) {
        return 2;
    }
    store.fixSortData();

    std::vector<double> ms;
    for (int r = 0; r < repeats; ++r) {
        QElapsedTimer clock;
        clock.start();
        const bool ok =
            BareOpenCvPair::calibrate(store, true) && BareOpenCvPair::calibrate(store, false);
        if (!ok) {
            return 1;
        }
        ms.push_back(clock.nsecsElapsed() / 1e6);
        std::printf("bare OpenCV calibration, both pairs: %.0f ms\n", ms.back());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("median %.0f ms over %d\n", ms[ms.size() / 2], repeats);
    return 0;
}
