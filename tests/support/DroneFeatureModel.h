#pragma once

#include "device/wire/FeatureData.h"
#include "tests/support/StereoRigSimulator.h"

#include <QByteArray>

#include <cstdint>
#include <vector>

// The drone's feature packets for a calibration run of a StereoRigSimulator
// rig: an adapter that places the rig's cameras at its 26 poses and lets the
// simulator's DroneVision (tools/dronesim) do the drone's processing.
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

private:
    SimulatedRig m_rig;
    int m_pair;
    DroneFeatureSettings m_settings;
};
