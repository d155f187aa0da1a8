#pragma once

#include <QDialog>
#include <QString>

// The modal About dialog (no parent); the main window keeps it centred on itself.
class AboutWidget : public QDialog {
    Q_OBJECT

public:
    explicit AboutWidget(QWidget* parent = nullptr);

    void setLangue(QString langue) { m_langue = langue; }
    QString langue() const { return m_langue; }

private:
    QString m_langue;
};
