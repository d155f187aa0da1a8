#pragma once

#include "Calibration/report/RunReport.h"

// The report's words: every check of a pair with its measured value and
// accepted range, the message of a failed check, and the run's outcome in a
// sentence or two, for a user who knows the drone and the screen but not
// the calibration's internals.
namespace FailureExplanation {

// Fills pair.checks, pair.failedCheck and pair.explanation from the pair's
// numbers and stop reason. forwardFailed: the downward pair was not run
// because the forward pair failed.
// board: the geometry the board points were computed from.
void explainPair(RunReport::Pair& pair, const RunReport::Board& board, bool forwardFailed);

// The run's explanation: a pair's failed check when there is one, else the
// run's outcome.
QString explainRun(const RunReport::Report& report);

// "6.43" style: two decimals for centimetres, three for pixels.
QString cm(double value);
QString px(double value);

}  // namespace FailureExplanation
