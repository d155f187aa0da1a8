// Seed inputs for fuzz_feature_ordering: whole feature packets built by the
// project's own encoder, from a staggered board that orders to the end to the
// degenerate point sets the checks exist for.

#include "fuzz/CorpusFiles.h"

#include "device/wire/FeaturePacket.h"
#include "tests/support/EquidistantCircle.h"

namespace {

QByteArray packet(std::uint8_t view, std::uint8_t view1, std::uint32_t index,
                  const std::vector<cv::Point2f>& points, std::array<std::uint64_t, 3> marks) {
    FeatureData d;
    d.view = view;
    d.view1 = view1;
    d.index = index;
    d.points = points;
    d.size = marks;
    d.mat = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    return FeaturePacket::encode(d);
}

// The board's staggered lattice (x + y odd, rows 0..19, columns 0..26) at 20
// px per step, and the list indexes of the mark circles (12, 7), (11, 12),
// (15, 12).
std::vector<cv::Point2f> board(std::array<std::uint64_t, 3>* marks) {
    std::vector<cv::Point2f> points;
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 27; ++x) {
            if ((x + y) % 2 == 0) {
                continue;
            }
            if (x == 12 && y == 7) {
                (*marks)[2] = points.size();
            } else if (x == 11 && y == 12) {
                (*marks)[0] = points.size();
            } else if (x == 15 && y == 12) {
                (*marks)[1] = points.size();
            }
            points.emplace_back(40.0f + 20.0f * x, 30.0f + 20.0f * y);
        }
    }
    return points;
}

}  // namespace

int main(int argc, char* argv[]) {
    CorpusFiles corpus(argc, argv);
    if (!corpus.usable()) {
        return corpus.exitCode();
    }
    std::array<std::uint64_t, 3> marks{};
    const std::vector<cv::Point2f> full = board(&marks);
    corpus.add(packet(4, 1, 0, full, marks));
    corpus.add(packet(5, 2, 25, full, marks));

    // A small patch, a straight row, three points.
    corpus.add(
        packet(4, 2, 7, std::vector<cv::Point2f>(full.begin(), full.begin() + 40), {9, 1, 9}));
    std::vector<cv::Point2f> row;
    for (int i = 0; i < 13; ++i) {
        row.emplace_back(20.0f * i, 50.0f);
    }
    corpus.add(packet(4, 1, 3, row, {1, 2, 3}));
    corpus.add(packet(5, 1, 3, {{0, 0}, {10, 10}, {20, 0}}, {1, 0, 2}));

    corpus.add(packet(4, 1, 5, equidistantCircle(), {1, 2, 3}));

    // Two and three clusters of coincident centres.
    std::vector<cv::Point2f> clusters;
    for (int i = 0; i < 300; ++i) {
        clusters.emplace_back(i % 3 == 0 ? 0.0f : 100.0f, i % 3 == 2 ? 80.0f : 0.0f);
    }
    corpus.add(packet(5, 2, 1, clusters, {1, 2, 3}));
    clusters.resize(200);
    corpus.add(packet(4, 2, 2, clusters, {1, 2, 3}));
    return corpus.exitCode();
}
