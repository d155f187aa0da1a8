#include "Calibration/ScreenScale.h"
#include "Calibration/report/FailureExplanation.h"
#include "Calibration/report/RunReportJson.h"
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
#include <QJsonDocument>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using Stop = PairDiagnostics::Stop;
using Reason = RunOutcome::Reason;

// Nothing listens here: the main window's heartbeat stays idle.
const char* const kDeviceAddress = "127.0.0.78";

const QRegularExpression kChinese(QStringLiteral("[\\x{4E00}-\\x{9FFF}]"));

struct PairRun {
    Stop stop = Stop::Passed;
    double baselineCm = NAN;  // NaN: the pair's nominal baseline
    double rmsPx = 0.21;
    int leftOrdered = 26, rightOrdered = 26;
    int leftCircles = 26 * 270;
};

RunReport::Pair pair(const QString& key, const PairRun& run) {
    const bool forward = key == QLatin1String("forward");
    RunReport::Pair p;
    p.key = p.name = key;
    p.stop = run.stop;
    p.minBaselineCm = forward ? 5.7 : 3.7;
    p.maxBaselineCm = forward ? 6.1 : 4.1;
    p.baselineCm = std::isnan(run.baselineCm) ? p.minBaselineCm + 0.2 : run.baselineCm;
    p.maxRmsPx = 0.5;
    p.stereoRms = p.left.rms = p.right.rms = run.rmsPx;
    p.left.key = key + QStringLiteral("Left");
    p.right.key = key + QStringLiteral("Right");
    p.left.received = p.right.received = 26;
    p.left.ordered = run.leftOrdered;
    p.right.ordered = run.rightOrdered;
    p.left.circlesSent = run.leftCircles;
    p.right.circlesSent = 26 * 270;
    p.left.calibrated = run.leftOrdered > 0;
    p.right.calibrated = run.rightOrdered > 0;
    p.stereoViews = std::min(run.leftOrdered, run.rightOrdered);
    return p;
}

// report.json as the run's writer makes it: the pairs explained, the outcome
// of a run that failed outside them.
QByteArray written(const PairRun& forward, const PairRun& downward,
                   const RunOutcome& outcome = RunOutcome::success()) {
    RunReport::Report report;
    report.board.screenWidthMm = 508.0;
    report.board.screenWidthPx = 1920;
    report.pairs = {pair(QStringLiteral("forward"), forward),
                    pair(QStringLiteral("downward"), downward)};
    bool forwardFailed = false;
    for (RunReport::Pair& p : report.pairs) {
        FailureExplanation::explainPair(p, report.board, forwardFailed);
        forwardFailed = p.stop != Stop::Passed;
    }
    report.succeeded =
        outcome.passed() && forward.stop == Stop::Passed && downward.stop == Stop::Passed;
    report.outcome = report.succeeded || !outcome.passed()
                         ? outcome
                         : RunOutcome::failure(Reason::PairFailed, QStringLiteral("pair"));
    return QJsonDocument(RunReportJson::toJson(report)).toJson();
}

QByteArray failedOutside(Reason reason) {
    return written({}, {Stop::NotRun}, RunOutcome::failure(reason, QStringLiteral("why")));
}

}  // namespace

// The OK and NG pages once the run's report is written, as the data channel
// hands it to the main window; the screen size check they and the menu open;
// which page the main window shows for the heartbeat, progress and result.
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
    void reportThatCannotBeReadIsSaidSo_data();
    void reportThatCannotBeReadIsSaidSo();
    void aNewRunNeverShowsTheLastRunsReason();
    void okPageGivesEachPairsQuality();
    void checkStartsFromTheBestKnownSize();
    void viewReportOpensTheRunsPage();

private:
    // The run's result, then its report written into a folder of its own.
    QString finishRun(bool ok, const QByteArray& json) {
        auto* dir = new QTemporaryDir;
        dirs.emplace_back(dir);
        QFile file(dir->filePath(QStringLiteral("report.json")));
        if (!json.isNull() && file.open(QIODevice::WriteOnly)) {
            file.write(json);
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
    bool shown(NimbraDesktop::Page index, const char* name) {
        return !button(index, name)->isHidden();
    }

    NimbraDesktop* main = nullptr;
    ImageDeal* deal = nullptr;
    UrlCatcher catcher;
    std::vector<std::unique_ptr<QTemporaryDir>> dirs;
};

void TestResultPages::ngPageSaysWhyInTheUsersLanguage_data() {
    QTest::addColumn<QByteArray>("report");
    QTest::addColumn<QString>("chinese");
    QTest::addColumn<QString>("english");
    QTest::addColumn<bool>("offersCheck");
    const PairRun passed;
    const PairRun notRun{Stop::NotRun};
    QTest::newRow("board size") << written({Stop::BaselineOutOfRange, 6.195}, notRun)
                                << "前视双目基线 6.20 cm，应为 5.70–6.10 cm"
                                << "forward pair baseline 6.20 cm, expected 5.70–6.10 cm" << true;
    QTest::newRow("blurred") << written(passed, {Stop::RmsTooHigh, NAN, 0.734})
                             << "下视双目重投影误差 0.73 px，最多允许 0.50 px"
                             << "downward pair reprojection error 0.73 px" << false;
    QTest::newRow("camera saw nothing")
        << written({Stop::OpenCvRefused, NAN, NAN, 0, 25, 0}, notRun)
        << "前视左摄像头没有看到标定靶"
        << "forward left camera did not see the board" << false;
    QTest::newRow("board never whole")
        << written({Stop::OpenCvRefused, NAN, NAN, 0, 25, 900}, notRun)
        << "前视左摄像头没有一张图像拍到完整的标定靶"
        << "never saw the whole board" << false;
    QTest::newRow("too few images") << written(passed, {Stop::OpenCvRefused, NAN, NAN, 24, 3})
                                    << "下视右摄像头：26 张图像中只有 3 张"
                                    << "downward right camera: 3 of 26" << false;
    QTest::newRow("last image never came")
        << failedOutside(Reason::LastImageMissing) << "最后一张图像没有收到"
        << "last image did not arrive" << false;
    QTest::newRow("timeout") << failedOutside(Reason::LastImageTimeout) << "采集结束 10 秒后"
                             << "10 s after the capture ended" << false;
    QTest::newRow("device lost") << failedOutside(Reason::ConnectionLost) << "连接中断"
                                 << "connection to the drone was lost" << false;
    QTest::newRow("maps") << failedOutside(Reason::MapCheckFailed) << "深度图校验失败"
                          << "depth map" << false;
    QTest::newRow("upload") << failedOutside(Reason::UploadFailed) << "未能完整送达设备"
                            << "did not reach the drone" << false;
}

void TestResultPages::ngPageSaysWhyInTheUsersLanguage() {
    QFETCH(QByteArray, report);
    QFETCH(QString, chinese);
    QFETCH(QString, english);
    QFETCH(bool, offersCheck);
    finishRun(false, report);
    QCOMPARE(main->stack()->currentIndex(), int(NimbraDesktop::NgPage));
    QVERIFY2(reason().contains(chinese), qPrintable(reason()));
    QCOMPARE(shown(NimbraDesktop::NgPage, "checkBtn"), offersCheck);
    QVERIFY(shown(NimbraDesktop::NgPage, "reportBtn"));

    // Switching the language while it shows rewrites it, numbers and all.
    main->onLangueChanged(QStringLiteral("en"));
    QVERIFY2(reason().contains(english), qPrintable(reason()));
    QVERIFY2(!reason().contains(kChinese), qPrintable(reason()));
    QVERIFY(!button(NimbraDesktop::NgPage, "reportBtn")->text().contains(kChinese));
}

void TestResultPages::reportThatCannotBeReadIsSaidSo_data() {
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("said");
    QTest::addColumn<bool>("linked");
    QTest::newRow("missing") << QByteArray() << "无法读取" << false;
    QTest::newRow("another format")
        << QByteArray("{\"format\": \"x\", \"result\": \"NG\"}") << "无法读取" << false;
    QTest::newRow("a reason this version does not know")
        << QByteArray(
               "{\"format\": \"nimbra-run-report\", \"result\": \"NG\", "
               "\"failure\": {\"pair\": null, \"check\": \"solarFlare\"}}")
        << "原因见报告" << true;
    // Numbers of the wrong type are unknown, never a number they did not hold.
    QTest::newRow("wrong types")
        << QByteArray(
               "{\"format\": \"nimbra-run-report\", \"result\": \"NG\", \"failure\": "
               "{\"pair\": \"forward\", \"check\": \"baseline\"}, \"pairs\": [{\"pair\": "
               "\"forward\", \"checks\": [{\"check\": \"baseline\", \"measured\": \"6\", "
               "\"min\": null}]}]}")
        << "基线 ? cm，应为 ?–? cm" << true;
}

void TestResultPages::reportThatCannotBeReadIsSaidSo() {
    QFETCH(QByteArray, json);
    QFETCH(QString, said);
    QFETCH(bool, linked);
    finishRun(false, json);
    QVERIFY2(reason().contains(said), qPrintable(reason()));
    QCOMPARE(shown(NimbraDesktop::NgPage, "reportBtn"), linked);
}

void TestResultPages::aNewRunNeverShowsTheLastRunsReason() {
    finishRun(false, written({Stop::BaselineOutOfRange, 6.195}, {Stop::NotRun}));
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
    QVERIFY(!shown(NimbraDesktop::NgPage, "checkBtn"));
    QVERIFY(!shown(NimbraDesktop::NgPage, "reportBtn"));
}

void TestResultPages::okPageGivesEachPairsQuality() {
    finishRun(true, written({Stop::Passed, 5.93, 0.214}, {Stop::Passed, 3.89, 0.187}));
    QCOMPARE(main->stack()->currentIndex(), int(NimbraDesktop::OkPage));
    QLabel* quality = page(NimbraDesktop::OkPage)->findChild<QLabel*>("quality");
    for (const char* part : {"0.21 px", "5.93 cm", "5.70", "6.10", "0.19 px", "3.89 cm"}) {
        QVERIFY2(quality->text().contains(QLatin1String(part)), qPrintable(quality->text()));
    }
    main->onLangueChanged(QStringLiteral("en"));
    QVERIFY2(!quality->text().contains(kChinese), qPrintable(quality->text()));
    // A failed run's report says nothing on the OK page.
    finishRun(false, written({Stop::RmsTooHigh, NAN, 0.7}, {Stop::NotRun}));
    QVERIFY(quality->text().contains(QStringLiteral("5.93")));
}

void TestResultPages::checkStartsFromTheBestKnownSize() {
    ScreenSizeWidget* check = main->screenSizeWidget();
    const ScreenScale::Screen believable{QStringLiteral("DP-1"), QSize(1920, 1080),
                                         QSizeF(443.3, 249.4)};  // 110 pixels per inch
    const ScreenScale::Screen aspectOnly{QStringLiteral("HDMI-1"), QSize(1920, 1080),
                                         QSizeF(16, 9)};
    check->begin(believable);
    QCOMPARE(check->cardWidthPx(), 371);  // 85.60 mm at 110 pixels per inch
    check->begin(aspectOnly);
    QCOMPARE(check->cardWidthPx(), 324);  // nothing believable: 96 pixels per inch
    QVERIFY(ScreenScale::store(aspectOnly, ScreenScale::kCardWidthMm / 335));
    check->begin(aspectOnly);
    QCOMPARE(check->cardWidthPx(), 335);
}

void TestResultPages::viewReportOpensTheRunsPage() {
    catcher.urls.clear();
    for (bool ok : {false, true}) {
        const QString folder = finishRun(
            ok, ok ? written({}, {}) : written({Stop::RmsTooHigh, NAN, 0.7}, {Stop::NotRun}));
        QPushButton* view = button(ok ? NimbraDesktop::OkPage : NimbraDesktop::NgPage, "reportBtn");
        // Not written (yet): nothing opens.
        QTest::mouseClick(view, Qt::LeftButton);
        QVERIFY(catcher.urls.isEmpty());
        QFile html(folder + QStringLiteral("/report.html"));
        QVERIFY(html.open(QIODevice::WriteOnly));
        html.close();
        QTest::mouseClick(view, Qt::LeftButton);
        QCOMPARE(catcher.urls.takeFirst(), QUrl::fromLocalFile(html.fileName()));
    }
}

NIMBRA_GUI_TEST_MAIN(TestResultPages)
#include "tst_ResultPages.moc"
