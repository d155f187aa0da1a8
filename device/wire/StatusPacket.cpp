#include "device/wire/StatusPacket.h"

#include "device/wire/LittleEndian.h"

#include <array>

#include <algorithm>

namespace IMAGE {

namespace {

constexpr int kCirclesOffset = 4;
constexpr int kPosOffset = 40;
constexpr int kFrameOffset = 44;
constexpr int kIndexOffset = 48;
constexpr int kReserved2Offset = 52;
constexpr int kRotationOffset = 60;
constexpr int kRatioOffset = 64;
constexpr int kTailOffset = 68;

}  // namespace

QByteArray ImageData::toBytes() const {
    // Built in a plain array: GCC cannot see that a fresh QByteArray's data()
    // is not the shared empty one and warns about every write into it.
    std::array<char, kWireSize> out{};
    char* p = out.data();
    std::copy(head.begin(), head.end(), p);
    std::copy(reserved1.begin(), reserved1.end(), p + 2);
    for (int i = 0; i < 3; ++i) {
        char* c = p + kCirclesOffset + 12 * i;
        LittleEndian::writeF32(c, circles[i].x);
        LittleEndian::writeF32(c + 4, circles[i].y);
        LittleEndian::writeF32(c + 8, circles[i].size);
    }
    LittleEndian::writeI32(p + kPosOffset, pos);
    LittleEndian::writeI32(p + kFrameOffset, frame);
    LittleEndian::writeI32(p + kIndexOffset, index);
    std::copy(reserved2.begin(), reserved2.end(), p + kReserved2Offset);
    LittleEndian::writeI32(p + kRotationOffset, rotation);
    LittleEndian::writeF32(p + kRatioOffset, ratio);
    std::copy(tail.begin(), tail.end(), p + kTailOffset);
    return QByteArray(out.data(), kWireSize);
}

bool ImageData::fromBytes(const QByteArray& bytes, ImageData* out) {
    if (bytes.size() < kWireSize) {
        return false;
    }
    const char* p = bytes.constData();
    const auto* u = reinterpret_cast<const std::uint8_t*>(p);
    std::copy(u, u + 2, out->head.begin());
    std::copy(u + 2, u + 4, out->reserved1.begin());
    for (int i = 0; i < 3; ++i) {
        const char* c = p + kCirclesOffset + 12 * i;
        out->circles[i].x = LittleEndian::readF32(c);
        out->circles[i].y = LittleEndian::readF32(c + 4);
        out->circles[i].size = LittleEndian::readF32(c + 8);
    }
    out->pos = LittleEndian::readI32(p + kPosOffset);
    out->frame = LittleEndian::readI32(p + kFrameOffset);
    out->index = LittleEndian::readI32(p + kIndexOffset);
    std::copy(u + kReserved2Offset, u + kReserved2Offset + 8, out->reserved2.begin());
    out->rotation = LittleEndian::readI32(p + kRotationOffset);
    out->ratio = LittleEndian::readF32(p + kRatioOffset);
    std::copy(u + kTailOffset, u + kTailOffset + 3, out->tail.begin());
    return true;
}

}  // namespace IMAGE
