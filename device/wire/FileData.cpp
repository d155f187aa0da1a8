#include "device/wire/FileData.h"

#include "device/wire/LittleEndian.h"

#include <algorithm>
#include <cstring>

QByteArray FileData::toBytes(int n) const {
    n = std::clamp(n, 0, kDataSize);
    QByteArray out(n + kOverhead, '\0');
    char* p = out.data();
    LittleEndian::writeU16(p, head);
    LittleEndian::writeI32(p + 2, number);
    std::memcpy(p + 6, data.data(), static_cast<size_t>(n));
    LittleEndian::writeU16(p + 6 + n, tail);
    return out;
}
