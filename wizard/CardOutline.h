#pragma once

#include <QWidget>

// The outline of an ID-1 card (85.60 x 53.98 mm, corners rounded 3.18 mm)
// drawn at a given width in pixels, its top-left corner at the widget's
// top-left corner: the user lays a real card on it and matches the edges. A
// card taller than the widget is cut at the bottom; only its width is
// matched. The card is a flat gold area (kFill) on the page's dark
// background, so that its edges stand out and a screenshot shows its exact
// extent.
class CardOutline : public QWidget {
    Q_OBJECT

public:
    static constexpr QRgb kFill = 0xE0B040;

    explicit CardOutline(QWidget* parent = nullptr);

    // Width of the card in pixels; its height follows the card's aspect.
    void setCardWidthPx(int widthPx);
    int cardWidthPx() const { return m_widthPx; }
    // The card's rectangle in this widget.
    QRect cardRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_widthPx = 0;
};
