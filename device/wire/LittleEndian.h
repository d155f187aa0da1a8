#pragma once

#include <cstdint>
#include <cstring>

// Byte-order helpers for the drone's wire formats, which are little-endian on
// every channel whatever the host is. Values are assembled byte by byte, so a
// record is never laid over a buffer and alignment never matters.
//
// Readers take a pointer to at least sizeof(T) readable bytes; writers a
// pointer to at least sizeof(T) writable bytes. Bounds are the caller's job.
namespace LittleEndian {

inline std::uint16_t readU16(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

inline std::uint32_t readU32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
           (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

inline std::uint64_t readU64(const char* p) {
    return static_cast<std::uint64_t>(readU32(p)) |
           (static_cast<std::uint64_t>(readU32(p + 4)) << 32);
}

inline std::int32_t readI32(const char* p) {
    const std::uint32_t u = readU32(p);
    std::int32_t v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

inline float readF32(const char* p) {
    const std::uint32_t u = readU32(p);
    float v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

inline double readF64(const char* p) {
    const std::uint64_t u = readU64(p);
    double v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

inline void writeU16(char* p, std::uint16_t v) {
    p[0] = static_cast<char>(v & 0xff);
    p[1] = static_cast<char>(v >> 8);
}

inline void writeU32(char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<char>((v >> (8 * i)) & 0xff);
    }
}

inline void writeU64(char* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) {
        p[i] = static_cast<char>((v >> (8 * i)) & 0xff);
    }
}

inline void writeI32(char* p, std::int32_t v) {
    std::uint32_t u;
    std::memcpy(&u, &v, sizeof u);
    writeU32(p, u);
}

inline void writeF32(char* p, float v) {
    std::uint32_t u;
    std::memcpy(&u, &v, sizeof u);
    writeU32(p, u);
}

inline void writeF64(char* p, double v) {
    std::uint64_t u;
    std::memcpy(&u, &v, sizeof u);
    writeU64(p, u);
}

}  // namespace LittleEndian
