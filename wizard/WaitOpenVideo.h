#pragma once

#include <QString>
#include <QWidget>

class Ui_WaitOpenVideo;

// Overlay of the calibration window while a camera pair is being switched on.
class WaitOpenVideo : public QWidget {
    Q_OBJECT

public:
    enum VideoType { Forward = 0, Downward = 1 };

    explicit WaitOpenVideo(QWidget* parent = nullptr);
    ~WaitOpenVideo() override;

    // Picture and text of the pair; any other value changes nothing.
    void setVideoType(int type);
    // Stores the language for the next setVideoType and converts the text
    // already shown, so an open overlay follows a switch at once.
    void langueChange(QString langue);

private:
    Ui_WaitOpenVideo* ui;
    QString m_langue;
};
