#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class Ui_ProgressWidget;

// Main-window page 2: the calculation's progress, 0..52 images handled, and
// then, until the drone has received the maps, how far their upload has come.
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
    void showUpload(qint64 delivered, qint64 total);
    void updateUploadText();

    Ui_ProgressWidget* ui;
    QLabel* m_pUpload = nullptr;
    QString m_langue;
    int m_uploadPercent = -1;  // no upload under way
};
