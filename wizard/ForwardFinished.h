#pragma once

#include <QString>
#include <QWidget>

class Ui_ForwardFinished;

// Overlay between the forward and the downward pair: tells the user to turn
// the drone; its button switches the run to the downward cameras.
class ForwardFinished : public QWidget {
    Q_OBJECT

public:
    explicit ForwardFinished(QWidget* parent = nullptr);
    ~ForwardFinished() override;

    void langueChange(QString langue);

public slots:
    void startShow();
    void onBtnClicked();

private:
    Ui_ForwardFinished* ui;
};
