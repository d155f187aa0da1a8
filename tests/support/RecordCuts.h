#pragma once

#include "tests/support/ReadCuts.h"

#include <QByteArray>

// Run records as another link would have left them: the same header and the
// same received bytes in the same order, but with the read boundaries a
// different cut gives (ReadCuts). A replay must not tell them apart.
namespace RecordCuts {

// `record` (a whole run record) with its data-channel bytes cut anew; the
// records' times are spread evenly over the original span. Empty when
// `record` does not read as a run record.
QByteArray recut(const QByteArray& record, const ReadCuts::NextSize& next);

}  // namespace RecordCuts
