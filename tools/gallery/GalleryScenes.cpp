#include "tools/gallery/GalleryScenes.h"

#include "app/AboutWidget.h"
#include "device/BCInstanceManager.h"
#include "device/ImageDeal.h"
#include "wizard/BCWidget.h"
#include "wizard/DeviceStateWidget.h"
#include "wizard/DownwardFinished.h"
#include "app/MenuBar.h"
#include "wizard/ForwardFinished.h"
#include "video/GuidPlayer.h"
#include "app/NimbraDesktop.h"
#include "wizard/ProgressBar.h"
#include "wizard/QuitBC.h"
#include "wizard/VideoFiled.h"
#include "video/VideoWidget.h"
#include "wizard/WaitOpenVideo.h"
#include "wizard/NGWidget.h"
#include "wizard/OKWidget.h"
#include "Calibration/report/RunReportSummary.h"

#include <QApplication>
#include <QDebug>
#include <QPainter>
#include <QStackedWidget>
#include <QTest>

namespace {
// Time for a tutorial clip to decode and paint its first frames.
constexpr int kClipStartMs = 700;
}  // namespace

GalleryScenes::GalleryScenes(const QDir& outDir, const QString& langue)
    : m_outDir(outDir), m_langue(langue) {}

void GalleryScenes::save(QWidget* widget, const QString& name) {
    QApplication::processEvents();
    QTest::qWait(50);
    const QString path = m_outDir.filePath(QStringLiteral("%1_%2.png").arg(name, m_langue));
    if (!widget->grab().save(path)) {
        qWarning() << "gallery: cannot write" << path;
    }
}

void GalleryScenes::renderPages() {
    NimbraDesktop* main = NimbraDesktop::getInstance();
    main->show();
    if (!QTest::qWaitForWindowExposed(main)) {
        qWarning() << "gallery: main window not exposed";
    }
    const QStringList& names = main->pageNames();
    for (int i = 0; i < main->stack()->count(); ++i) {
        if (i == NimbraDesktop::GuidePage) {
            // The guide page as a device connects: clips playing, countdown running.
            main->setGuideShow();
            QTest::qWait(kClipStartMs);
        } else if (i == NimbraDesktop::ScreenSizePage) {
            // The check of this screen as the menu opens it.
            main->showScreenSizeCheck();
        } else {
            main->stack()->setCurrentIndex(i);
        }
        save(main, QStringLiteral("page%1_%2").arg(i).arg(names.value(i)));
    }
    // The progress page while the maps travel to the drone.
    ImageDeal* deal = BCInstanceManager::getInstance()->getImageDeal();
    main->stack()->setCurrentIndex(NimbraDesktop::ProgressPage);
    emit deal->progress(51);
    emit deal->uploadProgress(2150000, 4925213);
    save(main, QStringLiteral("page%1_%2_upload")
                   .arg(NimbraDesktop::ProgressPage)
                   .arg(names.value(NimbraDesktop::ProgressPage)));
    emit deal->progress(0);
    main->stack()->setCurrentIndex(NimbraDesktop::LinkPage);
}

void GalleryScenes::renderMenuAndAbout() {
    NimbraDesktop* main = NimbraDesktop::getInstance();
    main->show();
    main->menuBar()->show();
    save(main, QStringLiteral("menu"));
    main->menuBar()->hide();

    // Shown without exec: the gallery must not wait for a click.
    AboutWidget* about = main->aboutWidget();
    about->show();
    if (!QTest::qWaitForWindowExposed(about)) {
        qWarning() << "gallery: About dialog not exposed";
    }
    save(about, QStringLiteral("about"));
    about->hide();
}

QImage GalleryScenes::syntheticFrame(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(205, 205, 200));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(30, 30, 30));
    const int step = 22;
    for (int y = 40; y < height - 40; y += step) {
        const int offset = ((y / step) % 2) ? step : 0;
        for (int x = 40 + offset; x < width - 40; x += 2 * step) {
            painter.drawEllipse(QPoint(x, y), 7, 7);
        }
    }
    return image;
}

void GalleryScenes::renderCalibrationWindow() {
    NimbraDesktop* main = NimbraDesktop::getInstance();
    BCWidget* bc = main->bcWidget();
    // QWidget::show, not BCWidget::show: the gallery starts no run.
    static_cast<QWidget*>(bc)->show();
    if (!QTest::qWaitForWindowExposed(bc)) {
        qWarning() << "gallery: calibration window not exposed";
    }

    bc->waitOverlay()->setVideoType(WaitOpenVideo::Forward);
    bc->waitOverlay()->show();
    save(bc, QStringLiteral("bc_wait_forward"));
    bc->waitOverlay()->setVideoType(WaitOpenVideo::Downward);
    save(bc, QStringLiteral("bc_wait_downward"));
    bc->waitOverlay()->hide();

    const QList<QPair<QWidget*, QString>> overlays = {
        {bc->forwardFinishedOverlay(), QStringLiteral("bc_forward_finished")},
        {bc->downwardFinishedOverlay(), QStringLiteral("bc_downward_finished")},
        {bc->quitOverlay(), QStringLiteral("bc_quit")},
        {bc->deviceOverlay(), QStringLiteral("bc_device_lost")},
        {bc->videoFailedOverlay(), QStringLiteral("bc_video_failed")},
    };
    for (const auto& overlay : overlays) {
        if (overlay.first == bc->forwardFinishedOverlay()) {
            bc->forwardFinishedOverlay()->startShow();  // with its clip
            QTest::qWait(kClipStartMs);
        } else {
            overlay.first->show();
        }
        save(bc, overlay.second);
        overlay.first->hide();
    }

    if (auto* clip = qobject_cast<GuidPlayer*>(bc->view())) {
        clip->startPlayer(GuidPlayer::TipForward);
    }
    QTest::qWait(kClipStartMs);

    bc->onImageChanged(VideoShow::ForwardLeft);
    bc->video()->onImageFrame(syntheticFrame(480, 640));
    bc->onFlightStateChange(ImageCapture::MoveCloser);
    for (int i = 0; i < 8; ++i) {
        bc->onImageIndex(i);
    }
    bc->video()->onCirclePos(QRect(180, 250, 40, 40), QRect(160, 330, 40, 40),
                             QRect(250, 330, 40, 40), 1, 1, 3, false);
    save(bc, QStringLiteral("bc_capture_forward"));

    bc->onImageChanged(VideoShow::DownwardLeft);
    bc->onImageChanged(VideoShow::DownwardRight);
    bc->video()->onImageFrame(syntheticFrame(640, 480));
    bc->onFlightStateChange(ImageCapture::MoveAway);
    bc->video()->onCirclePos(QRect(300, 200, 40, 40), QRect(260, 260, 40, 40),
                             QRect(360, 260, 40, 40), 0, 0, 8, true);
    save(bc, QStringLiteral("bc_capture_downward"));
    bc->hide();
}

namespace {

RunReportSummary::Pair pairReport(const QString& key, bool forward, int leftOrdered,
                                  int rightOrdered) {
    RunReportSummary::Pair p;
    p.key = key;
    p.calibrated = true;
    p.stereoRmsPx = forward ? 0.214 : 0.187;
    p.baselineCm = forward ? 5.93 : 3.89;
    p.minBaselineCm = forward ? 5.7 : 3.7;
    p.maxBaselineCm = forward ? 6.1 : 4.1;
    p.rmsLimitPx = 0.5;
    p.left = {key + QStringLiteral("Left"), 26, leftOrdered};
    p.right = {key + QStringLiteral("Right"), 26, rightOrdered};
    return p;
}

// A report as the run writes it, failed on check (of pair, or of the run when
// pair is empty) with the given numbers.
RunReportSummary failedRun(const QString& folder, const QString& pair, const QString& check,
                           double measured = RunReportSummary::kUnknown,
                           double min = RunReportSummary::kUnknown,
                           double max = RunReportSummary::kUnknown, int leftOrdered = 26,
                           int rightOrdered = 26) {
    RunReportSummary r;
    r.readable = true;
    r.folder = folder;
    r.hasFailure = true;
    r.failure.pair = pair;
    r.failure.check = check;
    r.failure.measured = measured;
    r.failure.min = min;
    r.failure.max = max;
    const bool downward = pair == QLatin1String("downward");
    r.pairs.push_back(pairReport(QStringLiteral("forward"), true, downward ? 26 : leftOrdered,
                                 downward ? 26 : rightOrdered));
    r.pairs.push_back(pairReport(QStringLiteral("downward"), false, downward ? leftOrdered : 26,
                                 downward ? rightOrdered : 26));
    r.pairs[downward ? 1 : 0].calibrated = pair.isEmpty();
    if (check == QLatin1String("outputs")) {
        r.pairs[downward ? 1 : 0].outputError = QStringLiteral(
            "/home/user/Documents/NimbraDesktop/1_forward_LeftMap.dat: No space "
            "left on device");
    }
    return r;
}

}  // namespace

void GalleryScenes::renderRunResults() {
    NimbraDesktop* main = NimbraDesktop::getInstance();
    main->show();
    auto* ok = qobject_cast<OKWidget*>(main->stack()->widget(NimbraDesktop::OkPage));
    auto* ng = qobject_cast<NGWidget*>(main->stack()->widget(NimbraDesktop::NgPage));
    if (!ok || !ng) {
        qWarning() << "gallery: no result pages";
        return;
    }
    const QString folder = m_outDir.path();
    // The forward left camera found circles, never the whole board.
    RunReportSummary neverWhole =
        failedRun(folder, QStringLiteral("forward"), QStringLiteral("images"), 0, 1,
                  RunReportSummary::kUnknown, 0, 25);
    neverWhole.pairs[0].left.circlesSent = 900;
    const QList<QPair<QString, RunReportSummary>> reasons = {
        {QStringLiteral("board_size"),
         failedRun(folder, QStringLiteral("forward"), QStringLiteral("baseline"), 6.19, 5.7, 6.1)},
        {QStringLiteral("blurred"),
         failedRun(folder, QStringLiteral("downward"), QStringLiteral("rms"), 0.734,
                   RunReportSummary::kUnknown, 0.5)},
        {QStringLiteral("camera_saw_nothing"),
         failedRun(folder, QStringLiteral("forward"), QStringLiteral("images"), 0, 1,
                   RunReportSummary::kUnknown, 0, 25)},
        {QStringLiteral("board_never_whole"), neverWhole},
        {QStringLiteral("too_few_images"),
         failedRun(folder, QStringLiteral("downward"), QStringLiteral("images"), 3, 1,
                   RunReportSummary::kUnknown, 24, 3)},
        {QStringLiteral("no_common_images"),
         failedRun(folder, QStringLiteral("forward"), QStringLiteral("stereoViews"), 0, 1,
                   RunReportSummary::kUnknown, 12, 11)},
        {QStringLiteral("not_saved"),
         failedRun(folder, QStringLiteral("forward"), QStringLiteral("outputs"))},
        {QStringLiteral("last_image"), failedRun(folder, QString(), QStringLiteral("lastImage"))},
        {QStringLiteral("timeout"), failedRun(folder, QString(), QStringLiteral("timeout"))},
        {QStringLiteral("device_lost"), failedRun(folder, QString(), QStringLiteral("connection"))},
        {QStringLiteral("maps"), failedRun(folder, QString(), QStringLiteral("maps"))},
        {QStringLiteral("upload"), failedRun(folder, QString(), QStringLiteral("upload"))},
        {QStringLiteral("report_unreadable"), RunReportSummary()},
    };
    main->stack()->setCurrentIndex(NimbraDesktop::NgPage);
    for (const auto& reason : reasons) {
        ng->resetForRun();
        ng->showRunReport(reason.second);
        save(main, QStringLiteral("ng_%1").arg(reason.first));
    }
    ng->resetForRun();

    RunReportSummary passed;
    passed.readable = true;
    passed.succeeded = true;
    passed.folder = folder;
    passed.pairs = {pairReport(QStringLiteral("forward"), true, 26, 26),
                    pairReport(QStringLiteral("downward"), false, 26, 25)};
    ok->showRunReport(passed);
    main->stack()->setCurrentIndex(NimbraDesktop::OkPage);
    save(main, QStringLiteral("ok_quality"));
    ok->resetForRun();
    main->stack()->setCurrentIndex(NimbraDesktop::LinkPage);
}
