#pragma once

#include <QSize>
#include <QSizeF>
#include <QString>

// How large one pixel of a screen is, in millimetres: what turns the board's
// lattice steps (drawn in pixels) into centimetres. Operating systems pass on
// the physical size a monitor reports, and monitors and TVs often report it
// wrongly, as 0, or only as an aspect ratio. A scale error of a few percent
// still passes the baseline check and scales every depth the drone measures,
// so the user can correct it by matching an ID-1 card (85.60 x 53.98 mm)
// against an outline on the screen. The corrected value is kept in the
// preferences ("ScreenScale" group of the application's settings) for that
// screen: its name and resolution.
//
// Every function opens the settings anew, as the language preference does, so
// a value stored by one window is seen at once by the board of the next run.
class ScreenScale {
public:
    // ISO/IEC 7810 ID-1: bank cards, identity cards, driving licences.
    static constexpr double kCardWidthMm = 85.60;
    static constexpr double kCardHeightMm = 53.98;
    static constexpr double kCardCornerRadiusMm = 3.18;
    // Pixel densities a monitor's report is believed in; outside them it is
    // taken as wrong. Logical pixels: a 2x HiDPI panel counts at half its
    // density.
    static constexpr double kMinPlausiblePpi = 50.0;
    static constexpr double kMaxPlausiblePpi = 400.0;
    // Densities a card check may find: a large TV is truly below 50 pixels per
    // inch (a 65-inch 1080p panel has 34).
    static constexpr double kMinCheckedPpi = 20.0;
    static constexpr double kMaxCheckedPpi = 400.0;
    static constexpr double kMmPerInch = 25.4;

    // A screen as the operating system describes it.
    struct Screen {
        QString name;   // e.g. "DP-1", "DELL U2415"
        QSize sizePx;   // whole screen, logical pixels (what the board is drawn in)
        QSizeF sizeMm;  // physical size as reported; 0 (or empty) when unknown
    };

    // From a QScreen (or anything with name(), geometry() and physicalSize()).
    // A template so that this widget-free library needs no GUI module.
    template <class ScreenT>
    static Screen describe(const ScreenT& screen) {
        return Screen{screen.name(), screen.geometry().size(), screen.physicalSize()};
    }

    // Width of one pixel from the reported width; 0 when the report is empty.
    static double reportedMmPerPx(const Screen& screen);
    // True when both reported dimensions are above 0 and give a density of
    // kMinPlausiblePpi to kMaxPlausiblePpi pixels per inch.
    static bool reportIsPlausible(const Screen& screen);

    // The value the user stored for this screen by the card check; 0 when
    // none is stored, or when the stored one is no density a check can find
    // (hand-edited preferences; one log line).
    static double storedMmPerPx(const Screen& screen);
    // Stores a checked value for this screen (name and resolution). False,
    // with a log line, for a value outside kMinCheckedPpi..kMaxCheckedPpi or
    // when the preferences cannot be written.
    static bool store(const Screen& screen, double mmPerPx);
    static void forget(const Screen& screen);

    // What the board uses: the stored value, else the reported one (which may
    // be 0 or implausible).
    static double mmPerPx(const Screen& screen);
    // Screen width in millimetres from mmPerPx(): what the data channel takes.
    static double widthMm(const Screen& screen) { return mmPerPx(screen) * screen.sizePx.width(); }
    // A run must not start on this screen before the card check: nothing is
    // stored and the report is missing or implausible.
    static bool needsCheck(const Screen& screen);

    static double ppi(double mmPerPx) { return mmPerPx > 0.0 ? kMmPerInch / mmPerPx : 0.0; }
    // Within kMinCheckedPpi..kMaxCheckedPpi.
    static bool isCheckable(double mmPerPx);

    // The preference key of a screen: its name (percent-encoded, so that a
    // "/" in it makes no settings group) and resolution.
    static QString key(const Screen& screen);
};
