#pragma once

#include <QString>
#include <QWidget>

class Ui_DownwardFinished;

// Overlay at the end of the downward pair: its button closes the calibration
// window and shows the main window's progress page.
class DownwardFinished : public QWidget {
    Q_OBJECT

public:
    explicit DownwardFinished(QWidget* parent = nullptr);
    ~DownwardFinished() override;

    void langueChange(QString langue);

public slots:
    void onBtnClicked();

private:
    Ui_DownwardFinished* ui;
};
