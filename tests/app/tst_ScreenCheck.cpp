#include "app/NimbraApplication.h"
#include "tests/support/TestMain.h"
#include "tests/support/XvfbServer.h"

#include <QProcess>
#include <QScopeGuard>

namespace {

// Runs xdotool against the test's X server; returns its standard output.
QString xdotool(const QString& display, const QStringList& args, int* exitCode = nullptr) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    p.setProcessEnvironment(env);
    p.start("xdotool", args);
    p.waitForFinished(10000);
    if (exitCode)
        *exitCode = p.exitCode();
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

}  // namespace

// With two screens attached the program shows its refusal and nothing else.
class TestScreenCheck : public QObject {
    Q_OBJECT

private slots:
    void refusalTextFollowsTheSystemLanguage() {
        QCOMPARE(NimbraApplication::extendedScreenText(true),
                 QStringLiteral("不支持在扩展屏幕下使用，请先移除您的扩展屏幕"));
        QCOMPARE(NimbraApplication::extendedScreenText(false),
                 QStringLiteral("Does not support use under extended screens, please remove "
                                "your extended screens first"));
    }

    void twoScreensShowOnlyTheMessageBoxAndExitZero() {
        XvfbServer xvfb({QSize(1280, 1024), QSize(1280, 1024)});
        QVERIFY2(xvfb.start(), qPrintable(xvfb.errorString()));
        const QString display = xvfb.display() + ".0";

        QProcess app;
        auto stopApp = qScopeGuard([&app] {
            if (app.state() != QProcess::NotRunning) {
                app.kill();
                app.waitForFinished(5000);
            }
        });
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", xvfb.display());
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("LANG", "C");
        env.remove("LC_ALL");
        app.setProcessEnvironment(env);
        app.setProcessChannelMode(QProcess::ForwardedChannels);
        app.start(QStringLiteral(NIMBRA_DESKTOP_BIN), QStringList());
        QVERIFY(app.waitForStarted());

        QString windows;
        const QStringList search{"search", "--onlyvisible", "--pid",
                                 QString::number(app.processId())};
        QTRY_VERIFY_WITH_TIMEOUT(!(windows = xdotool(display, search)).isEmpty(), 15000);
        QTest::qWait(300);
        windows = xdotool(display, search);
        const QStringList ids = windows.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(ids.size(), 1);
        const QString geometry = xdotool(display, {"getwindowgeometry", ids[0]});
        const QRegularExpression size(R"(Geometry: (\d+)x(\d+))");
        const auto m = size.match(geometry);
        QVERIFY2(m.hasMatch(), qPrintable(geometry));
        QVERIFY2(m.captured(1).toInt() < 1080 && m.captured(2).toInt() < 658,
                 "a window as large as the main window is visible");

        const QString dir = QStringLiteral(NIMBRA_SCREENSHOT_DIR);
        QDir().mkpath(dir);
        QVERIFY(xvfb.screenshot(dir + "/two-screens-refusal.png"));

        int rc = -1;
        xdotool(display, {"windowfocus", "--sync", ids[0]}, &rc);
        xdotool(display, {"key", "Return"}, &rc);
        QVERIFY(app.waitForFinished(10000));
        QCOMPARE(app.exitStatus(), QProcess::NormalExit);
        QCOMPARE(app.exitCode(), 0);
        // It never got as far as the single-instance check.
        QVERIFY(!QFile::exists(qEnvironmentVariable("NIMBRA_PID_FILE")));
    }
};

NIMBRA_CORE_TEST_MAIN(TestScreenCheck)
#include "tst_ScreenCheck.moc"
