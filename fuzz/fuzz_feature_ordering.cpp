// One feature packet from the wire, parsed and, when accepted, ordered the way
// the data channel hands it to the pool, into a store of its own. Whatever the
// drone sends, the task must end (storing or not) without crashing, reading
// out of bounds or growing its work without bound (libFuzzer's memory and time
// limits catch the last), and nothing may be stored outside the record's
// own slot.
//
// The input is the packet; its head, length field and tail are set right, so
// that mutations reach the points, marks and matrix instead of the framing
// (which fuzz_data_channel covers).

#include "Calibration/CMyCalculationPicThread.h"
#include "Calibration/ImageData.h"
#include "device/wire/FeaturePacket.h"
#include "device/wire/LittleEndian.h"

#include <QtGlobal>

#include <cstdlib>

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Silent, except that an exception the task had to catch is a finding.
void quiet(QtMsgType, const QMessageLogContext&, const QString& message) {
    check(!message.startsWith(QStringLiteral("-------9.")));
}

// The slots of one pair and camera that a task may have written.
const std::vector<ImageData::ImagePoints>& slotsOf(const ImageData& store, int pair, int camera) {
    if (pair == 0) {
        return camera == 1 ? store.m_vecLeftPix_front : store.m_vecRightPix_front;
    }
    return camera == 1 ? store.m_vecLeftPix_down : store.m_vecRightPix_down;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qInstallMessageHandler(quiet);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < static_cast<std::size_t>(FeaturePacket::kFixedSize) ||
        size > static_cast<std::size_t>(FeaturePacket::kMaxLength)) {
        return 0;
    }
    QByteArray packet(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const int points = (packet.size() - FeaturePacket::kFixedSize) / FeaturePacket::kPointSize;
    packet.truncate(FeaturePacket::kFixedSize + points * FeaturePacket::kPointSize);
    packet[0] = 0x01;
    packet[1] = 0x02;
    LittleEndian::writeU32(packet.data() + 8, static_cast<std::uint32_t>(packet.size()));
    packet[packet.size() - 2] = 0x03;
    packet[packet.size() - 1] = 0x04;

    const auto record = FeaturePacket::parse(packet);
    if (!record) {
        return 0;
    }
    check(record->index < 26);
    const int image = static_cast<int>(record->index) + (record->view == 5 ? 26 : 0);

    ImageData store;
    store.startRun();
    CMyCalculationPicThread task(0, QString());
    task.setStore(&store);
    task.setRadius(19.0f);
    const cv::Mat homography(3, 3, CV_64F, record->mat.data());
    const std::vector<size_t> marks{static_cast<size_t>(record->size[0]),
                                    static_cast<size_t>(record->size[1]),
                                    static_cast<size_t>(record->size[2])};
    CMyCalculationPicThread::ScreenMetrics screen;
    screen.widthMm = 344.0f;
    screen.widthPx = 1920.0f;
    task.startTask(static_cast<unsigned long>(image), record->view1, record->points, marks,
                   homography.clone(), screen);
    task.run();

    // Only the record's own slot may hold anything.
    for (int pair = 0; pair < 2; ++pair) {
        for (int camera = 1; camera <= 2; ++camera) {
            const auto& lists = slotsOf(store, pair, camera);
            for (size_t i = 0; i < lists.size(); ++i) {
                const bool own = task.stored() && pair * 26 + static_cast<int>(i) == image &&
                                 camera == record->view1;
                check(own || lists[i].empty());
            }
        }
    }
    return 0;
}
