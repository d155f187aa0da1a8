#include "Calibration/RunOutcome.h"

QString RunOutcome::reasonId(Reason reason) {
    switch (reason) {
        case Reason::None:
            return QString();
        case Reason::PairFailed:
            return QStringLiteral("pair");
        case Reason::OutputNotWritten:
            return QStringLiteral("outputs");
        case Reason::MapCheckFailed:
            return QStringLiteral("maps");
        case Reason::LastImageMissing:
        case Reason::LastImageNotOrdered:
            return QStringLiteral("lastImage");
        case Reason::LastImageTimeout:
            return QStringLiteral("timeout");
        case Reason::ConnectionLost:
            return QStringLiteral("connection");
        case Reason::UploadFailed:
            return QStringLiteral("upload");
    }
    return QString();
}
