#include "device/wire/LittleEndian.h"
#include "device/record/RunFolders.h"
#include "device/record/RunRecordReader.h"
#include "device/record/RunRecordWriter.h"
#include "tests/support/TestMain.h"

#include <QBuffer>
#include <QTemporaryDir>

namespace {

RunRecordFormat::Header header(int radius = 35, double mm = 344.2, quint32 px = 1920) {
    RunRecordFormat::Header h;
    h.radiusPx = radius;
    h.screenWidthMm = mm;
    h.screenWidthPx = px;
    return h;
}

// Reads a whole record held in memory; returns the error text ("" when whole).
QString readAll(const QByteArray& bytes, QList<QByteArray>* chunks = nullptr) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    RunRecordReader reader(&buffer);
    if (!reader.readHeader()) {
        return reader.error();
    }
    RunRecordReader::Record r;
    while (reader.next(&r)) {
        if (chunks)
            *chunks << r.bytes;
    }
    return reader.error();
}

}  // namespace

class TestRunRecord : public QObject {
    Q_OBJECT

private slots:
    void writtenRecordReadsBackChunkByChunk() {
        QTemporaryDir dir;
        RunRecordWriter writer;
        QVERIFY(writer.open(dir.filePath("r.nrec"), header()));
        const QList<QByteArray> chunks{"\x01\x02start", QByteArray(70000, 'x'), QByteArray(),
                                       "end"};
        for (const QByteArray& c : chunks)
            writer.append(1, c);
        writer.close();

        QFile f(dir.filePath("r.nrec"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        RunRecordReader reader(&f);
        QVERIFY(reader.readHeader());
        QCOMPARE(reader.header().radiusPx, 35);
        QCOMPARE(reader.header().screenWidthMm, 344.2);
        QCOMPARE(reader.header().screenWidthPx, quint32(1920));
        QList<QByteArray> got;
        RunRecordReader::Record r;
        std::uint64_t last = 0;
        while (reader.next(&r)) {
            QVERIFY(r.micros >= last);
            last = r.micros;
            got << r.bytes;
        }
        QCOMPARE(reader.error(), QString());
        QCOMPARE(got, chunks);
    }

    void unwritableRecordLeavesTheRunGoing() {
        RunRecordWriter writer;
        QVERIFY(!writer.open("/proc/nimbra-no-such-place/r.nrec", header()));
        writer.append(1, "data");  // ignored, no crash
        QVERIFY(!writer.isOpen());
    }

    // What the replay prints for a record it refuses: the fault and its offset.
    void malformedRecordsNameTheOffset_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error");
        const QByteArray good = RunRecordWriter::encodeHeader(header());
        QByteArray wrongVersion = good;
        wrongVersion[8] = 2;
        QByteArray pastEnd = good + RunRecordWriter::encodeRecord(5, 1, "abcdef");
        pastEnd.chop(2);
        QTest::newRow("empty") << QByteArray() << "too short for its 32-byte header at byte 0";
        QTest::newRow("truncated header") << good.left(20) << "at byte 20";
        QTest::newRow("wrong magic") << QByteArray("NIMBREC2").append(good.mid(8))
                                     << "not a run record (magic is not \"NIMBREC1\") at byte 0";
        QTest::newRow("wrong version") << wrongVersion << "unsupported record version 2 at byte 8";
        QTest::newRow("zero radius") << RunRecordWriter::encodeHeader(header(0))
                                     << "board radius 0 px is not positive at byte 12";
        QTest::newRow("negative radius") << RunRecordWriter::encodeHeader(header(-3))
                                         << "board radius -3 px is not positive at byte 12";
        QTest::newRow("zero screen mm") << RunRecordWriter::encodeHeader(header(35, 0.0))
                                        << "screen width 0 mm is not positive at byte 16";
        QTest::newRow("zero screen px") << RunRecordWriter::encodeHeader(header(35, 344.2, 0))
                                        << "screen width of 0 pixels at byte 24";
        QTest::newRow("channel other than 1")
            << good + RunRecordWriter::encodeRecord(5, 2, "abc") << "unknown channel 2 at byte 40";
        QTest::newRow("length past the end")
            << pastEnd << "record length 6 runs past the end of the record at byte 41";
        QTest::newRow("huge length")
            << good + QByteArray::fromHex("000000000000000001ffffffff")
            << "record length 4294967295 runs past the end of the record at byte 41";
        QTest::newRow("truncated record header")
            << good + QByteArray(5, '\0') << "truncated record header at byte 32";
    }

    void malformedRecordsNameTheOffset() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        const QString got = readAll(bytes);
        QVERIFY2(got.endsWith(error), qPrintable(got));
    }

    void pruneKeepsTheNewestRunsOnly() {
        QTemporaryDir dir;
        QDir root(dir.path());
        QDateTime t(QDate(2026, 12, 1), QTime(10, 0, 0));
        QStringList made;
        for (int i = 0; i < 23; ++i) {
            made << RunFolders::create(dir.path(), t.addSecs(i * 61));
        }
        const QString twin = RunFolders::create(dir.path(), t.addSecs(22 * 61));
        QVERIFY(twin.endsWith("-2"));
        root.mkdir("not-a-run");
        RunFolders::prune(dir.path(), 20);
        const QStringList left = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        QCOMPARE(left.size(), 21);  // 20 runs and the unrelated folder
        QVERIFY(left.contains("not-a-run"));
        QVERIFY(!QDir(made.at(3)).exists());
        QVERIFY(QDir(made.at(4)).exists());
        QVERIFY(QDir(twin).exists());
    }
};

NIMBRA_CORE_TEST_MAIN(TestRunRecord)
#include "tst_RunRecord.moc"
