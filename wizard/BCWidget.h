#pragma once

#include <QString>
#include <QWidget>

class Ui_BCWidget;

// The full-screen calibration window that carries a run: the target board on
// the right, step title, tutorial clip, live camera view and capture progress on
// the left. A separate top-level window, built once by the main window.
class BCWidget : public QWidget {
    Q_OBJECT

public:
    explicit BCWidget(QWidget* parent = nullptr);
    ~BCWidget() override;

    // Starts a run (hides QWidget::show on purpose: the main window calls this).
    void show();
    void langueChange(QString langue);
    QString langue() const { return m_langue; }

public slots:
    void onStateChange(bool state);

private:
    Ui_BCWidget* ui;
    QString m_langue;
};
