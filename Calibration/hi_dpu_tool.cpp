#include "Calibration/hi_dpu_tool.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#define DPU_TOOL_REPORT(...)                                                               \
    do {                                                                                   \
        std::printf("[Level]:%s [Line]:%d [Info]:", "DPU_TOOL_ERR_LEVEL_ERROR", __LINE__); \
        std::printf(__VA_ARGS__);                                                          \
    } while (0)

namespace {

constexpr char kFormatTag[8] = {'D', 'P', 'U', '_', '1', '.', '0', '\0'};

std::array<std::uint32_t, 256> makeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        table[n] = c;
    }
    return table;
}

void putLittleEndian32(std::uint8_t* at, std::uint32_t value) {
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
    at[2] = static_cast<std::uint8_t>(value >> 16);
    at[3] = static_cast<std::uint8_t>(value >> 24);
}

float readFloat(const std::uint8_t* at) {
    float value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

// floor() as a 32-bit integer. Coordinates from a rectification map are far
// inside the range; NaN and values beyond it are pinned so that the conversion
// stays defined whatever a corrupt map holds.
std::int32_t floorToInt32(float v) {
    if (std::isnan(v)) {
        return 0;
    }
    const double f = std::floor(static_cast<double>(v));
    if (f <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) {
        return std::numeric_limits<std::int32_t>::min();
    }
    if (f >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
        return std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(f);
}

// Fraction in 1/32 pixel, clamped at 31: a value that rounds up to a whole
// pixel is not carried into the integer part (the depth unit expects that).
std::uint32_t fraction32(float v, std::int32_t integer) {
    const float base = static_cast<float>(static_cast<std::uint16_t>(integer));
    const float scaled = (v - base) * 32.0f;
    double rounded = std::floor(static_cast<double>(scaled) + 0.5);
    if (std::isnan(rounded)) {
        rounded = 0.0;
    }
    // Beyond +-2^62 the low 16 bits are zero anyway; clamping keeps the cast defined.
    rounded = std::fmax(std::fmin(rounded, 4.0e18), -4.0e18);
    const std::uint32_t kept =
        static_cast<std::uint32_t>(static_cast<std::int64_t>(rounded) & 0xFFFF);
    return kept > 31u ? 31u : kept;
}

}  // namespace

std::uint32_t dpu_tool_encode_entry(float sx, float sy) {
    const std::int32_t ix = floorToInt32(sx);
    const std::int32_t iy = floorToInt32(sy);
    const std::uint32_t fx = fraction32(sx, ix);
    const std::uint32_t fy = fraction32(sy, iy);
    return ((static_cast<std::uint32_t>(iy) * 2048u + (static_cast<std::uint32_t>(ix) & 0x7FFu)) *
            1024u) +
           fy * 32u + fx;
}

int dpu_tool_check_param(const hi_dpu_tool_mem_info* src, const hi_dpu_tool_mem_info* dst,
                         std::uint32_t width, std::uint32_t height) {
    if (width < kDpuMinWidth || width > kDpuMaxWidth) {
        std::printf("max-width: %d, min-width: %d\n", static_cast<int>(kDpuMaxWidth),
                    static_cast<int>(kDpuMinWidth));
        DPU_TOOL_REPORT("Error: width must be in [%d, %d] !\n", static_cast<int>(kDpuMinWidth),
                        static_cast<int>(kDpuMaxWidth));
        return -1;
    }
    if (height < kDpuMinHeight || height > kDpuMaxHeight) {
        std::printf("max-height: %d, min-height: %d, height: %d\n", static_cast<int>(kDpuMaxHeight),
                    static_cast<int>(kDpuMinHeight), static_cast<int>(height));
        DPU_TOOL_REPORT("Error: height must be in [%d, %d] !\n", static_cast<int>(kDpuMinHeight),
                        static_cast<int>(kDpuMaxHeight));
        return -1;
    }
    // Both dimensions are bounded now, so the products cannot overflow 32 bits.
    const std::uint32_t pixels = width * height;
    if (src == nullptr || src->addr == nullptr || src->size != pixels * 2u * sizeof(float)) {
        DPU_TOOL_REPORT(
            "Error:  Src memory size must be equel to (width * height *  sizeof(FLOAT) * 2) !\n");
        return -1;
    }
    if (dst == nullptr || dst->addr == nullptr ||
        dst->size != pixels * kDpuEntrySize + kDpuHeaderSize) {
        DPU_TOOL_REPORT("Error:  Dst memory size must be equel to (width * height *  %u + %u) !\n",
                        kDpuEntrySize, kDpuHeaderSize);
        return -1;
    }
    return 0;
}

void dpu_tool_generate_map(const hi_dpu_tool_mem_info* src, const hi_dpu_tool_mem_info* dst,
                           std::uint32_t width, std::uint32_t height) {
    const std::uint8_t* in = src->addr;
    std::uint8_t* out = dst->addr + kDpuHeaderSize;
    const std::uint64_t pixels = static_cast<std::uint64_t>(width) * height;
    for (std::uint64_t p = 0; p < pixels; ++p) {
        const float sx = readFloat(in);
        const float sy = readFloat(in + 4);
        putLittleEndian32(out, dpu_tool_encode_entry(sx, sy));
        in += 8;
        out += kDpuEntrySize;
    }
}

std::uint32_t dpu_tool_calc_crc32(std::uint32_t previous, const std::uint8_t* data,
                                  std::uint32_t length) {
    static const std::array<std::uint32_t, 256> table = makeCrcTable();
    if (length == 0) {
        return previous;
    }
    std::uint32_t crc = ~previous;
    for (std::uint32_t i = 0; i < length; ++i) {
        crc = table[(crc ^ data[i]) & 0xFFu] ^ (crc >> 8);
    }
    return ~crc;
}

int hi_dpu_tool(const hi_dpu_tool_mem_info* src, const hi_dpu_tool_mem_info* dst,
                std::uint32_t width, std::uint32_t height) {
    if (dpu_tool_check_param(src, dst, width, height) != 0) {
        DPU_TOOL_REPORT("Illegal parameter!\n");
        return -1;
    }
    std::memcpy(dst->addr + 4, kFormatTag, sizeof kFormatTag);
    putLittleEndian32(dst->addr + 12, width);
    putLittleEndian32(dst->addr + 16, height);
    dpu_tool_generate_map(src, dst, width, height);
    putLittleEndian32(dst->addr, dpu_tool_calc_crc32(0, dst->addr + 4, dst->size - 4));
    return 0;
}
