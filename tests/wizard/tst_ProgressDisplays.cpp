#include "device/BCInstanceManager.h"
#include "device/ImageDeal.h"
#include "wizard/ProgressBar.h"
#include "wizard/ProgressWidget.h"
#include "tests/support/TestMain.h"

#include <QLabel>
#include <QRegularExpression>
#include <QtTest>

// The calibration window's 26-segment capture bar and the upload shown on the
// main window's progress page.
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
        QVERIFY2(upload->text().endsWith(QStringLiteral("25%")), qPrintable(upload->text()));
        page.langueChange(QStringLiteral("en"));
        QVERIFY2(upload->text().endsWith(QStringLiteral("25 %")), qPrintable(upload->text()));
        QVERIFY(
            !upload->text().contains(QRegularExpression(QStringLiteral("[\\x{4E00}-\\x{9FFF}]"))));
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
