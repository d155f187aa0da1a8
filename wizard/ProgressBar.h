#pragma once

#include <QList>
#include <QWidget>

class QLabel;

// The calibration window's capture progress: 26 segments, one per image of a
// camera pair, grey until the image is taken, then green.
class ProgressBar : public QWidget {
    Q_OBJECT

public:
    static constexpr int kSegments = 26;

    explicit ProgressBar(QWidget* parent = nullptr);

    // Turns segment index green and leaves the others as they are; an index
    // outside 0..25 is logged and ignored.
    void setValue(int index);
    // All segments grey again.
    void reset();

    bool isSegmentDone(int index) const;
    QLabel* segment(int index) const { return m_labels.value(index, nullptr); }

private:
    QList<QLabel*> m_labels;
};
