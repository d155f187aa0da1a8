#include "device/record/RunFolders.h"

#include <QDebug>
#include <QDir>
#include <QRegularExpression>

namespace RunFolders {

namespace {
const QRegularExpression kRunName(QStringLiteral(R"(^\d{4}-\d\d-\d\d-\d\d-\d\d-\d\d(-\d+)?$)"));
}

QString root(const QString& documents) {
    return documents + QStringLiteral("/NimbraDesktop/runs");
}

QString create(const QString& runsRoot, const QDateTime& time) {
    const QString base =
        runsRoot + QLatin1Char('/') + time.toString(QStringLiteral("yyyy-MM-dd-hh-mm-ss"));
    QString path = base;
    for (int n = 2; QDir(path).exists() && n < 1000; ++n) {
        path = base + QStringLiteral("-%1").arg(n);
    }
    if (!QDir().mkpath(path)) {
        qDebug().noquote() << QStringLiteral("run record: cannot create %1").arg(path);
        return QString();
    }
    return path;
}

void prune(const QString& runsRoot, int keep) {
    QDir dir(runsRoot);
    QStringList runs;
    for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        if (kRunName.match(name).hasMatch()) {
            runs << name;
        }
    }
    // Names sort by time; a "-N" suffix sorts after its plain twin.
    std::sort(runs.begin(), runs.end(), [](const QString& a, const QString& b) {
        const QString ta = a.left(19), tb = b.left(19);
        if (ta != tb)
            return ta < tb;
        return a.mid(20).toInt() < b.mid(20).toInt();
    });
    for (int i = 0; i + keep < runs.size(); ++i) {
        if (!QDir(dir.filePath(runs.at(i))).removeRecursively()) {
            qDebug().noquote() << QStringLiteral("run record: cannot delete old run %1")
                                      .arg(dir.filePath(runs.at(i)));
        }
    }
}

}  // namespace RunFolders
