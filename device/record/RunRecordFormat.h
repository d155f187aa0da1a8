#pragma once

#include <cstdint>

// The run record: every chunk of bytes the data channel received during one
// calibration run, unchanged and before any parsing, with what a replay needs
// to compute the same board points. All integers little-endian; see
// docs/run-record.md.
//
//   header (32 bytes): "NIMBREC1", u32 version (1), i32 board circle radius
//   (pixels), f64 screen width (mm), u32 screen width (pixels), 4 zero bytes
//   records: u64 microseconds since the record started, u8 channel, u32 n,
//   n bytes
namespace RunRecordFormat {

constexpr char kMagic[8] = {'N', 'I', 'M', 'B', 'R', 'E', 'C', '1'};
constexpr std::uint32_t kVersion = 1;
constexpr int kHeaderSize = 32;
constexpr int kRecordHeaderSize = 13;  // u64 time, u8 channel, u32 length
constexpr std::uint8_t kDataChannel = 1;
// A socket read is at most a few hundred kilobytes; a longer record is
// corruption, and refusing it keeps a reader's memory bounded.
constexpr std::uint32_t kMaxRecordBytes = 16u * 1024u * 1024u;

struct Header {
    std::int32_t radiusPx = 0;
    double screenWidthMm = 0.0;
    std::uint32_t screenWidthPx = 0;
};

}  // namespace RunRecordFormat
