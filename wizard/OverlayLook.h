#pragma once

class QWidget;

// The shared look and behaviour of the calibration window's overlays.
namespace OverlayLook {
// Fills the overlay with black at alpha 77 so the window stays visible,
// darkened, behind it; hides it and gives it the parent's full rectangle.
void apply(QWidget* overlay);
// Ends a run: stream reader, data channel, capture channel, in this order
// (the capture channel's reports must not outlive the data channel's run).
void stopRun();
}  // namespace OverlayLook
