#pragma once

#include <QString>
#include <QWidget>

class Ui_ProgressWidget;

// Main-window page 2: the calculation's progress, 0..52 images handled.
class ProgressWidget : public QWidget {
    Q_OBJECT

public:
    explicit ProgressWidget(QWidget* parent = nullptr);
    ~ProgressWidget() override;

    // True once the data channel has reported 52, its last value before the
    // result.
    bool isFinished() const;
    int value() const;
    void langueChange(QString langue);

private:
    Ui_ProgressWidget* ui;
};
