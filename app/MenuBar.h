#pragma once

#include <QString>
#include <QWidget>

// The settings menu that drops from the status bar's settings button: language
// choice and About. A child of the main window, hidden until the button is
// pressed.
class MenuBar : public QWidget {
    Q_OBJECT

public:
    explicit MenuBar(QWidget* parent = nullptr);

    void langueChange(QString langue);

signals:
    void langueChanged(QString langue);
    void aboutShow();
};
