#include "app/MessageLog.h"
#include "tests/support/TestMain.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QThread>

#include <atomic>

namespace {

std::atomic<int> g_forwarded{0};

// Stands in for the toolkit's default handler: counts what is passed on.
void countingHandler(QtMsgType, const QMessageLogContext&, const QString&) {
    ++g_forwarded;
}

QStringList logLines() {
    QFile f(logFilePath());
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    QStringList lines = QString::fromUtf8(f.readAll()).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) {
        lines.removeLast();
    }
    return lines;
}

const QRegularExpression kDebugLine(R"(^Debug\[\d\d-\d\d-\d\d \d\d:\d\d:\d\d\]: (.*)$)");

}  // namespace

class TestMessageLog : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(logFilePath().startsWith(QDir::tempPath()));
        qInstallMessageHandler(countingHandler);
        installMessageLog();
    }

    void init() {
        QDir().mkpath(logDirPath());
        QFile::remove(logFilePath());
        g_forwarded = 0;
    }

    void missingLogDirectoryLosesTheLineButNotTheProcess() {
        QDir(logDirPath()).removeRecursively();
        qDebug("nowhere to go");
        QVERIFY(!QFile::exists(logFilePath()));
        QCOMPARE(g_forwarded.load(), 1);
    }

    void concurrentThreadsNeverInterleaveLines() {
        constexpr int kThreads = 8;
        constexpr int kLines = 400;
        QVector<QThread*> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads << QThread::create([t] {
                // Long messages make a torn write far more likely to show.
                const QString pad(200, QChar('a' + t));
                for (int i = 0; i < kLines; ++i) {
                    if (i % 2) {
                        qDebug().noquote() << QStringLiteral("t%1 i%2 %3").arg(t).arg(i).arg(pad);
                    } else {
                        qWarning().noquote() << QStringLiteral("t%1 i%2 %3").arg(t).arg(i).arg(pad);
                    }
                }
            });
        }
        for (QThread* th : threads)
            th->start();
        for (QThread* th : threads) {
            QVERIFY(th->wait(60000));
            delete th;
        }

        const QStringList lines = logLines();
        QCOMPARE(lines.size(), kThreads * kLines);
        const QRegularExpression body(R"(^t(\d) i(\d+) ([a-z])\3{199}$)");
        QSet<QString> seen;
        for (const QString& line : lines) {
            QString message;
            if (line.startsWith("Warning: ")) {
                message = line.mid(9);
            } else {
                const auto m = kDebugLine.match(line);
                QVERIFY2(m.hasMatch(), qPrintable(line.left(80)));
                message = m.captured(1);
            }
            const auto b = body.match(message);
            QVERIFY2(b.hasMatch(), qPrintable(line.left(80)));
            QCOMPARE(b.captured(3).at(0), QChar('a' + b.captured(1).toInt()));
            seen.insert(b.captured(1) + ":" + b.captured(2));
        }
        QCOMPARE(seen.size(), kThreads * kLines);
    }
};

NIMBRA_CORE_TEST_MAIN(TestMessageLog)
#include "tst_MessageLog.moc"
