#pragma once

#include <QString>
#include <QWidget>

class Ui_OKWidget;

// Main-window page 3: the calibration succeeded; "确定" reboots the drone.
class OKWidget : public QWidget {
    Q_OBJECT

public:
    explicit OKWidget(QWidget* parent = nullptr);
    ~OKWidget() override;

    void langueChange(QString langue);

public slots:
    void onBtnClicked();

private:
    Ui_OKWidget* ui;
};
