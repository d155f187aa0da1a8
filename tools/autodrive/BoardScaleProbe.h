#pragma once

#include <QString>

// What the calibration window really draws on this display: the target
// board's circle radius in pixels and the width of one screen pixel in
// millimetres that the desktop believes (the one checked against a card and
// stored in NimbraDesktop's preferences, else the one the screen reports),
// measured by laying out the real calibration window (shown for a moment, no
// run started). The drone simulator needs both to see the board the desktop's
// ordering tasks assume; a screen whose true size differs is played by giving
// the simulator the true value instead.
class BoardScaleProbe {
public:
    struct Scale {
        int radiusPx = 0;
        double mmPerPx = 0.0;
    };

    // Needs a QApplication on the display to measure. A radius of 0 when the
    // window could not be laid out (no screen).
    static Scale measure();
};
