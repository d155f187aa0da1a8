#pragma once

#include <QString>
#include <QWidget>

class Ui_QuitBC;

// Quit confirmation of the calibration window: "确定" ends the run, the close
// button only hides the overlay and the run goes on.
class QuitBC : public QWidget {
    Q_OBJECT

public:
    explicit QuitBC(QWidget* parent = nullptr);
    ~QuitBC() override;

    void langueChange(QString langue);

public slots:
    void onBtnClicked();

private:
    Ui_QuitBC* ui;
};
