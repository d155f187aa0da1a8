#include "video/GuidPlayer.h"
#include "video/GuidPrivate.h"
#include "tests/support/OutputCapture.h"
#include "tests/support/TestMain.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kClipDir = QStringLiteral(NIMBRA_TEST_CLIP_DIR);
constexpr int kShortClipFrames = 6;
constexpr int kSlowClipFrames = 3;

QImage frameAt(const QSignalSpy& spy, int i) {
    return spy.at(i).at(0).value<QImage>();
}

int countLines(const LogCapture& log, const QString& text) {
    int n = 0;
    for (const QString& line : log.messages()) {
        n += line.contains(text) ? 1 : 0;
    }
    return n;
}

// A folder laid out like the program's: rc/ with the four clip names, all
// filled with the short test clip.
bool makeClipFolder(const QTemporaryDir& dir) {
    if (!QDir(dir.path()).mkpath(QStringLiteral("rc"))) {
        return false;
    }
    for (const char* name : {"ng", "ok_forward", "ok_downward", "finished"}) {
        if (!QFile::copy(kClipDir + QStringLiteral("/short.mp4"),
                         dir.filePath(QStringLiteral("rc/%1.mp4").arg(QLatin1String(name))))) {
            return false;
        }
    }
    return true;
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

        // The whole row is converted, up to the last pixel: the clip's plain
        // background reaches the right edge near the top.
        const QImage first = frameAt(spy, 0);
        for (int x = first.width() - 8; x < first.width(); ++x) {
            const QColor inner(first.pixel(first.width() - 10, 70)), edge(first.pixel(x, 70));
            QVERIFY2(
                qAbs(inner.lightness() - edge.lightness()) < 16,
                qPrintable(QStringLiteral("x %1: %2 vs %3").arg(x).arg(edge.name(), inner.name())));
        }

        // A restart plays again from the first frame.
        decoder.startGuid(kClipDir + QStringLiteral("/short.mp4"));
        QTRY_VERIFY_WITH_TIMEOUT(spy.count() > stoppedAt, 5000);
        decoder.quitGuid();
        QVERIFY(frameAt(spy, stoppedAt) == frameAt(spy, 0));
    }

    void zeroIntegerFrameRateStillPlaysAndLoops() {
        // 1/2 fps truncates to 0: the player paces such a clip at the fallback
        // interval instead of dividing by zero or stalling on the real rate (two
        // seconds a frame would need 14 s for the count below).
        GuidPrivate decoder;
        QSignalSpy spy(&decoder, &GuidPrivate::imageframe);
        decoder.startGuid(kClipDir + QStringLiteral("/slow.mp4"));
        QTRY_VERIFY_WITH_TIMEOUT(spy.count() >= 2 * kSlowClipFrames + 1, 5000);
        QVERIFY(decoder.isRunning());
        decoder.quitGuid();
        QVERIFY(frameAt(spy, 0) == frameAt(spy, kSlowClipFrames));
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

        LogCapture log;
        GuidPrivate decoder;
        QSignalSpy spy(&decoder, &GuidPrivate::imageframe);
        decoder.startGuid(path);
        QTRY_VERIFY_WITH_TIMEOUT(decoder.isFinished(), 5000);
        decoder.quitGuid();
        if (fifoWriter >= 0) {
            ::close(fifoWriter);
        }
        QCOMPARE(spy.count(), 0);
        QCOMPARE(countLines(log, QStringLiteral("open url error")), 1);
    }

    void playerShowsDecodedFramesInItsFrame() {
        QTemporaryDir dir;
        QVERIFY(makeClipFolder(dir));
        QVERIFY(QDir::setCurrent(dir.path()));

        GuidPlayer player(nullptr);
        player.resize(500, 300);
        player.startPlayer(GuidPlayer::GuideForwardOK);
        QVERIFY(player.isPlaying());
        // More frames than the clip holds: it loops.
        QTRY_VERIFY_WITH_TIMEOUT(player.frameCount() > 3 * kShortClipFrames, 10000);
        player.quitPlayer();
        QVERIFY(!player.isPlaying());

        // The last frame fills the player, scaled.
        const QImage shot = player.grab().toImage();
        const QImage expected =
            player.currentFrame().scaled(500, 300, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QVERIFY(expected.height() == 300);
        int differing = 0;
        for (int y = 40; y < 260; y += 10) {
            for (int x = 40; x < 420; x += 10) {
                const QColor a(shot.pixel(x, y)), b(expected.pixel(x, y));
                differing += (qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) +
                                  qAbs(a.blue() - b.blue()) >
                              24)
                                 ? 1
                                 : 0;
            }
        }
        QVERIFY2(differing < 10, qPrintable(QString::number(differing)));
        QSet<QRgb> colours;
        for (int y = 0; y < shot.height(); y += 4) {
            for (int x = 0; x < shot.width(); x += 4) {
                colours.insert(shot.pixel(x, y));
            }
        }
        QVERIFY2(colours.size() > 20, "the picture is blank");
    }

    void playerWithoutClipsStaysEmpty() {
        QTemporaryDir dir;
        QVERIFY(QDir::setCurrent(dir.path()));
        LogCapture log;
        GuidPlayer player(nullptr);
        player.resize(200, 120);
        const QImage before = player.grab().toImage();
        player.startPlayer(GuidPlayer::GuideNG);
        QTRY_VERIFY_WITH_TIMEOUT(!player.isPlaying(), 5000);
        QCoreApplication::processEvents();
        QVERIFY(player.currentFrame().isNull());
        QCOMPARE(player.frameCount(), quint64(0));
        QCOMPARE(countLines(log, QStringLiteral("open url error")), 1);
        // Without a frame it paints as a plain frame: no mask, no badge.
        QVERIFY(player.grab().toImage() == before);
        player.quitPlayer();
    }

    // The build tree keeps the clips in rc/ beside the program, which works in
    // its own folder; an installed program finds them in the data folder
    // relative to its bin/ folder, whatever the prefix.
    void clipFolderFollowsTheProgramsLayout() {
        QTemporaryDir prefix;
        const QString bin = prefix.filePath(QStringLiteral("bin"));
        const QString installed =
            QDir::cleanPath(bin + QStringLiteral("/" NIMBRA_INSTALLED_CLIP_DIR));
        QVERIFY(QDir().mkpath(bin));
        QVERIFY(QDir::setCurrent(bin));
        QCOMPARE(GuidPlayer::clipFolder(bin), QStringLiteral("./rc"));

        QVERIFY(QDir().mkpath(installed));
        QVERIFY(installed.startsWith(prefix.path() + QLatin1Char('/')));
        QVERIFY(!installed.startsWith(bin));
        QCOMPARE(GuidPlayer::clipFolder(bin), installed);
        // Started from elsewhere, the installed folder is still found.
        QVERIFY(QDir::setCurrent(prefix.path()));
        QCOMPARE(GuidPlayer::clipFolder(bin), installed);

        QVERIFY(QDir::setCurrent(bin));
        QVERIFY(QDir().mkpath(bin + QStringLiteral("/rc")));
        QCOMPARE(GuidPlayer::clipFolder(bin), QStringLiteral("./rc"));
        QCOMPARE(GuidPlayer::clipPath(GuidPlayer::TipDownward),
                 QStringLiteral("./rc/ok_downward.mp4"));
        QVERIFY(GuidPlayer::clipPath(static_cast<GuidPlayer::PlayerTyper>(6)).isEmpty());
    }

    void outOfRangeTypeStartsNothing() {
        QTemporaryDir dir;
        QVERIFY(makeClipFolder(dir));
        QVERIFY(QDir::setCurrent(dir.path()));
        GuidPlayer player(nullptr);
        player.startPlayer(static_cast<GuidPlayer::PlayerTyper>(6));
        QVERIFY(!player.isPlaying());
        QTest::qWait(100);
        QCOMPARE(player.frameCount(), quint64(0));
    }

private:
    QString m_savedCwd;
};

NIMBRA_GUI_TEST_MAIN(TestGuidPlayer)
#include "tst_GuidPlayer.moc"
