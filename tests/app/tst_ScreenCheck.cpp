#include "tests/support/TestMain.h"
#include "tests/support/XvfbServer.h"

#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>

namespace {

// Runs xdotool against the test's X server; returns its standard output.
QString xdotool(const QString& display, const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    p.setProcessEnvironment(env);
    p.start("xdotool", args);
    p.waitForFinished(10000);
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

}  // namespace

// With two screens attached the program shows its refusal and nothing else.
class TestScreenCheck : public QObject {
    Q_OBJECT

private slots:
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

        xdotool(display, {"windowfocus", "--sync", ids[0]});
        xdotool(display, {"key", "Return"});
        QVERIFY(app.waitForFinished(10000));
        QCOMPARE(app.exitStatus(), QProcess::NormalExit);
        QCOMPARE(app.exitCode(), 0);
        // It never got as far as the single-instance check.
        QVERIFY(!QFile::exists(qEnvironmentVariable("NIMBRA_PID_FILE")));
    }
};

NIMBRA_CORE_TEST_MAIN(TestScreenCheck)
#include "tst_ScreenCheck.moc"
