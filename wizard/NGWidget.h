#pragma once

#include <QString>
#include <QWidget>

class Ui_NGWidget;

// Main-window page 4: the calibration failed; tips and "重新标定" back to the
// guide page.
class NGWidget : public QWidget {
    Q_OBJECT

public:
    explicit NGWidget(QWidget* parent = nullptr);
    ~NGWidget() override;

    void langueChange(QString langue);

public slots:
    void onBtnClicked();

private:
    Ui_NGWidget* ui;
};
