#pragma once

#include "wizard/WizardPage.h"

class Ui_WaitOpenVideo;

// Overlay of the calibration window while a camera pair is being switched on.
class WaitOpenVideo : public WizardPage {
    Q_OBJECT

public:
    enum VideoType { Forward = 0, Downward = 1 };

    explicit WaitOpenVideo(QWidget* parent = nullptr);
    ~WaitOpenVideo() override;

    // Picture and text of the pair in the language last applied (an open
    // overlay follows a language switch at once); any other value changes
    // nothing.
    void setVideoType(int type);

private:
    Ui_WaitOpenVideo* ui;
};
