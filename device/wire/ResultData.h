#pragma once

#include <QByteArray>

#include <cstdint>

// One camera's calibration result as uploaded to the drone (desktop to device),
// 74 bytes on the wire, little-endian:
//
//   0  u16 head 0x0201        2  u8 pair (1 forward, 2 downward)
//   3  u8 camera (1 left, 2 right)   4  4 bytes padding, sent as zero
//   8  f64 fx   16 f64 fy   24 f64 cx   32 f64 cy      (camera matrix, pixels)
//   40 f64 tx                                         (pair translation x, cm)
//   48 f64 p00  56 f64 p02  64 f64 p12                (rectified projection)
//   72 u16 tail 0x0403
//
// Bytes 2-3 read as one u16 give the type code: 257 forward left, 513 forward
// right, 258 downward left, 514 downward right.
struct ResultData {
    static constexpr int kWireSize = 74;
    static constexpr std::uint16_t kHead = 0x0201;
    static constexpr std::uint16_t kTail = 0x0403;

    // Camera positions in the numbering of the stream reader's VideoPosition:
    // 0 forward left, 1 forward right, 2 downward left, 3 downward right.
    static constexpr int kForwardLeft = 0;
    static constexpr int kForwardRight = 1;
    static constexpr int kDownwardLeft = 2;
    static constexpr int kDownwardRight = 3;

    std::uint16_t head = 0;
    std::uint8_t pair = 0;
    std::uint8_t camera = 0;
    std::uint32_t padding = 0;
    double fx = 0;
    double fy = 0;
    double cx = 0;
    double cy = 0;
    double tx = 0;
    double p00 = 0;
    double p02 = 0;
    double p12 = 0;
    std::uint16_t tail = 0;

    // pair | camera << 8, as the drone reads bytes 2-3.
    std::uint16_t typeCode() const { return static_cast<std::uint16_t>(pair | (camera << 8)); }

    // Sets pair and camera for a camera position; returns false and leaves
    // them unchanged for a position outside the four cameras.
    bool setCamera(int position);

    QByteArray toBytes() const;

    // Reads the 74-byte layout; false (out untouched) when fewer bytes are given.
    static bool fromBytes(const QByteArray& bytes, ResultData* out);
};
