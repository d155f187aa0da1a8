#pragma once

#include <QString>
#include <QWidget>

class Ui_VideoFiled;

// Notice that the drone's cameras could not be switched on; its button ends
// the run and brings the main window back one second later.
class VideoFiled : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMainWindowDelayMs = 1000;

    explicit VideoFiled(QWidget* parent = nullptr);
    ~VideoFiled() override;

    void langueChange(QString langue);

public slots:
    void onRestartClicked();

private:
    Ui_VideoFiled* ui;
};
