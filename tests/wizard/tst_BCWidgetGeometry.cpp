#include "wizard/BCWidget.h"
#include "wizard/QuitBC.h"
#include "wizard/VideoFiled.h"
#include "video/VideoWidget.h"
#include "wizard/WaitOpenVideo.h"
#include "tests/support/TestMain.h"
#include "tests/support/XvfbServer.h"

#include <QProcess>
#include <QScreen>
#include <QtTest>

// The calibration window's size limits on screens just below and just above
// the wide threshold. Each screen is a private X server; the window is built
// in a child process of this test that runs on it.
namespace {
const char* const kChildFlag = "NIMBRA_GEOMETRY_CHILD";

// Child side: checks the window on the current display; the expected mode is
// "wide" or "narrow". Prints what differs and returns non-zero on a mismatch.
int checkWindow(const QByteArray& mode) {
    QStringList problems;
    BCWidget window;
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    const bool wide = mode == "wide";
    auto expect = [&](const char* what, int actual, int expected) {
        if (actual != expected) {
            problems << QStringLiteral("%1: %2 instead of %3").arg(what).arg(actual).arg(expected);
        }
    };
    expect("window width", window.width(), available.width());
    expect("window height", window.height(), available.height());
    expect("left maximum width", window.leftWidget()->maximumWidth(), wide ? 500 : 400);
    expect("view maximum height", window.view()->maximumHeight(), wide ? 500 : QWIDGETSIZE_MAX);
    expect("view pane minimum height", window.viewWidget()->minimumHeight(), wide ? 300 : 255);
    expect("camera view minimum height", window.video()->minimumHeight(), wide ? 400 : 255);
    if (!(window.windowFlags() & Qt::FramelessWindowHint)) {
        problems << "window has a frame";
    }
    const QRect overlayRect(available.topLeft(), available.size());
    for (QWidget* overlay :
         {static_cast<QWidget*>(window.waitOverlay()), static_cast<QWidget*>(window.quitOverlay()),
          static_cast<QWidget*>(window.videoFailedOverlay())}) {
        if (overlay->geometry() != overlayRect || !overlay->isHidden()) {
            problems << QStringLiteral("overlay %1 at wrong place or shown")
                            .arg(overlay->metaObject()->className());
        }
    }
    for (const QString& p : problems) {
        fprintf(stderr, "%s\n", qPrintable(p));
    }
    return problems.isEmpty() ? 0 : 1;
}
}  // namespace

class TestBCWidgetGeometry : public QObject {
    Q_OBJECT

private slots:
    void limitsFollowTheAvailableWidth_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<QByteArray>("mode");
        QTest::newRow("1800 narrow") << 1800 << QByteArray("narrow");
        QTest::newRow("1801 wide") << 1801 << QByteArray("wide");
    }

    void limitsFollowTheAvailableWidth() {
        QFETCH(int, width);
        QFETCH(QByteArray, mode);
        XvfbServer xvfb({QSize(width, 1000)});
        QVERIFY2(xvfb.start(), qPrintable(xvfb.errorString()));
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", xvfb.display());
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert(kChildFlag, QString::fromLatin1(mode));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        child.start(QCoreApplication::applicationFilePath(), QStringList());
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
    }
};

int main(int argc, char* argv[]) {
    const QByteArray childMode = qgetenv(kChildFlag);
    if (!childMode.isEmpty()) {
        QApplication app(argc, argv);
        return checkWindow(childMode);
    }
    IsolatedEnvironment isolatedEnvironment;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    TestBCWidgetGeometry tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_BCWidgetGeometry.moc"
