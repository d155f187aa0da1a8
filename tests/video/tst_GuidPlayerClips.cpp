#include "tests/support/TestMain.h"

#include <QFileInfo>
#include <QProcess>

namespace {

const QString kClipDir = QStringLiteral(NIMBRA_CLIP_DIR);

// Runs ffprobe on the first video stream with every frame decoded; returns
// key=value pairs, empty when ffprobe fails.
QMap<QString, QString> probe(const QString& path) {
    QProcess ffprobe;
    ffprobe.start(
        QStringLiteral("ffprobe"),
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-count_frames"),
         QStringLiteral("-select_streams"), QStringLiteral("v:0"), QStringLiteral("-show_entries"),
         QStringLiteral("stream=codec_name,pix_fmt,width,height,nb_read_frames,"
                        "avg_frame_rate:format=duration"),
         QStringLiteral("-of"), QStringLiteral("default=noprint_wrappers=1"), path});
    QMap<QString, QString> values;
    if (!ffprobe.waitForFinished(30000) || ffprobe.exitCode() != 0) {
        return values;
    }
    const QStringList lines =
        QString::fromUtf8(ffprobe.readAllStandardOutput()).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq > 0) {
            values.insert(line.left(eq), line.mid(eq + 1).trimmed());
        }
    }
    return values;
}

}  // namespace

class TestGuidPlayerClips : public QObject {
    Q_OBJECT
private slots:
    void builtClipDecodesCompletely_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("height");
        for (const char* name : {"ng", "ok_forward", "ok_downward"}) {
            QTest::newRow(name) << QString::fromLatin1(name) << "500"
                                << "300";
        }
        // Fills the forward-finished card's 480 x 270 player edge to edge.
        QTest::newRow("finished") << "finished"
                                  << "480"
                                  << "270";
    }

    void builtClipDecodesCompletely() {
        QFETCH(QString, name);
        QFETCH(QString, width);
        QFETCH(QString, height);
        const QString path = kClipDir + QStringLiteral("/%1.mp4").arg(name);
        QVERIFY2(QFileInfo(path).isFile(), qPrintable(path));
        // Small enough to ship next to the program.
        QVERIFY2(QFileInfo(path).size() < 200 * 1024,
                 qPrintable(QString::number(QFileInfo(path).size())));

        const QMap<QString, QString> info = probe(path);
        QCOMPARE(info.value(QStringLiteral("codec_name")), QStringLiteral("h264"));
        QCOMPARE(info.value(QStringLiteral("pix_fmt")), QStringLiteral("yuv420p"));
        QCOMPARE(info.value(QStringLiteral("width")), width);
        QCOMPARE(info.value(QStringLiteral("height")), height);
        QCOMPARE(info.value(QStringLiteral("avg_frame_rate")), QStringLiteral("25/1"));
        const int frames = info.value(QStringLiteral("nb_read_frames")).toInt();
        QVERIFY2(frames >= 50, qPrintable(QString::number(frames)));
        const double seconds = info.value(QStringLiteral("duration")).toDouble();
        QVERIFY2(seconds >= 2.0 && seconds <= 6.0, qPrintable(QString::number(seconds)));
    }
};

NIMBRA_CORE_TEST_MAIN(TestGuidPlayerClips)
#include "tst_GuidPlayerClips.moc"
