#include "Calibration/ScreenScale.h"
#include "tests/support/TestMain.h"

#include <QSettings>
#include <QtTest>

using Screen = ScreenScale::Screen;

// The screen's millimetres per pixel: which reports are believed, and the
// value a card check stores for one screen (name and resolution).
class TestScreenScale : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QCoreApplication::setOrganizationName(QStringLiteral("NimbraTest"));
        QCoreApplication::setApplicationName(QStringLiteral("tst_screenscale"));
    }
    void cleanup() { QSettings().clear(); }

    void reportsOutsideRealDensitiesAreNotBelieved_data() {
        QTest::addColumn<QSize>("pixels");
        QTest::addColumn<QSizeF>("millimetres");
        QTest::addColumn<bool>("plausible");
        QTest::newRow("24-inch monitor") << QSize(1920, 1080) << QSizeF(531, 299) << true;
        QTest::newRow("nothing reported") << QSize(1920, 1080) << QSizeF(0, 0) << false;
        QTest::newRow("aspect ratio only") << QSize(1920, 1080) << QSizeF(16, 9) << false;
        // 1920 px at 50 and 400 pixels per inch, and just beyond.
        QTest::newRow("50 ppi") << QSize(1920, 1080) << QSizeF(975.36, 548.64) << true;
        QTest::newRow("49.9 ppi") << QSize(1920, 1080) << QSizeF(977.3, 548.64) << false;
        QTest::newRow("400 ppi") << QSize(1920, 1080) << QSizeF(121.92, 68.58) << true;
        QTest::newRow("401 ppi") << QSize(1920, 1080) << QSizeF(121.6, 68.58) << false;
    }

    void reportsOutsideRealDensitiesAreNotBelieved() {
        QFETCH(QSize, pixels);
        QFETCH(QSizeF, millimetres);
        QFETCH(bool, plausible);
        const Screen screen{QStringLiteral("DP-1"), pixels, millimetres};
        QCOMPARE(ScreenScale::reportIsPlausible(screen), plausible);
        // Nothing stored: a run must wait for the card check exactly when the
        // report is not believed.
        QCOMPARE(ScreenScale::needsCheck(screen), !plausible);
    }

    void eachScreenKeepsItsOwnCheckedValue() {
        const Screen office{QStringLiteral("DP-1"), QSize(1920, 1080), QSizeF(531, 299)};
        const Screen tv{QStringLiteral("HDMI-1"), QSize(1920, 1080), QSizeF(16, 9)};
        const Screen officeAt1440{QStringLiteral("DP-1"), QSize(2560, 1440), QSizeF(531, 299)};
        const Screen slashed{QStringLiteral("DELL U2415 / rev A"), QSize(1920, 1200),
                             QSizeF(518, 324)};

        QVERIFY(ScreenScale::store(office, 0.2750));
        QVERIFY(ScreenScale::store(tv, 0.5400));
        QVERIFY(ScreenScale::store(slashed, 0.2700));
        QCOMPARE(ScreenScale::storedMmPerPx(office), 0.2750);
        QCOMPARE(ScreenScale::storedMmPerPx(tv), 0.5400);
        QCOMPARE(ScreenScale::storedMmPerPx(slashed), 0.2700);
        // The same output at another resolution has pixels of another size.
        QCOMPARE(ScreenScale::storedMmPerPx(officeAt1440), 0.0);
        QCOMPARE(ScreenScale::mmPerPx(officeAt1440), 531.0 / 2560);

        // The stored value wins over the report, and lifts the check; a new
        // check replaces only that screen's value.
        QCOMPARE(ScreenScale::widthMm(office), 0.2750 * 1920);
        QVERIFY(!ScreenScale::needsCheck(tv));
        QVERIFY(ScreenScale::store(office, 0.2760));
        QCOMPARE(ScreenScale::storedMmPerPx(office), 0.2760);
        QCOMPARE(ScreenScale::storedMmPerPx(tv), 0.5400);
    }

    void implausibleValuesAreNeitherStoredNorUsed() {
        const Screen screen{QStringLiteral("eDP-1"), QSize(1920, 1080), QSizeF(344, 194)};
        QVERIFY(!ScreenScale::store(screen, 0.0));
        QVERIFY(!ScreenScale::store(screen, 2.0));  // 12.7 pixels per inch
        QVERIFY(!ScreenScale::store(screen, std::nan("")));
        QCOMPARE(ScreenScale::storedMmPerPx(screen), 0.0);
        // Preferences edited by hand: the report is used, not the junk.
        QSettings().setValue(ScreenScale::key(screen), QStringLiteral("wide"));
        QCOMPARE(ScreenScale::mmPerPx(screen), 344.0 / 1920);
        QSettings().setValue(ScreenScale::key(screen), 0.001);
        QCOMPARE(ScreenScale::mmPerPx(screen), 344.0 / 1920);
    }
};

NIMBRA_CORE_TEST_MAIN(TestScreenScale)
#include "tst_screenscale.moc"
