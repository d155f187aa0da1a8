#pragma once

#include <QString>
#include <QWidget>

class Ui_LinkWidget;

// Main-window page 0: how to connect the computer to the drone's Wi-Fi. Left
// when the heartbeat reports the drone.
class LinkWidget : public QWidget {
    Q_OBJECT

public:
    explicit LinkWidget(QWidget* parent = nullptr);
    ~LinkWidget() override;

    void langueChange(QString langue);

private:
    Ui_LinkWidget* ui;
};
