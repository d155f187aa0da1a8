#include "app/MessageLog.h"
#include "app/SingleInstance.h"
#include "tests/support/TestMain.h"

#include <QFile>
#include <QProcess>

#include <csignal>

#include <sys/types.h>
#include <unistd.h>

// Runs the real NimbraDesktop executable (offscreen, in this test's private
// home with its own pid file) to check the guard between processes.
class TestSingleInstance : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(QFile::exists(QStringLiteral(NIMBRA_DESKTOP_BIN)));
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    void pidFileFollowsTheTestSeam() {
        QVERIFY(pidFilePath() != QLatin1String("/tmp/NimbraDesktop.pid"));
        QVERIFY(pidFilePath().startsWith(QDir::tempPath()));
    }

    void secondProcessExitsWith255AndFirstKeepsRunning() {
        QDir().mkpath(logDirPath());
        {
            QFile stale(logFilePath());
            QVERIFY(stale.open(QIODevice::WriteOnly));
            stale.write("stale line from an earlier start\n");
        }

        QProcess* first = startApp();
        QVERIFY(first->waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(pidFileBytes(), pidText(first->processId()), 15000);
        QVERIFY(!log().contains("stale line"));
        QVERIFY(log().contains(QRegularExpression(R"(Debug\[[^\]]+\]: fd \d+)")));

        QProcess* second = startApp();
        QVERIFY(second->waitForFinished(15000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 255);
        // The second copy started a fresh log of its own and said why it left.
        const QString secondLog = log();
        QVERIFY2(secondLog.contains(QRegularExpression(R"(\]: fd \d+\n)")), qPrintable(secondLog));
        QVERIFY2(secondLog.contains("]: process is run\n"), qPrintable(secondLog));

        QCOMPARE(first->state(), QProcess::Running);
        QCOMPARE(pidFileBytes(), pidText(first->processId()));
        first->kill();
        QVERIFY(first->waitForFinished(10000));
    }

    void startAfterACrashTakesTheLeftoverFile() {
        QProcess* crashed = startApp();
        QVERIFY(crashed->waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(pidFileBytes(), pidText(crashed->processId()), 15000);
        ::kill(static_cast<pid_t>(crashed->processId()), SIGKILL);
        QVERIFY(crashed->waitForFinished(10000));
        QVERIFY(QFile::exists(pidFilePath()));

        QProcess* next = startApp();
        QVERIFY(next->waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(pidFileBytes(), pidText(next->processId()), 15000);
        QCOMPARE(next->state(), QProcess::Running);
        next->terminate();
        QVERIFY(next->waitForFinished(10000));
    }

    void unopenablePidFileCountsAsARunningInstance() {
        QVERIFY(!IsSingleProcess(QDir::tempPath() + "/no-such-dir-for-nimbra/pid"));
    }

private:
    QProcess* startApp();
    static QByteArray pidFileBytes() {
        QFile f(pidFilePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static QString log() {
        QFile f(logFilePath());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    static QByteArray pidText(qint64 pid) { return QByteArray::number(pid) + '\0'; }
};

QProcess* TestSingleInstance::startApp() {
    auto* p = new QProcess(this);
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->start(QStringLiteral(NIMBRA_DESKTOP_BIN), QStringList());
    return p;
}

NIMBRA_CORE_TEST_MAIN(TestSingleInstance)
#include "tst_SingleInstance.moc"
