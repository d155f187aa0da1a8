#pragma once

#include <QRect>
#include <QWidget>

// The calibration target drawn on the computer's own screen: a staggered board
// of 270 black circles on a 27 x 20 lattice with three enlarged mark circles at
// (12, 7), (11, 12) and (15, 12), as large as the widget allows at 4:3. The
// background is left to the parent (white on the calibration window).
//
// Every paint publishes the circle radius (pixels) and the physical width of
// the screen showing the board to the data channel, whose ordering tasks turn
// lattice steps into centimetres with them. The width is the one the user
// checked against a card for this screen when there is one (ScreenScale),
// else the one the screen reports.
class BCBoard : public QWidget {
    Q_OBJECT

public:
    // Placement of the board in a widget of a given size: top-left corner and
    // circle radius in pixels. A 4:3 area narrower than 106 pixels gives r <= 0.
    struct Layout {
        int x0 = 0;
        int y0 = 0;
        int r = 0;
    };

    explicit BCBoard(QWidget* parent = nullptr);

    static Layout layoutFor(int width, int height);
    // Bounding square (side 2r) of the circle at lattice column x, row y.
    static QRect circleRect(const Layout& layout, int x, int y);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void publishMetrics(int r);
    void drawBCBard(int x0, int y0, int r);
};
