#include "Calibration/HiDPUInterface.h"

#include <QDebug>
#include <QFile>

#include <cstdio>
#include <vector>

void HiDPUInterface::outFile(const QString& srcPath, const QString& dstPath, std::uint32_t width,
                             std::uint32_t height) {
    std::printf("width-%d height-%d\n", static_cast<int>(width), static_cast<int>(height));

    // The library accepts at most 1920 x 1080; larger dimensions would only
    // make this allocate gigabytes before the library refuses them.
    const std::uint64_t pixels = static_cast<std::uint64_t>(width) * height;
    if (pixels > static_cast<std::uint64_t>(kDpuMaxWidth) * kDpuMaxHeight) {
        qDebug() << "map dimensions too large:" << width << "x" << height;
        return;
    }
    std::vector<std::uint8_t> srcBuffer(static_cast<size_t>(pixels * 8));
    std::vector<std::uint8_t> dstBuffer(
        static_cast<size_t>(pixels * kDpuEntrySize + kDpuHeaderSize));
    hi_dpu_tool_mem_info src{srcBuffer.data(), static_cast<std::uint32_t>(srcBuffer.size())};
    hi_dpu_tool_mem_info dst{dstBuffer.data(), static_cast<std::uint32_t>(dstBuffer.size())};

    if (load_data(&src, srcPath, src.size) != 0) {
        return;
    }
    std::printf("size = %d, width = %d, height = %d\n", static_cast<int>(src.size),
                static_cast<int>(width), static_cast<int>(height));
    if (hi_dpu_tool(&src, &dst, width, height) != 0) {
        return;
    }
    if (save_map(&dst, dstPath, dst.size) == 0) {
        std::puts("Trans map successful!");
    }
}

int HiDPUInterface::load_data(hi_dpu_tool_mem_info* mem, const QString& path, std::uint32_t size) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qDebug() << file.errorString() << path;
        return -1;
    }
    if (mem == nullptr || mem->addr == nullptr || mem->size < size) {
        qDebug() << "load_data: buffer smaller than" << size << "bytes" << path;
        return -1;
    }
    const qint64 got = file.read(reinterpret_cast<char*>(mem->addr), size);
    if (got != static_cast<qint64>(size)) {
        qDebug() << "load_data: read" << got << "of" << size << "bytes" << path;
        return -1;
    }
    return 0;
}

int HiDPUInterface::save_map(const hi_dpu_tool_mem_info* mem, const QString& path,
                             std::uint32_t size) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qDebug() << file.errorString() << path;
        return -1;
    }
    if (mem == nullptr || mem->addr == nullptr || mem->size < size) {
        qDebug() << "save_map: buffer smaller than" << size << "bytes" << path;
        return -1;
    }
    const qint64 written = file.write(reinterpret_cast<const char*>(mem->addr), size);
    if (written != static_cast<qint64>(size) || !file.flush()) {
        qDebug() << "save_map: wrote" << written << "of" << size << "bytes" << file.errorString()
                 << path;
        // A truncated map must not be left behind to be uploaded.
        file.remove();
        return -1;
    }
    return 0;
}
