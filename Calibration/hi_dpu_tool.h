#pragma once

#include <cstdint>

// Conversion of a float rectification map into the depth unit's fixed-point map.
// Plain functions working on caller-owned memory only: nothing is allocated or
// freed here. Reports of bad parameters go to standard output.
//
// Source: width x height pixels, row-major, two 32-bit floats per pixel (source
// x, then source y, in pixels); exactly width * height * 8 bytes.
// Destination (little-endian): CRC-32 of bytes 4..end at offset 0, the tag
// "DPU_1.0\0" at 4, width at 12, height at 16, then one 32-bit entry per pixel
// from offset 20: bits 0-4 x fraction (1/32 px), 5-9 y fraction, 10-20 integer
// x, 21-31 integer y (low 11 bits of each). Size width * height * 4 + 20.

struct hi_dpu_tool_mem_info {
    std::uint8_t* addr;
    std::uint32_t size;
};

constexpr std::uint32_t kDpuMinWidth = 128;
constexpr std::uint32_t kDpuMaxWidth = 1920;
constexpr std::uint32_t kDpuMinHeight = 64;
constexpr std::uint32_t kDpuMaxHeight = 1080;
constexpr std::uint32_t kDpuHeaderSize = 20;
constexpr std::uint32_t kDpuEntrySize = 4;

// Checks the parameters and fills dst completely. Returns 0, or -1 (after its
// reports) when a parameter is bad; dst is then left untouched.
int hi_dpu_tool(const hi_dpu_tool_mem_info* src, const hi_dpu_tool_mem_info* dst,
                std::uint32_t width, std::uint32_t height);

// 0 when width is in [128, 1920], height in [64, 1080] and both buffer sizes fit
// the dimensions exactly; otherwise prints the report of the first failing
// check and returns -1. Null descriptors or buffers fail the size checks.
int dpu_tool_check_param(const hi_dpu_tool_mem_info* src, const hi_dpu_tool_mem_info* dst,
                         std::uint32_t width, std::uint32_t height);

// Writes the width * height entries of dst from offset 20. No checks: the
// buffers must have the sizes dpu_tool_check_param accepts.
void dpu_tool_generate_map(const hi_dpu_tool_mem_info* src, const hi_dpu_tool_mem_info* dst,
                           std::uint32_t width, std::uint32_t height);

// CRC-32 (IEEE 802.3, reflected 0xEDB88320) of length bytes at data, continuing
// from previous (0 starts a new CRC; chaining gives the CRC of the
// concatenation). A length of 0 returns previous.
std::uint32_t dpu_tool_calc_crc32(std::uint32_t previous, const std::uint8_t* data,
                                  std::uint32_t length);

// One map entry from a pixel's source coordinates (exposed for the tests and
// the decoder of the tests; dpu_tool_generate_map applies it to every pixel).
std::uint32_t dpu_tool_encode_entry(float sx, float sy);
