#include "video/GuidPlayer.h"
#include "video/GuidPrivate.h"
#include "tests/support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kClipDir = QStringLiteral(NIMBRA_TEST_CLIP_DIR);
constexpr int kShortClipFrames = 6;

QImage frameAt(const QSignalSpy& spy, int i) {
    return spy.at(i).at(0).value<QImage>();
}

}  // namespace

class TestGuidPlayer : public QObject {
    Q_OBJECT
private slots:
    void init() { m_savedCwd = QDir::currentPath(); }

    void cleanup() { QDir::setCurrent(m_savedCwd); }

    void intervalFollowsIntegerFrameRate_data() {
        QTest::addColumn<int>("num");
        QTest::addColumn<int>("den");
        QTest::addColumn<int>("interval");
        QTest::newRow("25 fps") << 25 << 1 << 40;
        QTest::newRow("NTSC 29.97 truncates to 29") << 30000 << 1001 << 34;
        QTest::newRow("1.5 fps truncates to 1") << 3 << 2 << 1000;
        QTest::newRow("half fps truncates to 0") << 1 << 2 << GuidPrivate::kFallbackIntervalMs;
        QTest::newRow("no rate recorded") << 0 << 1 << GuidPrivate::kFallbackIntervalMs;
        QTest::newRow("zero denominator") << 25 << 0 << GuidPrivate::kFallbackIntervalMs;
        QTest::newRow("negative rate") << -25 << 1 << GuidPrivate::kFallbackIntervalMs;
        QTest::newRow("above 1000 fps never 0 ms") << 5000 << 1 << 1;
    }

    void intervalFollowsIntegerFrameRate() {
        QFETCH(int, num);
        QFETCH(int, den);
        QFETCH(int, interval);
        QCOMPARE(GuidPrivate::frameIntervalMs(num, den), interval);
    }

    void decodedClipLoopsFromItsFirstFrameUntilStopped() {
        GuidPrivate decoder;
        QSignalSpy spy(&decoder, &GuidPrivate::imageframe);
        decoder.startGuid(kClipDir + QStringLiteral("/short.mp4"));
        QTRY_VERIFY_WITH_TIMEOUT(spy.count() >= 2 * kShortClipFrames + 2, 10000);
        // A stop is prompt and final.
        decoder.quitGuid();
        QVERIFY(decoder.isFinished());
        const int stoppedAt = spy.count();
        QTest::qWait(150);
        QCOMPARE(spy.count(), stoppedAt);

        // Every loop shows the whole clip in order: frames held back by the
        // decoder at the end of the file are not lost, and the next loop starts
        // at the first frame again.
        for (int i = 0; i < kShortClipFrames + 2; ++i) {
            const QImage a = frameAt(spy, i);
            QCOMPARE(a.size(), QSize(150, 90));
            QCOMPARE(a.format(), QImage::Format_RGB32);
            QVERIFY2(a == frameAt(spy, i + kShortClipFrames), qPrintable(QString::number(i)));
        }
        QVERIFY(frameAt(spy, 0) != frameAt(spy, kShortClipFrames / 2));

        // A restart plays again from the first frame.
        decoder.startGuid(kClipDir + QStringLiteral("/short.mp4"));
        QTRY_VERIFY_WITH_TIMEOUT(spy.count() > stoppedAt, 5000);
        decoder.quitGuid();
        QVERIFY(frameAt(spy, stoppedAt) == frameAt(spy, 0));
    }

    void unreadableClipLeavesDecoderIdle_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing file") << "missing";
        QTest::newRow("empty file") << "empty";
        QTest::newRow("not a video") << "text";
        QTest::newRow("clip cut in half") << "truncated";
        QTest::newRow("folder") << "folder";
        // A FIFO with a writer that never writes: a blocking read would hang the
        // stop below for ever.
        QTest::newRow("fifo") << "fifo";
    }

    void unreadableClipLeavesDecoderIdle() {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("clip.mp4"));
        int fifoWriter = -1;
        if (kind == QLatin1String("empty") || kind == QLatin1String("text") ||
            kind == QLatin1String("truncated")) {
            QByteArray bytes;
            if (kind == QLatin1String("text")) {
                bytes = QByteArray("this is not a video\n").repeated(100);
            } else if (kind == QLatin1String("truncated")) {
                QFile whole(kClipDir + QStringLiteral("/short.mp4"));
                QVERIFY(whole.open(QIODevice::ReadOnly));
                bytes = whole.readAll().left(static_cast<int>(whole.size() / 2));
            }
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(bytes), qint64(bytes.size()));
        } else if (kind == QLatin1String("folder")) {
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("clip.mp4")));
        } else if (kind == QLatin1String("fifo")) {
            QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
            fifoWriter = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NONBLOCK);
            QVERIFY(fifoWriter >= 0);
        }

        GuidPrivate decoder;
        QSignalSpy spy(&decoder, &GuidPrivate::imageframe);
        decoder.startGuid(path);
        QTRY_VERIFY_WITH_TIMEOUT(decoder.isFinished(), 5000);
        decoder.quitGuid();
        if (fifoWriter >= 0) {
            ::close(fifoWriter);
        }
        QCOMPARE(spy.count(), 0);
    }

private:
    QString m_savedCwd;
};

NIMBRA_GUI_TEST_MAIN(TestGuidPlayer)
#include "tst_GuidPlayer.moc"
