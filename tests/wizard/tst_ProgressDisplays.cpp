#include "wizard/ProgressBar.h"
#include "tests/support/TestMain.h"

#include <QtTest>

// The calibration window's 26-segment capture bar.
class TestProgressDisplays : public QObject {
    Q_OBJECT

private slots:
    void segmentsFillOneByOneUntilReset() {
        ProgressBar bar;
        bar.setValue(3);
        bar.setValue(5);
        // Indexes outside the bar change nothing.
        bar.setValue(-1);
        bar.setValue(ProgressBar::kSegments);
        for (int i = 0; i < ProgressBar::kSegments; ++i) {
            QCOMPARE(bar.isSegmentDone(i), i == 3 || i == 5);
        }
        bar.reset();
        for (int i = 0; i < ProgressBar::kSegments; ++i) {
            QVERIFY(!bar.isSegmentDone(i));
        }
    }
};

NIMBRA_GUI_TEST_MAIN(TestProgressDisplays)
#include "tst_ProgressDisplays.moc"
