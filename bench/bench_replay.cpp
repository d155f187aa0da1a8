// Wall time of replaying a full 52-image run record (104 feature packets of a
// simulated rig), whole and split into its stages: parsing (record reader,
// stream reassembly, packet parsing), ordering (the 104 ordering tasks on the
// global pool of 5 threads), calibration (fixSortData and both pairs,
// including the raw map files and their conversion), conversion alone (the
// four depth-unit map conversions) and the run report. Writes only under a
// temporary home.
#include "bench/BenchMain.h"
#include "bench/QuietStdout.h"
#include "Calibration/CMyCalculationPicThread.h"
#include "device/wire/DataStreamAssembler.h"
#include "device/wire/FeaturePacket.h"
#include "Calibration/HiDPUInterface.h"
#include "Calibration/ImageData.h"
#include "tools/replay/RecordReplay.h"
#include "device/record/RunRecordReader.h"
#include "Calibration/report/RunReportBuilder.h"
#include "Calibration/report/RunReportWriter.h"
#include "tests/support/SyntheticRunRecord.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThreadPool>

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <memory>

namespace {

void silent(QtMsgType, const QMessageLogContext&, const QString&) {}

const SyntheticRunRecord::Geometry kGeometry;

const QByteArray& recordBytes() {
    static const QByteArray bytes = SyntheticRunRecord::build(kGeometry);
    return bytes;
}

QString g_folder;  // output folder of the stages, under the temporary home

std::vector<std::unique_ptr<FeatureData>> parseRecord(const QByteArray& bytes) {
    std::vector<std::unique_ptr<FeatureData>> packets;
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    RunRecordReader reader(&buffer);
    if (!reader.readHeader()) {
        return packets;
    }
    DataStreamAssembler assembler;
    RunRecordReader::Record record;
    while (reader.next(&record)) {
        assembler.receive(record.bytes, [&packets](QByteArray& packet) {
            if (std::unique_ptr<FeatureData> f = FeaturePacket::parse(packet)) {
                packets.push_back(std::move(f));
            }
        });
    }
    return packets;
}

// Every packet's ordering task on the global pool, storing into store.
void orderAll(const std::vector<std::unique_ptr<FeatureData>>& packets, ImageData& store) {
    CMyCalculationPicThread::ScreenMetrics screen;
    screen.widthMm = static_cast<float>(kGeometry.screenWidthMm);
    screen.widthPx = static_cast<float>(kGeometry.screenWidthPx);
    QThreadPool* pool = QThreadPool::globalInstance();
    pool->setMaxThreadCount(5);
    for (const auto& f : packets) {
        auto* task = new CMyCalculationPicThread(0, QString());
        task->setRadius(static_cast<float>(kGeometry.radiusPx));
        task->setStore(&store);
        const int n = f->view == 5 ? static_cast<int>(f->index) + 26 : static_cast<int>(f->index);
        const cv::Mat homography(3, 3, CV_64F, const_cast<double*>(f->mat.data()));
        task->startTask(static_cast<unsigned long>(n), f->view1, f->points,
                        {static_cast<size_t>(f->size[0]), static_cast<size_t>(f->size[1]),
                         static_cast<size_t>(f->size[2])},
                        homography.clone(), screen);
        pool->start(task);
    }
    pool->waitForDone();
}

// A store with every image ordered, copied into fresh stores for calibration.
const ImageData& orderedStore() {
    static ImageData* store = [] {
        auto* s = new ImageData();
        s->setOutputFolder(g_folder);
        s->startRun();
        orderAll(parseRecord(recordBytes()), *s);
        return s;
    }();
    return *store;
}

void copyLists(const ImageData& from, ImageData& to) {
    to.startRun();
    to.m_vecLeftPix_front = from.m_vecLeftPix_front;
    to.m_vecWorld_front = from.m_vecWorld_front;
    to.m_vecRightPix_front = from.m_vecRightPix_front;
    to.m_vecRightWorld_front = from.m_vecRightWorld_front;
    to.m_vecLeftPix_down = from.m_vecLeftPix_down;
    to.m_vecWorld_down = from.m_vecWorld_down;
    to.m_vecRightPix_down = from.m_vecRightPix_down;
    to.m_vecRightWorld_down = from.m_vecRightWorld_down;
}

void BM_ReplayParsing(benchmark::State& state) {
    for (auto _ : state) {
        const auto packets = parseRecord(recordBytes());
        if (packets.size() != 104) {
            state.SkipWithError("record did not parse into 104 packets");
            break;
        }
        benchmark::DoNotOptimize(packets.data());
    }
}

void BM_ReplayOrdering(benchmark::State& state) {
    const auto packets = parseRecord(recordBytes());
    ImageData store;
    store.setOutputFolder(g_folder);
    for (auto _ : state) {
        state.PauseTiming();
        store.startRun();
        state.ResumeTiming();
        orderAll(packets, store);
    }
}

void BM_ReplayCalibration(benchmark::State& state) {
    const ImageData& ordered = orderedStore();
    ImageData store;
    store.setOutputFolder(g_folder);
    for (auto _ : state) {
        state.PauseTiming();
        copyLists(ordered, store);
        state.ResumeTiming();
        QuietStdout quiet;
        if (!store.calibrateRun()) {
            state.SkipWithError("calibration failed");
            break;
        }
    }
}

void BM_ReplayConversion(benchmark::State& state) {
    // The raw maps of one calibrated run.
    ImageData store;
    store.setOutputFolder(g_folder);
    copyLists(orderedStore(), store);
    {
        QuietStdout quiet;
        store.calibrateRun();
    }
    for (auto _ : state) {
        QuietStdout quiet;
        HiDPUInterface().outFile(store.m_strFrontLeftMap, store.m_strFrontLeftDpuMap, 480, 640);
        HiDPUInterface().outFile(store.m_strFrontRightMap, store.m_strFrontRightDpuMap, 480, 640);
        HiDPUInterface().outFile(store.m_strDownLeftMap, store.m_strDownLeftDpuMap, 640, 480);
        HiDPUInterface().outFile(store.m_strDownRightMap, store.m_strDownRightDpuMap, 640, 480);
    }
}

void BM_ReplayReport(benchmark::State& state) {
    ImageData store;
    store.setOutputFolder(g_folder);
    copyLists(orderedStore(), store);
    {
        QuietStdout quiet;
        store.calibrateRun();
    }
    RunReportBuilder::Input input;
    input.store = &store;
    input.board.radiusPx = kGeometry.radiusPx;
    input.board.screenWidthMm = kGeometry.screenWidthMm;
    input.board.screenWidthPx = kGeometry.screenWidthPx;
    for (auto _ : state) {
        RunReportWriter::write(g_folder, RunReportBuilder::build(input));
    }
}

void BM_ReplayWhole(benchmark::State& state) {
    const QString record = g_folder + QStringLiteral("/record.nrec");
    QFile file(record);
    file.open(QIODevice::WriteOnly);
    file.write(recordBytes());
    file.close();
    for (auto _ : state) {
        QuietStdout quiet;
        const RecordReplay::Summary s = RecordReplay::run(record, g_folder, {});
        if (s.outcome != RecordReplay::Outcome::Calibrated) {
            state.SkipWithError("replay did not calibrate");
            break;
        }
    }
}

}  // namespace

BENCHMARK(BM_ReplayParsing)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReplayOrdering)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReplayCalibration)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReplayConversion)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReplayReport)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReplayWhole)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    PrivateHome home;
    g_folder = home.path() + QStringLiteral("/replay");
    QDir().mkpath(g_folder + QStringLiteral("/log"));
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(silent);
    return runBenchmarks(argc, argv);
}
