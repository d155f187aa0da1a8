// A replay computes the same maps whatever read boundaries the link gave the
// live run: the record keeps the bytes as received, and the reassembly does
// not depend on where they were cut.
#include "tests/support/RecordCuts.h"
#include "tests/support/SyntheticRunRecord.h"
#include "tests/support/TestMain.h"

#include <QProcess>
#include <QTemporaryDir>

namespace {

const char* const kMaps[] = {"480_640_1__LeftMap.dat", "480_640_1__RightMap.dat",
                             "640_480_1__LeftMap.dat", "640_480_1__RightMap.dat"};

// Replays `record` into `out`; the exit status, or -1.
int replay(const QByteArray& record, const QString& out) {
    QFile file(out + ".nrec");
    if (!file.open(QIODevice::WriteOnly) || file.write(record) != record.size()) {
        return -1;
    }
    file.close();
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QStringLiteral(NIMBRA_REPLAY_BIN), {file.fileName(), "--out", out});
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit) {
        return -1;
    }
    return p.exitCode();
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int recordCount(const QByteArray& record) {
    int n = 0;
    for (int at = 32; at + 13 <= record.size(); ++n) {
        const auto* b = reinterpret_cast<const uchar*>(record.constData() + at + 9);
        at += 13 + int(b[0] | b[1] << 8 | b[2] << 16 | b[3] << 24);
    }
    return n;
}

}  // namespace

class TestReplayCuts : public QObject {
    Q_OBJECT

private slots:
    // Reads of 1 to 3000 bytes (the stream assemblers' own tests go through
    // fixed sizes too): packets now span several reads, and reads several packets.
    void mapsDoNotDependOnTheReadBoundaries() {
        const QByteArray record = SyntheticRunRecord::build();  // one packet per read
        QCOMPARE(replay(record, m_dir.filePath("whole")), 0);
        const QByteArray recut = RecordCuts::recut(record, ReadCuts::seededRandom(11, 3000));
        QVERIFY(recordCount(recut) > 2 * recordCount(record));
        QCOMPARE(replay(recut, m_dir.filePath("recut")), 0);
        for (const char* name : kMaps) {
            const QByteArray map = readFile(m_dir.filePath(QString("whole/") + name));
            QVERIFY2(map.size() > 1000000, name);
            QVERIFY2(readFile(m_dir.filePath(QString("recut/") + name)) == map, name);
        }
    }

private:
    QTemporaryDir m_dir;
};

NIMBRA_CORE_TEST_MAIN(TestReplayCuts)
#include "tst_ReplayCuts.moc"
