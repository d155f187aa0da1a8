#include "tests/support/SyntheticRunRecord.h"

#include "device/record/RunRecordWriter.h"
#include "device/wire/FeaturePacket.h"

namespace SyntheticRunRecord {

CMyCalculationPicThread::ScreenMetrics screen(const Geometry& geometry) {
    CMyCalculationPicThread::ScreenMetrics metrics;
    metrics.widthMm = static_cast<float>(geometry.screenWidthMm);
    metrics.widthPx = static_cast<float>(geometry.screenWidthPx);
    return metrics;
}

std::vector<FeatureData> features(const Geometry& geometry, float boardScale) {
    DroneFeatureSettings settings;
    settings.boardUnitCm = CMyCalculationPicThread::gridUnitCm(
                               static_cast<float>(geometry.radiusPx), screen(geometry)) *
                           boardScale;
    const DroneFeatureModel forward(SimulatedRig::forward(), 4, settings);
    const DroneFeatureModel downward(SimulatedRig::downward(), 5, settings);
    std::vector<FeatureData> records;
    for (const DroneFeatureModel* model : {&forward, &downward}) {
        for (int i = 0; i < 26; ++i) {
            for (int camera : {1, 2}) {
                records.push_back(model->feature(i, camera));
            }
        }
    }
    return records;
}

QByteArray build(const Geometry& geometry, float boardScale) {
    RunRecordFormat::Header header;
    header.radiusPx = geometry.radiusPx;
    header.screenWidthMm = geometry.screenWidthMm;
    header.screenWidthPx = static_cast<std::uint32_t>(geometry.screenWidthPx);
    QByteArray record = RunRecordWriter::encodeHeader(header);
    std::uint64_t micros = 0;
    for (const FeatureData& f : features(geometry, boardScale)) {
        micros += 250000;
        record += RunRecordWriter::encodeRecord(micros, RunRecordFormat::kDataChannel,
                                                FeaturePacket::encode(f));
    }
    return record;
}

}  // namespace SyntheticRunRecord
