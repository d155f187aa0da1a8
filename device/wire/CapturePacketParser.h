#pragma once

#include "device/wire/CaptureEvents.h"
#include "device/wire/StatusPacket.h"

#include <QByteArray>

// Turns the capture control channel's status packets into guidance events.
//
// Keeps the far/near counter: consecutive packets whose distance ratio is out
// of range (too far and too near count together). Such a packet is reported
// only from the tenth in a row on; an in-range packet resets the count.
//
// The camera flags are the session's: whether the last camera the stream
// reader reported as opened is a downward one and whether it is a right one.
class CapturePacketParser {
public:
    // Ratio bounds, compared in double precision after widening the packet's
    // single-precision value.
    static constexpr double kTooCloseRatio = 1.05;
    static constexpr double kTooFarRatio = 0.7;
    // Out-of-range packets in a row that are held back before guidance starts.
    static constexpr int kSilentOutOfRange = 9;

    // One packet of at least 71 bytes (longer input is read up to byte 71);
    // logs the state, switch and finish texts. Shorter input yields no event
    // and leaves the counter as it was.
    CaptureEvents packetParser(const QByteArray& packet, bool isDownView, bool isRightView);

    // The three circles as rectangles: left x - size/2, top y - size/2, width
    // and height size, each truncated toward zero (NaN as 0, and clamped to
    // +-2^24 so that no rectangle arithmetic can overflow).
    static CirclePositions featureCircle(const IMAGE::ImageData& data, bool isDownView);

    int farNearCount() const { return m_nFarNear; }

private:
    std::optional<FlightGuidance::FlightState> guidance(const IMAGE::ImageData& data);

    int m_nFarNear = 0;
};
