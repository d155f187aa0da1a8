#pragma once

#include "Calibration/hi_dpu_tool.h"

#include <QByteArray>
#include <QString>

#include <opencv2/core.hpp>

#include <cstdint>

// File side of the depth-unit map conversion: takes a raw float map (width x
// height pixels, two 32-bit floats each, no header) from a file or from
// memory, converts it with hi_dpu_tool and writes the depth-unit map file.
// Progress and success are printed to standard output, as the conversion
// always reported them; every failure is returned as well.
class HiDPUInterface {
public:
    HiDPUInterface() = default;

    // Converts srcPath into dstPath. False, and no output file, when the
    // source cannot be read completely (missing or shorter than width *
    // height * 8 bytes), the library rejects the dimensions or the output
    // cannot be written whole; error then says why.
    bool outFile(const QString& srcPath, const QString& dstPath, std::uint32_t width,
                 std::uint32_t height, QString* error = nullptr);

    // The same from a raw map in memory: rawMap holds height rows of width x 2
    // 32-bit floats (CV_32FC1, the raw map file's layout).
    bool outMat(const cv::Mat& rawMap, const QString& dstPath, std::uint32_t width,
                std::uint32_t height, QString* error = nullptr);

    // Reads exactly size bytes of path into mem->addr in one read. Returns 0, or
    // -1 with a debug line when the file cannot be opened or holds fewer bytes.
    int load_data(hi_dpu_tool_mem_info* mem, const QString& path, std::uint32_t size);

    // Writes size bytes of mem->addr to path (created or truncated) in one write.
    // Returns 0, or -1 with a debug line when it cannot be opened or written;
    // a partly written file is removed.
    int save_map(const hi_dpu_tool_mem_info* mem, const QString& path, std::uint32_t size);

    // Whether a depth-unit map holds together: width x height x 4 + 20 bytes,
    // the tag "DPU_1.0" with its zero byte, the width and height fields and
    // the CRC-32 of bytes 4 to the end. Empty when it does, else why not.
    static QString checkMap(const QByteArray& map, std::uint32_t width, std::uint32_t height);
    // checkMap of a file, which must exist and be readable.
    static QString checkMapFile(const QString& path, std::uint32_t width, std::uint32_t height);

private:
    bool convertAndSave(const hi_dpu_tool_mem_info& src, const QString& dstPath,
                        std::uint32_t width, std::uint32_t height, QString* error);
    QString m_saveError;  // why the last save_map failed
};
