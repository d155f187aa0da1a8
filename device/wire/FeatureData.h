#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include <opencv2/core/types.hpp>

// One feature packet of the data channel: the circle centres the drone found in
// one captured image. Owned by the data channel until an ordering task has
// taken its points, matrix and mark indices.
struct FeatureData {
    std::uint16_t head = 0;               // bytes 0-1 as read (0x0201 on a well-framed packet)
    std::uint8_t view = 0;                // camera pair: 4 forward, 5 downward
    std::uint8_t view1 = 0;               // camera of the pair: 1 left, 2 right
    std::uint32_t index = 0;              // image number within the pair, from 0
    std::uint32_t len = 0;                // whole packet length in bytes, head and tail included
    std::vector<cv::Point2f> points;      // circle centres, image pixels, in packet order
    std::array<std::uint64_t, 3> size{};  // indexes into points of the three mark circles
    std::array<double, 9> mat{};          // 3x3 homography, row-major
};
