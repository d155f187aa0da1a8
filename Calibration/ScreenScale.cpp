#include "Calibration/ScreenScale.h"

#include <QDebug>
#include <QSettings>
#include <QUrl>

#include <cmath>

namespace {

const QString kGroup = QStringLiteral("ScreenScale");

bool densityWithin(double px, double mm, double minPpi, double maxPpi) {
    if (!(px > 0.0) || !(mm > 0.0) || !std::isfinite(mm)) {
        return false;
    }
    const double ppi = px * ScreenScale::kMmPerInch / mm;
    return ppi >= minPpi && ppi <= maxPpi;
}

bool densityPlausible(double px, double mm) {
    return densityWithin(px, mm, ScreenScale::kMinPlausiblePpi, ScreenScale::kMaxPlausiblePpi);
}

}  // namespace

QString ScreenScale::key(const Screen& screen) {
    return kGroup + QLatin1Char('/') + QString::fromLatin1(QUrl::toPercentEncoding(screen.name)) +
           QStringLiteral("@%1x%2").arg(screen.sizePx.width()).arg(screen.sizePx.height());
}

bool ScreenScale::isCheckable(double mmPerPx) {
    return densityWithin(1.0, mmPerPx, kMinCheckedPpi, kMaxCheckedPpi);
}

double ScreenScale::reportedMmPerPx(const Screen& screen) {
    if (screen.sizePx.width() <= 0 || !(screen.sizeMm.width() > 0.0) ||
        !std::isfinite(screen.sizeMm.width())) {
        return 0.0;
    }
    return screen.sizeMm.width() / screen.sizePx.width();
}

bool ScreenScale::reportIsPlausible(const Screen& screen) {
    return densityPlausible(screen.sizePx.width(), screen.sizeMm.width()) &&
           densityPlausible(screen.sizePx.height(), screen.sizeMm.height());
}

double ScreenScale::storedMmPerPx(const Screen& screen) {
    QSettings settings;
    const QVariant value = settings.value(key(screen));
    if (!value.isValid()) {
        return 0.0;
    }
    bool ok = false;
    const double mmPerPx = value.toDouble(&ok);
    if (!ok || !isCheckable(mmPerPx)) {
        qDebug().noquote() << QStringLiteral("screen scale: ignoring the stored value \"%1\" of %2")
                                  .arg(value.toString(), key(screen));
        return 0.0;
    }
    return mmPerPx;
}

bool ScreenScale::store(const Screen& screen, double mmPerPx) {
    if (!isCheckable(mmPerPx)) {
        qDebug().noquote() << QStringLiteral("screen scale: not storing %1 mm per pixel (%2 ppi)")
                                  .arg(mmPerPx)
                                  .arg(ppi(mmPerPx));
        return false;
    }
    QSettings settings;
    settings.setValue(key(screen), mmPerPx);
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        qDebug().noquote() << QStringLiteral("screen scale: cannot write the preferences %1")
                                  .arg(settings.fileName());
        return false;
    }
    qDebug().noquote() << QStringLiteral("screen scale: %1 is %2 mm per pixel (%3 mm wide)")
                              .arg(key(screen))
                              .arg(mmPerPx, 0, 'f', 6)
                              .arg(mmPerPx * screen.sizePx.width(), 0, 'f', 1);
    return true;
}

void ScreenScale::forget(const Screen& screen) {
    QSettings settings;
    settings.remove(key(screen));
    settings.sync();
}

double ScreenScale::mmPerPx(const Screen& screen) {
    const double stored = storedMmPerPx(screen);
    return stored > 0.0 ? stored : reportedMmPerPx(screen);
}

bool ScreenScale::needsCheck(const Screen& screen) {
    return storedMmPerPx(screen) <= 0.0 && !reportIsPlausible(screen);
}
