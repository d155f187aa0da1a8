#include "device/wire/ResultData.h"

#include "device/wire/LittleEndian.h"

#include <array>

namespace {

constexpr int kDoublesOffset = 8;
constexpr int kTailOffset = 72;

}  // namespace

bool ResultData::setCamera(int position) {
    switch (position) {
        case kForwardLeft:
            pair = 1;
            camera = 1;
            return true;
        case kForwardRight:
            pair = 1;
            camera = 2;
            return true;
        case kDownwardLeft:
            pair = 2;
            camera = 1;
            return true;
        case kDownwardRight:
            pair = 2;
            camera = 2;
            return true;
        default:
            return false;
    }
}

QByteArray ResultData::toBytes() const {
    // Built in a plain array: GCC cannot see that a fresh QByteArray's data()
    // is not the shared empty one and warns about every write into it.
    std::array<char, kWireSize> out{};
    char* p = out.data();
    LittleEndian::writeU16(p, head);
    p[2] = static_cast<char>(pair);
    p[3] = static_cast<char>(camera);
    LittleEndian::writeU32(p + 4, padding);
    const double values[] = {fx, fy, cx, cy, tx, p00, p02, p12};
    for (int i = 0; i < 8; ++i) {
        LittleEndian::writeF64(p + kDoublesOffset + 8 * i, values[i]);
    }
    LittleEndian::writeU16(p + kTailOffset, tail);
    return QByteArray(out.data(), kWireSize);
}

bool ResultData::fromBytes(const QByteArray& bytes, ResultData* out) {
    if (bytes.size() < kWireSize) {
        return false;
    }
    const char* p = bytes.constData();
    out->head = LittleEndian::readU16(p);
    out->pair = static_cast<std::uint8_t>(p[2]);
    out->camera = static_cast<std::uint8_t>(p[3]);
    out->padding = LittleEndian::readU32(p + 4);
    double* values[] = {&out->fx, &out->fy,  &out->cx,  &out->cy,
                        &out->tx, &out->p00, &out->p02, &out->p12};
    for (int i = 0; i < 8; ++i) {
        *values[i] = LittleEndian::readF64(p + kDoublesOffset + 8 * i);
    }
    out->tail = LittleEndian::readU16(p + kTailOffset);
    return true;
}
