#pragma once

#include "Calibration/hi_dpu_tool.h"

#include <QString>

#include <cstdint>

// File side of the depth-unit map conversion: reads a raw float map file
// (width x height pixels, two 32-bit floats each, no header), converts it with
// hi_dpu_tool and writes the depth-unit map file. Progress and success are
// printed to standard output; failures are printed or logged, never returned.
class HiDPUInterface {
public:
    HiDPUInterface() = default;

    // Converts srcPath into dstPath. No output file is written when the source
    // cannot be read completely (missing or shorter than width * height * 8
    // bytes) or when the library rejects the dimensions.
    void outFile(const QString& srcPath, const QString& dstPath, std::uint32_t width,
                 std::uint32_t height);

    // Reads exactly size bytes of path into mem->addr in one read. Returns 0, or
    // -1 with a debug line when the file cannot be opened or holds fewer bytes.
    int load_data(hi_dpu_tool_mem_info* mem, const QString& path, std::uint32_t size);

    // Writes size bytes of mem->addr to path (created or truncated) in one write.
    // Returns 0, or -1 with a debug line when it cannot be opened or written.
    int save_map(const hi_dpu_tool_mem_info* mem, const QString& path, std::uint32_t size);
};
