#include "wizard/RunResultTexts.h"

#include <QDebug>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

#include <cmath>

namespace RunResultTexts {

namespace {

QString cm(double value) {
    return std::isfinite(value) ? QString::number(value, 'f', 2) : QStringLiteral("?");
}

QString px(double value) {
    return std::isfinite(value) ? QString::number(value, 'f', 2) : QStringLiteral("?");
}

QString count(int value) {
    return value >= 0 ? QString::number(value) : QStringLiteral("?");
}

QString pairName(const QString& key, const InLangue& inLangue) {
    if (key == QLatin1String("forward")) {
        return inLangue(QStringLiteral("前视双目"));
    }
    if (key == QLatin1String("downward")) {
        return inLangue(QStringLiteral("下视双目"));
    }
    return key;
}

QString cameraName(const QString& key, const InLangue& inLangue) {
    if (key == QLatin1String("forwardLeft")) {
        return inLangue(QStringLiteral("前视左摄像头"));
    }
    if (key == QLatin1String("forwardRight")) {
        return inLangue(QStringLiteral("前视右摄像头"));
    }
    if (key == QLatin1String("downwardLeft")) {
        return inLangue(QStringLiteral("下视左摄像头"));
    }
    if (key == QLatin1String("downwardRight")) {
        return inLangue(QStringLiteral("下视右摄像头"));
    }
    return key;
}

// The camera of the pair that ordered fewer images: the one a calibration
// from too few images failed on.
const RunReportSummary::Camera* weakerCamera(const RunReportSummary::Pair* pair) {
    if (!pair || pair->left.ordered < 0 || pair->right.ordered < 0) {
        return nullptr;
    }
    return pair->left.ordered <= pair->right.ordered ? &pair->left : &pair->right;
}

QString imagesReason(const RunReportSummary& report, const InLangue& inLangue) {
    const RunReportSummary::Failure& f = report.failure;
    const RunReportSummary::Camera* camera = weakerCamera(report.pair(f.pair));
    if (!camera) {
        return inLangue(QStringLiteral("可用图像太少，无法标定%1：26 张图像中只有 %2 张可用"))
            .arg(pairName(f.pair, inLangue),
                 count(std::isfinite(f.measured) ? int(f.measured) : -1));
    }
    if (camera->ordered == 0 && camera->circlesSent <= 0) {
        return inLangue(QStringLiteral("%1没有看到标定靶：26 张图像中 0 张可用"))
            .arg(cameraName(camera->key, inLangue));
    }
    // It found circles, but never the whole board with its three marks.
    if (camera->ordered == 0) {
        return inLangue(QStringLiteral("%1没有一张图像拍到完整的标定靶：26 张图像中 0 张可用"))
            .arg(cameraName(camera->key, inLangue));
    }
    return inLangue(QStringLiteral("可用图像太少，无法标定%1：26 张图像中只有 %2 张可用"))
        .arg(cameraName(camera->key, inLangue), count(camera->ordered));
}

}  // namespace

bool isBoardSizeFailure(const RunReportSummary& report) {
    return report.readable && !report.succeeded && report.hasFailure &&
           report.failure.check == QLatin1String("baseline");
}

QString failureReason(const RunReportSummary& report, const InLangue& inLangue) {
    if (!report.readable) {
        return inLangue(QStringLiteral("无法读取本次标定的报告"));
    }
    if (report.succeeded) {
        return QString();
    }
    const QString generic = inLangue(QStringLiteral("标定失败，原因见报告"));
    if (!report.hasFailure) {
        return generic;
    }
    const RunReportSummary::Failure& f = report.failure;
    const QString pair = pairName(f.pair, inLangue);
    const RunReportSummary::Pair* pairReport = report.pair(f.pair);
    const QString check = f.check;
    QStringList lines;
    if (check == QLatin1String("baseline")) {
        lines << inLangue(QStringLiteral(
                              "设备看到的标定靶尺寸与本屏幕不符：%1基线 %2 cm，应为 %3–%4 cm"))
                     .arg(pair, cm(f.measured), cm(f.min), cm(f.max))
              << inLangue(QStringLiteral(
                     "屏幕报告的尺寸可能有误，请用一张银行卡校准屏幕尺寸后重新标定"));
    } else if (check == QLatin1String("rms")) {
        lines << inLangue(QStringLiteral("图像模糊或角度过斜：%1重投影误差 %2 px，最多允许 %3 px"))
                     .arg(pair, px(f.measured), px(f.max));
    } else if (check == QLatin1String("images")) {
        lines << imagesReason(report, inLangue);
    } else if (check == QLatin1String("stereoViews")) {
        lines << inLangue(QStringLiteral(
                              "%1两个摄像头没有共同可用的图像：左 %2 张，右 %3 张（共 26 张）"))
                     .arg(pair, count(pairReport ? pairReport->left.ordered : -1),
                          count(pairReport ? pairReport->right.ordered : -1));
    } else if (check == QLatin1String("translation")) {
        lines << inLangue(QStringLiteral("%1标定未能得出两个摄像头之间的距离")).arg(pair);
    } else if (check == QLatin1String("outputs")) {
        const QString why =
            pairReport && !pairReport->outputError.isEmpty() ? pairReport->outputError : f.message;
        lines << inLangue(QStringLiteral("标定结果无法保存到磁盘：%1")).arg(why);
    } else if (check == QLatin1String("lastImage")) {
        lines << inLangue(QStringLiteral("最后一张图像没有收到或无法识别，标定没有开始"));
    } else if (check == QLatin1String("timeout")) {
        lines << inLangue(QStringLiteral("采集结束 10 秒后仍未收到最后一张图像，标定没有开始"));
    } else if (check == QLatin1String("connection")) {
        lines << inLangue(QStringLiteral("与设备的连接中断，标定没有完成"))
              << inLangue(QStringLiteral("请检查与设备的连接，然后重新标定"));
    } else if (check == QLatin1String("maps")) {
        lines << inLangue(QStringLiteral("生成的深度图校验失败，没有上传到设备"));
    } else if (check == QLatin1String("upload")) {
        lines << inLangue(QStringLiteral("标定结果未能完整送达设备"))
              << inLangue(QStringLiteral("请检查与设备的连接，然后重新标定"));
    } else {
        lines << generic;
    }
    return lines.join(QLatin1Char('\n'));
}

QString quality(const RunReportSummary& report, const InLangue& inLangue) {
    if (!report.readable) {
        return QString();
    }
    QStringList parts;
    for (const RunReportSummary::Pair& pair : report.pairs) {
        if (!pair.calibrated) {
            continue;
        }
        QString name = pairName(pair.key, inLangue);
        if (!name.isEmpty()) {
            name[0] = name[0].toUpper();
        }
        parts << inLangue(QStringLiteral("%1：RMS %2 px，基线 %3 cm（%4–%5）"))
                     .arg(name, px(pair.stereoRmsPx), cm(pair.baselineCm), cm(pair.minBaselineCm),
                          cm(pair.maxBaselineCm));
    }
    return parts.join(QStringLiteral("    "));
}

bool openReport(const RunReportSummary& report) {
    const QString path = report.htmlPath();
    if (report.folder.isEmpty() || !QFileInfo::exists(path)) {
        qDebug().noquote() << QStringLiteral("run report: %1 does not exist").arg(path);
        return false;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        qDebug().noquote() << QStringLiteral("run report: nothing opened %1").arg(path);
        return false;
    }
    return true;
}

}  // namespace RunResultTexts
