#pragma once

#include <QByteArray>

#include <array>
#include <cstdint>

namespace IMAGE {

// One circle of the target board as the drone sees it, image pixels.
struct Circle {
    float x = 0;  // centre
    float y = 0;
    float size = 0;  // diameter
};

// The capture control channel's status packet (device to desktop), always 71
// bytes, little-endian:
//
//   0  head 0x01 0x02       2  2 bytes unread
//   4  3 x (f32 x, f32 y, f32 size)   circles 1 to 3
//   40 i32 pos   44 i32 frame   48 i32 index (image within the pair, 0-25)
//   52 8 bytes unread       60 i32 rotation (sign: + counter-clockwise)
//   64 f32 distance ratio   68 tail 0x03 0x04 0x00 (not checked)
//
// Decoded field by field, never laid over the buffer. Unread bytes are kept so
// that a decoded packet encodes back to the same bytes.
struct ImageData {
    static constexpr int kWireSize = 71;

    std::array<std::uint8_t, 2> head{{0x01, 0x02}};
    std::array<std::uint8_t, 2> reserved1{};
    std::array<Circle, 3> circles{};
    std::int32_t pos = 0;
    std::int32_t frame = 0;
    std::int32_t index = 0;
    std::array<std::uint8_t, 8> reserved2{};
    std::int32_t rotation = 0;
    float ratio = 0;
    std::array<std::uint8_t, 3> tail{{0x03, 0x04, 0x00}};

    QByteArray toBytes() const;

    // Reads the first 71 bytes; false (out untouched) when fewer are given.
    static bool fromBytes(const QByteArray& bytes, ImageData* out);
};

}  // namespace IMAGE
