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

    // While the maps travel to the drone the page says how far they are, in
    // the language chosen, and nothing once the run has its result.
    void uploadShownInBothLanguagesUntilTheResult() {
        qputenv("NIMBRA_DEVICE_ADDRESS", "127.0.0.18");  // no drone: the main window idles
        ProgressWidget page;
        QLabel* upload = page.findChild<QLabel*>(QStringLiteral("upload"));
        QVERIFY(upload);
        QVERIFY(!upload->isVisibleTo(&page));
        QVERIFY(upload->text().isEmpty());
        ImageDeal* deal = BCInstanceManager::getInstance()->getImageDeal();
        emit deal->uploadProgress(1000, 4000);
        QVERIFY(upload->isVisibleTo(&page));
        QCOMPARE(upload->text(), QStringLiteral("正在把标定结果发送到无人机… 25%"));
        page.langueChange(QStringLiteral("en"));
        QCOMPARE(upload->text(), QStringLiteral("Sending the calibration to the drone… 25 %"));
        emit deal->uploadProgress(4000, 4000);
        QVERIFY(upload->text().endsWith(QStringLiteral("100 %")));
        emit deal->result(true);
        QVERIFY(!upload->isVisibleTo(&page));
        page.langueChange(QStringLiteral("zh"));
        QVERIFY(upload->text().isEmpty());
    }
};

NIMBRA_GUI_TEST_MAIN(TestProgressDisplays)
#include "tst_ProgressDisplays.moc"
