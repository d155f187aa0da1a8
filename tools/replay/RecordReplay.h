#pragma once

#include "device/record/RunRecordFormat.h"

#include <QString>

#include <functional>

// Feeds a run record through the same reassembly, parsing and calibration run
// (CalibrationRun: ordering tasks on the global pool, calibration, map
// conversion) as a live run, writing the calibration log and the maps, and
// the run report (report.json, report.html), into an output folder of its
// own.
class RecordReplay {
public:
    enum class Outcome { Calibrated = 0, CalibrationFailed = 1, BadRecord = 2 };

    struct Summary {
        Outcome outcome = Outcome::BadRecord;
        QString error;     // for BadRecord: what and at which byte
        QString reason;    // for CalibrationFailed: why, in words (a failed check, an
                           // output that could not be written)
        int records = 0;   // records read
        int packets = 0;   // feature packets accepted
        int tasks = 0;     // ordering tasks started
        qint64 bytes = 0;  // data-channel bytes replayed
        RunRecordFormat::Header header;
        double secondsReading = 0;
        double secondsComputing = 0;  // from the last packet to the published result
        double secondsReport = 0;     // building and writing report.json and report.html
        QString report;               // report.html, when written
    };

    using Progress = std::function<void(const QString& line)>;

    // outputFolder must exist. Blocks until the run's result is published.
    static Summary run(const QString& recordPath, const QString& outputFolder,
                       const Progress& progress);
};
