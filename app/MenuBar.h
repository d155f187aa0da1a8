#pragma once

#include <QPoint>
#include <QString>
#include <QWidget>

class Ui_MenuBar;
class QEvent;

// The settings menu that drops from the status bar's settings button: language
// choice (Chinese or English), About, and the screen size check. A child of
// the main window, placed at kPosition in its coordinates and hidden until the
// button is pressed; it grows to the left and upwards from there, keeping its
// bottom-right corner, so that it stays inside the window. The selected
// language is drawn green, the other white.
class MenuBar : public QWidget {
    Q_OBJECT

public:
    // Top-left corner in the main window of a menu of kMinimumWidth x
    // kMinimumHeight, in pixels; a taller or wider menu keeps its bottom-right
    // corner.
    static constexpr QPoint kPosition{840, 551};
    static constexpr int kMinimumWidth = 200;
    static constexpr int kMinimumHeight = 92;

    explicit MenuBar(QWidget* parent = nullptr);
    ~MenuBar() override;

    // Marks the selected language and converts the entries' texts. The menu
    // grows to fit the longer English texts, to the left so that it keeps
    // its right edge and stays inside the main window.
    void langueChange(QString langue);

signals:
    void langueChanged(QString langue);
    void aboutShow();
    void screenSizeShow();

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    void markSelected(bool english);
    void fitToTexts();

    Ui_MenuBar* ui;
};
