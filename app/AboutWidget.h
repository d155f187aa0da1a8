#pragma once

#include <QDialog>
#include <QString>
#include <QUrl>

class Ui_AboutWidget;
class QEvent;

// The modal About dialog (no parent): program name, build label, notice line
// and the web link, on a white rounded panel in a frameless, translucent
// window. The main window keeps it centred on itself and tells it the
// interface language, which picks the language page of the web link.
class AboutWidget : public QDialog {
    Q_OBJECT

public:
    explicit AboutWidget(QWidget* parent = nullptr);
    ~AboutWidget() override;

    void setLangue(QString langue) { m_langue = langue; }
    QString langue() const { return m_langue; }

    // The web link's address followed by "/en" in English, "/cn" otherwise.
    QUrl webUrl() const;

protected:
    // Underlines the link under the mouse and opens it on a release.
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    Ui_AboutWidget* ui;
    QString m_langue;
};
