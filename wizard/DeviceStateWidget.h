#pragma once

#include <QString>
#include <QWidget>

class Ui_DeviceStateWidget;

// Notice that the drone went away during a run; its button ends the run.
class DeviceStateWidget : public QWidget {
    Q_OBJECT

public:
    explicit DeviceStateWidget(QWidget* parent = nullptr);
    ~DeviceStateWidget() override;

    void langueChange(QString langue);

public slots:
    void onOKBtnClicked();

private:
    Ui_DeviceStateWidget* ui;
};
