#pragma once

#include <QList>
#include <QString>
#include <QWidget>

#include "device/ImageCapture.h"
#include "video/VideoShow.h"

class Ui_BCWidget;
class WaitOpenVideo;
class ForwardFinished;
class DownwardFinished;
class QuitBC;
class DeviceStateWidget;
class VideoFiled;
class WizardPage;
class BCBoard;
class VideoWidget;
class ProgressBar;
class QLabel;
class QPushButton;

// The frameless calibration window that carries a run: the target board on the
// right; step title, tutorial clip, live camera view, capture progress and the
// quit button on the left; six overlays for the moments between captures.
// Reaches the session objects through the registry and owns none of them.
class BCWidget : public QWidget {
    Q_OBJECT

public:
    // Available widths above this get the wide limits of the left column.
    static constexpr int kNarrowScreenMaxWidth = 1800;

    explicit BCWidget(QWidget* parent = nullptr);
    ~BCWidget() override;

    // Starts a run (hides QWidget::show on purpose: the main window calls this):
    // fresh progress and no overlay an earlier run left, but the wait overlay.
    void show();
    // Shows the wait overlay for the downward cameras.
    void waitDownwardOpenVideo();
    void langueChange(QString langue);
    QString langue() const { return m_langue; }

    // The form's parts and overlays, for the pages and tests.
    QLabel* title() const;
    QLabel* viewText() const;
    QPushButton* quitButton() const;
    QWidget* leftWidget() const;
    QWidget* viewWidget() const;
    QWidget* view() const;
    BCBoard* board() const;
    VideoWidget* video() const;
    ProgressBar* progressBar() const;
    WaitOpenVideo* waitOverlay() const { return m_pWaitOpenVideo; }
    ForwardFinished* forwardFinishedOverlay() const { return m_pForwardFinished; }
    DownwardFinished* downwardFinishedOverlay() const { return m_pDownwardFinished; }
    QuitBC* quitOverlay() const { return m_pQuitBC; }
    DeviceStateWidget* deviceOverlay() const { return m_pDeviceState; }
    VideoFiled* videoFailedOverlay() const { return m_pVideoFiled; }
    // The six overlays in the order they are created (the later lies on top).
    QList<WizardPage*> overlays() const;

public slots:
    void onStateChange(bool state);
    void onFlightStateChange(ImageCapture::FlightState state);
    void onRequestSucceed();
    void onRequestFailed(QString error);
    void onImageIndex(int value);
    void onImageChanged(VideoShow::VideoPosition position);

protected:
    // A hidden window needs no tutorial clip decoding in the background.
    void hideEvent(QHideEvent* event) override;

private:
    void applyGeometry();

    Ui_BCWidget* ui;
    WaitOpenVideo* m_pWaitOpenVideo = nullptr;
    DownwardFinished* m_pDownwardFinished = nullptr;
    ForwardFinished* m_pForwardFinished = nullptr;
    QuitBC* m_pQuitBC = nullptr;
    DeviceStateWidget* m_pDeviceState = nullptr;
    VideoFiled* m_pVideoFiled = nullptr;
    QString m_langue;
};
