#include "app/MessageLog.h"
#include "app/SingleInstance.h"
#include "tests/support/TestMain.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>

#include <csignal>

#include <sys/stat.h>
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
        QProcess* first = startApp();
        QVERIFY(first->waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(pidFileBytes(), pidText(first->processId()), 15000);

        QProcess* second = startApp();
        QVERIFY(second->waitForFinished(15000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 255);

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

    // Anyone may create /tmp/NimbraDesktop.pid before the program (run as
    // root) starts: a link to another file must leave that file alone and
    // stop the program with 255.
    void symbolicLinkIsRefusedAndItsTargetKept() {
        const QString victim = privateDir() + QStringLiteral("/precious-file");
        writeFile(victim, "a file of root's\n");
        QFile::remove(pidFilePath());
        QVERIFY(QFile::link(victim, pidFilePath()));
        auto restore = qScopeGuard([] { QFile::remove(pidFilePath()); });

        QProcess* app = startApp();
        QVERIFY(app->waitForFinished(15000));
        QCOMPARE(app->exitStatus(), QProcess::NormalExit);
        QCOMPARE(app->exitCode(), 255);
        QCOMPARE(readFile(victim), QByteArray("a file of root's\n"));
        QVERIFY(QFileInfo(pidFilePath()).isSymLink());
    }

    // The same refusal for whatever else may stand at the path; nothing in it
    // changes.
    void onlyAPlainFileOfItsOwnIsTaken_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("directory") << "directory";
        QTest::newRow("fifo") << "fifo";
        QTest::newRow("hard link") << "hard link";
    }
    void onlyAPlainFileOfItsOwnIsTaken() {
        QFETCH(QString, kind);
        const QString dir = privateDir() + QStringLiteral("/pid-kinds");
        QDir(dir).removeRecursively();
        QVERIFY(QDir().mkpath(dir));
        const QString path = dir + QStringLiteral("/NimbraDesktop.pid");
        const QString other = dir + QStringLiteral("/other");
        if (kind == QLatin1String("directory")) {
            QVERIFY(QDir().mkpath(path));
        } else if (kind == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
        } else {
            writeFile(other, "another name of the same file\n");
            QCOMPARE(
                ::link(QFile::encodeName(other).constData(), QFile::encodeName(path).constData()),
                0);
        }
        QVERIFY(!IsSingleProcess(path));
        if (kind == QLatin1String("hard link")) {
            QCOMPARE(readFile(other), QByteArray("another name of the same file\n"));
        }
        QDir(dir).removeRecursively();
    }

private:
    QProcess* startApp();
    static QByteArray pidFileBytes() {
        QFile f(pidFilePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // The test's own temporary home, where its pid file lies.
    static QString privateDir() { return QFileInfo(pidFilePath()).absolutePath(); }
    static QByteArray pidText(qint64 pid) { return QByteArray::number(pid) + '\0'; }
    static void writeFile(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(f.write(bytes), qint64(bytes.size()));
    }
    static QByteArray readFile(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

QProcess* TestSingleInstance::startApp() {
    auto* p = new QProcess(this);
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->start(QStringLiteral(NIMBRA_DESKTOP_BIN), QStringList());
    return p;
}

NIMBRA_CORE_TEST_MAIN(TestSingleInstance)
#include "tst_SingleInstance.moc"
