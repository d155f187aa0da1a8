// Fuzz target: the result pages' reading of report.json on arbitrary bytes.
// It must end, and what it reads must hold together: a failure only for a
// readable failed run, a reason only with a failure.
#include "Calibration/report/RunReportSummary.h"

#include <cstdlib>

// Qt 5.15's JSON parser leaks the value of a repeated key when that value is
// an object or array ({"a": {}, "a": {}}): a fault of the library, a few
// bytes once per report read, never in a report the program writes. Leaks
// whose stack passes through the (uninstrumented) Qt Core library are not
// reported here; memory errors still are.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libQt5Core.so";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const RunReportSummary s = RunReportSummary::fromJson(bytes);
    if (!s.readable && (s.error.isEmpty() || s.hasFailure || !s.pairs.empty())) {
        std::abort();
    }
    if (s.hasFailure && s.succeeded) {
        std::abort();
    }
    if (!s.hasFailure && !s.failure.check.isEmpty()) {
        std::abort();
    }
    for (const RunReportSummary::Pair& p : s.pairs) {
        if (s.pair(p.key) == nullptr) {
            std::abort();
        }
    }
    return 0;
}
