#include "tests/support/SyntheticRunRecord.h"

#include "Calibration/CMyCalculationPicThread.h"
#include "device/record/RunRecordWriter.h"

namespace SyntheticRunRecord {

QByteArray build(const Geometry& geometry, float boardScale) {
    RunRecordFormat::Header header;
    header.radiusPx = geometry.radiusPx;
    header.screenWidthMm = geometry.screenWidthMm;
    header.screenWidthPx = static_cast<std::uint32_t>(geometry.screenWidthPx);
    QByteArray record = RunRecordWriter::encodeHeader(header);

    CMyCalculationPicThread::ScreenMetrics screen;
    screen.widthMm = static_cast<float>(geometry.screenWidthMm);
    screen.widthPx = static_cast<float>(geometry.screenWidthPx);
    DroneFeatureSettings settings;
    settings.boardUnitCm =
        CMyCalculationPicThread::gridUnitCm(static_cast<float>(geometry.radiusPx), screen) *
        boardScale;
    const DroneFeatureModel forward(SimulatedRig::forward(), 4, settings);
    const DroneFeatureModel downward(SimulatedRig::downward(), 5, settings);
    std::uint64_t micros = 0;
    for (const DroneFeatureModel* model : {&forward, &downward}) {
        for (int i = 0; i < 26; ++i) {
            for (int camera : {1, 2}) {
                micros += 250000;
                record += RunRecordWriter::encodeRecord(micros, RunRecordFormat::kDataChannel,
                                                        model->packet(i, camera));
            }
        }
    }
    return record;
}

}  // namespace SyntheticRunRecord
