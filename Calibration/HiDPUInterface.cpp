#include "Calibration/HiDPUInterface.h"

#include "Calibration/WholeWrite.h"

#include <QDebug>
#include <QFile>
#include <QtEndian>

#include <cstdio>
#include <vector>

namespace {

// The library accepts at most 1920 x 1080; larger dimensions would only make
// the conversion allocate gigabytes before the library refuses them.
bool dimensionsFit(std::uint32_t width, std::uint32_t height) {
    const std::uint64_t pixels = static_cast<std::uint64_t>(width) * height;
    return pixels <= static_cast<std::uint64_t>(kDpuMaxWidth) * kDpuMaxHeight;
}

void setError(QString* error, const QString& why) {
    if (error) {
        *error = why;
    }
}

}  // namespace

bool HiDPUInterface::outFile(const QString& srcPath, const QString& dstPath, std::uint32_t width,
                             std::uint32_t height, QString* error) {
    std::printf("width-%d height-%d\n", static_cast<int>(width), static_cast<int>(height));
    if (!dimensionsFit(width, height)) {
        qDebug() << "map dimensions too large:" << width << "x" << height;
        setError(error, QStringLiteral("map dimensions %1 x %2 too large").arg(width).arg(height));
        return false;
    }
    std::vector<std::uint8_t> srcBuffer(static_cast<size_t>(width) * height * 8);
    hi_dpu_tool_mem_info src{srcBuffer.data(), static_cast<std::uint32_t>(srcBuffer.size())};
    if (load_data(&src, srcPath, src.size) != 0) {
        setError(error, QStringLiteral("cannot read %1 bytes of %2").arg(src.size).arg(srcPath));
        return false;
    }
    return convertAndSave(src, dstPath, width, height, error);
}

bool HiDPUInterface::outMat(const cv::Mat& rawMap, const QString& dstPath, std::uint32_t width,
                            std::uint32_t height, QString* error) {
    std::printf("width-%d height-%d\n", static_cast<int>(width), static_cast<int>(height));
    if (!dimensionsFit(width, height) || rawMap.type() != CV_32FC1 || !rawMap.isContinuous() ||
        static_cast<std::uint64_t>(rawMap.total()) * 4 !=
            static_cast<std::uint64_t>(width) * height * 8) {
        qDebug() << "raw map does not fit" << width << "x" << height;
        setError(error, QStringLiteral("the raw map does not hold %1 x %2 pixels for %3")
                            .arg(width)
                            .arg(height)
                            .arg(dstPath));
        return false;
    }
    // The library only reads the source.
    const hi_dpu_tool_mem_info src{const_cast<std::uint8_t*>(rawMap.ptr<std::uint8_t>()),
                                   static_cast<std::uint32_t>(rawMap.total() * 4)};
    return convertAndSave(src, dstPath, width, height, error);
}

bool HiDPUInterface::convertAndSave(const hi_dpu_tool_mem_info& src, const QString& dstPath,
                                    std::uint32_t width, std::uint32_t height, QString* error) {
    std::printf("size = %d, width = %d, height = %d\n", static_cast<int>(src.size),
                static_cast<int>(width), static_cast<int>(height));
    std::vector<std::uint8_t> dstBuffer(static_cast<size_t>(width) * height * kDpuEntrySize +
                                        kDpuHeaderSize);
    hi_dpu_tool_mem_info dst{dstBuffer.data(), static_cast<std::uint32_t>(dstBuffer.size())};
    if (hi_dpu_tool(&src, &dst, width, height) != 0) {
        setError(error, QStringLiteral("the map conversion refused %1 x %2 pixels for %3")
                            .arg(width)
                            .arg(height)
                            .arg(dstPath));
        return false;
    }
    if (save_map(&dst, dstPath, dst.size) != 0) {
        setError(error, m_saveError);
        return false;
    }
    std::puts("Trans map successful!");
    return true;
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
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        qDebug() << file.errorString() << path;
        m_saveError = WholeWrite::error(path, file);
        return -1;
    }
    if (mem == nullptr || mem->addr == nullptr || mem->size < size) {
        qDebug() << "save_map: buffer smaller than" << size << "bytes" << path;
        m_saveError = QStringLiteral("nothing to write to %1").arg(path);
        return -1;
    }
    if (!WholeWrite::write(file, reinterpret_cast<const char*>(mem->addr), size)) {
        qDebug() << "save_map: cannot write" << size << "bytes" << file.errorString() << path;
        m_saveError = WholeWrite::error(path, file);
        // A truncated map must not be left behind to be uploaded.
        file.remove();
        return -1;
    }
    return 0;
}

QString HiDPUInterface::checkMap(const QByteArray& map, std::uint32_t width, std::uint32_t height) {
    const qint64 expected =
        static_cast<qint64>(width) * height * kDpuEntrySize + static_cast<qint64>(kDpuHeaderSize);
    if (map.size() != expected) {
        return QStringLiteral("%1 bytes instead of %2").arg(map.size()).arg(expected);
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(map.constData());
    if (map.mid(4, 8) != QByteArray("DPU_1.0\0", 8)) {
        return QStringLiteral("no \"DPU_1.0\" tag");
    }
    const quint32 w = qFromLittleEndian<quint32>(bytes + 12);
    const quint32 h = qFromLittleEndian<quint32>(bytes + 16);
    if (w != width || h != height) {
        return QStringLiteral("size fields %1 x %2 instead of %3 x %4")
            .arg(w)
            .arg(h)
            .arg(width)
            .arg(height);
    }
    const quint32 stored = qFromLittleEndian<quint32>(bytes);
    const quint32 crc =
        dpu_tool_calc_crc32(0, bytes + 4, static_cast<std::uint32_t>(map.size() - 4));
    if (stored != crc) {
        return QStringLiteral("CRC %1 does not match its content (%2)")
            .arg(stored, 8, 16, QLatin1Char('0'))
            .arg(crc, 8, 16, QLatin1Char('0'));
    }
    return QString();
}

QString HiDPUInterface::checkMapFile(const QString& path, std::uint32_t width,
                                     std::uint32_t height) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
    }
    // A map is about 1.2 MB; anything much larger is not one.
    const qint64 limit = static_cast<qint64>(kDpuMaxWidth) * kDpuMaxHeight * kDpuEntrySize +
                         static_cast<qint64>(kDpuHeaderSize);
    if (file.size() > limit) {
        return QStringLiteral("%1 bytes, larger than any depth-unit map").arg(file.size());
    }
    return checkMap(file.readAll(), width, height);
}
