#pragma once

#include "FeatureData.h"
#include "StereoRigSimulator.h"

#include <QByteArray>

#include <cstdint>
#include <vector>

// What the drone's own image processing sends on the data channel for a
// calibration run, from a ground-truth stereo rig: for every image of a pair
// and each camera, the detected circle centres of the whole on-screen board
// (270 circles, marks and ring-cut circles included) that fall inside the
// image, with detection noise, in shuffled order, mapped by the drone's
// normalising homography H into a fronto-parallel board frame (one lattice
// step = stepPx pixels), the indexes of the three mark circles (never 0 for a
// seen mark; 0 when a mark is not seen) and H itself.
struct DroneFeatureSettings {
    float boardUnitCm = 1.255f;  // lattice step of the board on the screen
    double noisePx = 0.15;       // detection noise (sigma), image pixels
    double stepPx = 20.0;        // lattice step in the sent frame, pixels
    std::uint64_t seed = 7;
};

class DroneFeatureModel {
public:
    DroneFeatureModel(SimulatedRig rig, int pair, DroneFeatureSettings settings);

    // One image: pair 4 (forward) or 5 (downward), camera 1 left / 2 right,
    // image index 0..25. Deterministic for equal settings.
    FeatureData feature(int index, int camera) const;

    // The same as feature(), encoded as the drone sends it.
    QByteArray packet(int index, int camera) const;

    const SimulatedRig& rig() const { return m_rig; }

    // Every circle of the board, lattice positions row by row.
    static std::vector<cv::Point> boardCircles();

private:
    SimulatedRig m_rig;
    int m_pair;
    DroneFeatureSettings m_settings;
};
