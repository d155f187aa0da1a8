#pragma once

#include <QDateTime>
#include <QString>

// The run folders "<Documents>/NimbraDesktop/runs/<yyyy-MM-dd-hh-mm-ss>/":
// one per calibration run, holding its record, calibration log and maps. Only
// the newest ones are kept.
namespace RunFolders {

constexpr int kKept = 20;

// "<documents>/NimbraDesktop/runs"
QString root(const QString& documents);

// Creates the folder of a run started at time (a "-2", "-3"... suffix when
// two runs start within one second). Empty, with a log line, on failure.
QString create(const QString& runsRoot, const QDateTime& time);

// Deletes all but the newest `keep` run folders (by name, which sorts by
// start time). Other entries of runsRoot are left alone.
void prune(const QString& runsRoot, int keep = kKept);

}  // namespace RunFolders
