#include "Calibration/ScreenScale.h"
#include "app/NimbraDesktop.h"
#include "device/BCInstanceManager.h"
#include "device/ImageCapture.h"
#include "device/ImageDeal.h"
#include "tests/support/TestMain.h"
#include "tests/support/UrlCatcher.h"
#include "video/VideoShow.h"
#include "wizard/BCWidget.h"
#include "wizard/ScreenSizeWidget.h"

#include <QDesktopServices>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Nothing listens here: the main window's heartbeat stays idle.
const char* const kDeviceAddress = "127.0.0.78";

const QRegularExpression kChinese(QStringLiteral("[\\x{4E00}-\\x{9FFF}]"));

QJsonObject camera(const QString& key, int ordered) {
    return {{"camera", key}, {"imagesReceived", 26}, {"imagesOrdered", ordered}};
}

QJsonObject pairJson(const QString& key, int leftOrdered = 26, int rightOrdered = 26) {
    const bool forward = key == QLatin1String("forward");
    return {{"pair", key},
            {"calibrated", true},
            {"stereoRms", forward ? 0.214 : 0.187},
            {"baselineCm", forward ? 5.93 : 3.89},
            {"baselineRangeCm", QJsonArray{forward ? 5.7 : 3.7, forward ? 6.1 : 4.1}},
            {"rmsLimitPx", 0.5},
            {"checks", QJsonArray()},
            {"cameras",
             QJsonArray{camera(key + "Left", leftOrdered), camera(key + "Right", rightOrdered)}}};
}

// report.json as a run writes it (docs/run-report.md), failed on check.
QJsonObject failedReport(const QString& pair, const QString& check, double measured, double min,
                         double max, int leftOrdered = 26, int rightOrdered = 26) {
    QJsonArray pairs{pairJson(QStringLiteral("forward")), pairJson(QStringLiteral("downward"))};
    if (!pair.isEmpty()) {
        const int at = pair == QLatin1String("forward") ? 0 : 1;
        QJsonObject failed = pairJson(pair, leftOrdered, rightOrdered);
        failed["calibrated"] = false;
        failed["checks"] = QJsonArray{QJsonObject{{"check", check},
                                                  {"state", "failed"},
                                                  {"measured", measured},
                                                  {"min", min},
                                                  {"max", max}}};
        pairs[at] = failed;
    }
    return {{"format", "nimbra-run-report"},
            {"result", "NG"},
            {"failure", QJsonObject{{"pair", pair.isEmpty() ? QJsonValue() : QJsonValue(pair)},
                                    {"check", check},
                                    {"message", "in the report's words"}}},
            {"pairs", pairs}};
}

QJsonObject passedReport() {
    return {{"format", "nimbra-run-report"},
            {"result", "OK"},
            {"failure", QJsonValue()},
            {"pairs", QJsonArray{pairJson(QStringLiteral("forward")),
                                 pairJson(QStringLiteral("downward"))}}};
}

}  // namespace

Q_DECLARE_METATYPE(QJsonObject)

// The OK and NG pages once the run's report is written, as the data channel
// hands it to the main window; the screen size check they and the menu open.
class TestResultPages : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        qputenv("NIMBRA_DEVICE_ADDRESS", kDeviceAddress);
        QCoreApplication::setOrganizationName(QStringLiteral("NimbraTest"));
        main = NimbraDesktop::getInstance();
        deal = BCInstanceManager::getInstance()->getImageDeal();
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    void init() {
        main->onLangueChanged(QStringLiteral("zh"));
        QSettings().remove(QStringLiteral("ScreenScale"));
    }

    void ngPageSaysWhyInTheUsersLanguage_data();
    void ngPageSaysWhyInTheUsersLanguage();
    void unreadableReportIsSaidSoWithoutALink();
    void viewReportOpensTheRunsPage();
    void aNewRunNeverShowsTheLastRunsReason();
    void okPageGivesEachPairsQuality();
    void checkStartsFromTheBestKnownSizeAndStoresTheOutline();
    void boardSizeReasonLeadsToTheCheckAndBack();
    void pageChangesWaitForTheCheckToEnd();

private:
    // The run's result, then its report written into a folder of its own.
    QString finishRun(bool ok, const QJsonObject& report) {
        auto* dir = new QTemporaryDir;
        dirs.emplace_back(dir);
        QFile file(dir->filePath(QStringLiteral("report.json")));
        if (!report.isEmpty() && file.open(QIODevice::WriteOnly)) {
            file.write(QJsonDocument(report).toJson());
            file.close();
        }
        emit deal->result(ok);
        emit deal->runReported(dir->path());
        return dir->path();
    }
    QWidget* page(NimbraDesktop::Page index) { return main->stack()->widget(index); }
    QString reason() { return page(NimbraDesktop::NgPage)->findChild<QLabel*>("reason")->text(); }
    QPushButton* button(NimbraDesktop::Page index, const char* name) {
        return page(index)->findChild<QPushButton*>(name);
    }

    NimbraDesktop* main = nullptr;
    ImageDeal* deal = nullptr;
    UrlCatcher catcher;
    std::vector<std::unique_ptr<QTemporaryDir>> dirs;
};

void TestResultPages::ngPageSaysWhyInTheUsersLanguage_data() {
    QTest::addColumn<QJsonObject>("report");
    QTest::addColumn<QStringList>("chinese");
    QTest::addColumn<QStringList>("english");
    QTest::addColumn<bool>("offersCheck");
    QTest::newRow("board size") << failedReport("forward", "baseline", 6.195, 5.7, 6.1)
                                << QStringList{"尺寸", "前视双目基线 6.20 cm", "5.70–6.10 cm"}
                                << QStringList{"Board size", "forward pair baseline 6.20 cm",
                                               "5.70–6.10 cm"}
                                << true;
    QTest::newRow("blurred") << failedReport("downward", "rms", 0.734, NAN, 0.5)
                             << QStringList{"下视双目重投影误差 0.73 px", "0.50 px"}
                             << QStringList{"blurred", "downward pair", "0.73 px", "0.50 px"}
                             << false;
    QTest::newRow("camera saw nothing")
        << failedReport("forward", "images", 0, 1, NAN, 0, 25)
        << QStringList{"前视左摄像头没有看到标定靶"}
        << QStringList{"forward left camera did not see the board", "0 of 26"} << false;
    QTest::newRow("too few images") << failedReport("downward", "images", 3, 1, NAN, 24, 3)
                                    << QStringList{"下视右摄像头", "3 张"}
                                    << QStringList{"downward right camera", "3 of 26"} << false;
    QTest::newRow("device lost") << failedReport("", "connection", NAN, NAN, NAN)
                                 << QStringList{"连接中断"}
                                 << QStringList{"connection to the drone was lost"} << false;
    QTest::newRow("upload") << failedReport("", "upload", NAN, NAN, NAN) << QStringList{"送达设备"}
                            << QStringList{"did not reach the drone"} << false;
    QTest::newRow("a reason this version does not know")
        << failedReport("", "solarFlare", NAN, NAN, NAN) << QStringList{"原因见报告"}
        << QStringList{"the report says why"} << false;
}

void TestResultPages::ngPageSaysWhyInTheUsersLanguage() {
    QFETCH(QJsonObject, report);
    QFETCH(QStringList, chinese);
    QFETCH(QStringList, english);
    QFETCH(bool, offersCheck);
    finishRun(false, report);
    QCOMPARE(main->stack()->currentIndex(), int(NimbraDesktop::NgPage));
    for (const QString& part : chinese) {
        QVERIFY2(reason().contains(part), qPrintable(reason()));
    }
    QCOMPARE(!button(NimbraDesktop::NgPage, "checkBtn")->isHidden(), offersCheck);
    QVERIFY(!button(NimbraDesktop::NgPage, "reportBtn")->isHidden());
    // The Part's texts and tips stay.
    QCOMPARE(page(NimbraDesktop::NgPage)->findChild<QLabel*>("title")->text(),
             QStringLiteral("抱歉，标定失败！"));

    // Switching the language while it shows rewrites it, numbers and all.
    main->onLangueChanged(QStringLiteral("en"));
    for (const QString& part : english) {
        QVERIFY2(reason().contains(part), qPrintable(reason()));
    }
    QVERIFY2(!reason().contains(kChinese), qPrintable(reason()));
    QCOMPARE(button(NimbraDesktop::NgPage, "reportBtn")->text(), QStringLiteral("View report"));
    main->onLangueChanged(QStringLiteral("zh"));
    QVERIFY2(reason().contains(chinese.first()), qPrintable(reason()));
}

void TestResultPages::unreadableReportIsSaidSoWithoutALink() {
    finishRun(false, QJsonObject());
    QVERIFY2(reason().contains(QStringLiteral("无法读取")), qPrintable(reason()));
    QVERIFY(button(NimbraDesktop::NgPage, "reportBtn")->isHidden());
    QVERIFY(button(NimbraDesktop::NgPage, "checkBtn")->isHidden());
}

void TestResultPages::viewReportOpensTheRunsPage() {
    const QString folder = finishRun(false, failedReport("forward", "rms", 0.7, NAN, 0.5));
    catcher.urls.clear();
    // Not written (yet): nothing opens.
    QTest::mouseClick(button(NimbraDesktop::NgPage, "reportBtn"), Qt::LeftButton);
    QVERIFY(catcher.urls.isEmpty());
    QFile html(folder + QStringLiteral("/report.html"));
    QVERIFY(html.open(QIODevice::WriteOnly));
    html.close();
    QTest::mouseClick(button(NimbraDesktop::NgPage, "reportBtn"), Qt::LeftButton);
    QCOMPARE(catcher.urls, QList<QUrl>{QUrl::fromLocalFile(html.fileName())});

    const QString passed = finishRun(true, passedReport());
    QFile okHtml(passed + QStringLiteral("/report.html"));
    QVERIFY(okHtml.open(QIODevice::WriteOnly));
    okHtml.close();
    QTest::mouseClick(button(NimbraDesktop::OkPage, "reportBtn"), Qt::LeftButton);
    QCOMPARE(catcher.urls.last(), QUrl::fromLocalFile(okHtml.fileName()));
}

void TestResultPages::aNewRunNeverShowsTheLastRunsReason() {
    finishRun(false, failedReport("forward", "baseline", 6.195, 5.7, 6.1));
    QVERIFY(!reason().isEmpty());
    // A run starts (and is left at once: nothing answers at this address).
    main->setBCShow();
    BCInstanceManager* mgr = BCInstanceManager::getInstance();
    mgr->getVideoShow()->quitVideo();
    deal->quitDeal();
    mgr->getImageCapture()->quitCapture();
    static_cast<QWidget*>(main->bcWidget())->hide();
    // Its result comes before its report: the last run's reason must not
    // stand for it meanwhile.
    emit deal->result(false);
    QCOMPARE(main->stack()->currentIndex(), int(NimbraDesktop::NgPage));
    QCOMPARE(reason(), QString());
    QVERIFY(button(NimbraDesktop::NgPage, "checkBtn")->isHidden());
    QVERIFY(button(NimbraDesktop::NgPage, "reportBtn")->isHidden());
}

void TestResultPages::okPageGivesEachPairsQuality() {
    finishRun(true, passedReport());
    QCOMPARE(main->stack()->currentIndex(), int(NimbraDesktop::OkPage));
    QLabel* quality = page(NimbraDesktop::OkPage)->findChild<QLabel*>("quality");
    for (const char* part : {"前视双目：RMS 0.21 px，基线 5.93 cm（5.70–6.10）",
                             "下视双目：RMS 0.19 px，基线 3.89 cm（3.70–4.10）"}) {
        QVERIFY2(quality->text().contains(QString::fromUtf8(part)), qPrintable(quality->text()));
    }
    main->onLangueChanged(QStringLiteral("en"));
    QVERIFY2(quality->text().contains(
                 QStringLiteral("Forward pair: RMS 0.21 px, baseline 5.93 cm (5.70–6.10)")),
             qPrintable(quality->text()));
    QVERIFY(!quality->text().contains(kChinese));
    // A failed run's report says nothing on the OK page.
    finishRun(false, failedReport("forward", "rms", 0.7, NAN, 0.5));
    QVERIFY(quality->text().contains(QStringLiteral("5.93")));
}

void TestResultPages::checkStartsFromTheBestKnownSizeAndStoresTheOutline() {
    ScreenSizeWidget* check = main->screenSizeWidget();
    QSignalSpy finished(check, &ScreenSizeWidget::finished);
    const ScreenScale::Screen believable{QStringLiteral("DP-1"), QSize(1920, 1080),
                                         QSizeF(443.3, 249.4)};  // 110 pixels per inch
    const ScreenScale::Screen aspectOnly{QStringLiteral("HDMI-1"), QSize(1920, 1080),
                                         QSizeF(16, 9)};
    check->begin(believable);
    QCOMPARE(check->cardWidthPx(), 371);  // 85.60 mm at 110 pixels per inch
    check->begin(aspectOnly);
    QCOMPARE(check->cardWidthPx(), 324);  // nothing believable: 96 pixels per inch

    // One pixel per arrow key, ten per page key, within what the page shows.
    QTest::keyClick(check, Qt::Key_Right);
    QTest::keyClick(check, Qt::Key_Right);
    QTest::keyClick(check, Qt::Key_Up);
    QTest::keyClick(check, Qt::Key_PageUp);
    QTest::keyClick(check, Qt::Key_Left);
    QCOMPARE(check->cardWidthPx(), 336);
    QTest::mouseClick(check->findChild<QPushButton*>("saveBtn"), Qt::LeftButton);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    QCOMPARE(ScreenScale::storedMmPerPx(aspectOnly), ScreenScale::kCardWidthMm / 336);
    QCOMPARE(ScreenScale::storedMmPerPx(believable), 0.0);

    // Checked once, it starts from there; cancelling stores nothing.
    check->begin(aspectOnly);
    QCOMPARE(check->cardWidthPx(), 336);
    check->setCardWidthPx(100000);
    QCOMPARE(check->cardWidthPx(), ScreenSizeWidget::kMaxCardWidthPx);
    check->setCardWidthPx(1);
    QCOMPARE(check->cardWidthPx(), ScreenSizeWidget::minCardWidthPx());
    QTest::mouseClick(check->findChild<QPushButton*>("cancelBtn"), Qt::LeftButton);
    QCOMPARE(finished.at(1).at(0).toBool(), false);
    QCOMPARE(ScreenScale::storedMmPerPx(aspectOnly), ScreenScale::kCardWidthMm / 336);
}

void TestResultPages::boardSizeReasonLeadsToTheCheckAndBack() {
    finishRun(false, failedReport("forward", "baseline", 6.195, 5.7, 6.1));
    QTest::mouseClick(button(NimbraDesktop::NgPage, "checkBtn"), Qt::LeftButton);
    QCOMPARE(main->stack()->currentIndex(), int(NimbraDesktop::ScreenSizePage));
    ScreenSizeWidget* check = main->screenSizeWidget();
    QCOMPARE(check->screen().name, main->screen()->name());
    QTest::keyClick(check, Qt::Key_Right);
    const int width = check->cardWidthPx();
    QTest::mouseClick(check->findChild<QPushButton*>("saveBtn"), Qt::LeftButton);
    QCOMPARE(main->stack()->currentIndex(), int(NimbraDesktop::NgPage));
    // Stored for the screen showing the window: the board of the next run
    // uses it.
    QCOMPARE(ScreenScale::mmPerPx(ScreenScale::describe(*main->screen())),
             ScreenScale::kCardWidthMm / width);
}

void TestResultPages::pageChangesWaitForTheCheckToEnd() {
    main->onStateChanged(false);
    QCOMPARE(main->stack()->currentIndex(), int(NimbraDesktop::LinkPage));
    main->showScreenSizeCheck();
    QCOMPARE(main->stack()->currentIndex(), int(NimbraDesktop::ScreenSizePage));
    // The drone connects while the user holds the card to the screen.
    main->onStateChanged(true);
    QCOMPARE(main->stack()->currentIndex(), int(NimbraDesktop::ScreenSizePage));
    QTest::mouseClick(main->screenSizeWidget()->findChild<QPushButton*>("cancelBtn"),
                      Qt::LeftButton);
    QCOMPARE(main->stack()->currentIndex(), int(NimbraDesktop::GuidePage));
    main->onStateChanged(false);
}

NIMBRA_GUI_TEST_MAIN(TestResultPages)
#include "tst_ResultPages.moc"
