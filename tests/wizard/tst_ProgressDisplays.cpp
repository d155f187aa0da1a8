#include "device/BCInstanceManager.h"
#include "device/ImageDeal.h"
#include "wizard/ProgressBar.h"
#include "wizard/ProgressWidget.h"
#include "tests/support/TestMain.h"

#include <QLabel>
#include <QtTest>

// The calibration window's 26-segment capture bar and the main window's
// calculation progress page.
class TestProgressDisplays : public QObject {
    Q_OBJECT

private slots:
    void segmentsTurnGreenOneByOneUntilReset() {
        ProgressBar bar;
        QVERIFY(bar.segment(ProgressBar::kSegments - 1));
        QVERIFY(!bar.segment(ProgressBar::kSegments));
        bar.setValue(3);
        for (int i = 0; i < ProgressBar::kSegments; ++i) {
            QCOMPARE(bar.isSegmentDone(i), i == 3);
        }
        QCOMPARE(bar.segment(3)->styleSheet(), QStringLiteral("background-color: #54D583"));
        bar.setValue(5);
        QVERIFY(bar.isSegmentDone(3));
        QVERIFY(bar.isSegmentDone(5));
        bar.reset();
        for (int i = 0; i < ProgressBar::kSegments; ++i) {
            QVERIFY(!bar.isSegmentDone(i));
            QCOMPARE(bar.segment(i)->styleSheet(), QStringLiteral("background-color: #BABCC6"));
        }
    }

    void indexesOutsideTheBarChangeNothing() {
        ProgressBar bar;
        bar.setValue(-1);
        bar.setValue(ProgressBar::kSegments);
        for (int i = 0; i < ProgressBar::kSegments; ++i) {
            QVERIFY(!bar.isSegmentDone(i));
        }
    }

    void progressPageFinishesAtFiftyTwo() {
        ProgressWidget page;
        ImageDeal* deal = BCInstanceManager::getInstance()->getImageDeal();
        emit deal->progress(51);
        QCOMPARE(page.value(), 51);
        QVERIFY(!page.isFinished());
        emit deal->progress(52);
        QVERIFY(page.isFinished());
    }
};

NIMBRA_GUI_TEST_MAIN(TestProgressDisplays)
#include "tst_ProgressDisplays.moc"
