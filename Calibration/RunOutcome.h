#pragma once

#include <QString>

// How a calibration run ended: passed (both pairs calibrated, the four
// depth-unit maps written and checked), or failed with a typed reason and
// the reason in words for the user and the run report.
struct RunOutcome {
    enum class Reason {
        None,                 // passed
        PairFailed,           // a pair's calibration failed one of its checks
        OutputNotWritten,     // the calibration log or a map file could not be written
        MapCheckFailed,       // a written depth-unit map does not check out
        LastImageMissing,     // the records ended without the run's last image
        LastImageNotOrdered,  // the last image arrived but its ordering gave up
        LastImageTimeout,     // the last image did not arrive in time after the capture ended
        ConnectionLost,       // the data connection dropped before the last image
        UploadFailed,         // the result could not be handed to the drone
    };

    Reason reason = Reason::None;
    QString message;  // for a failure: what went wrong, one sentence, no "Result NG" prefix

    bool passed() const { return reason == Reason::None; }

    static RunOutcome success() { return RunOutcome(); }
    static RunOutcome failure(Reason reason, const QString& message) {
        RunOutcome o;
        o.reason = reason;
        o.message = message;
        return o;
    }

    // Stable identifier of a reason for report.json ("pair", "outputs",
    // "maps", "lastImage", "timeout", "connection", "upload"; "" for None).
    static QString reasonId(Reason reason);
};
