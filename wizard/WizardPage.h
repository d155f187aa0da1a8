#pragma once

#include <QList>
#include <QString>
#include <QWidget>

#include <initializer_list>

class QLabel;
class QPushButton;

// What the calibration window's overlays and the main window's result pages
// share: the overlay look, the language switch of their texts, the end of a
// run and the reset when a new run starts. The pages keep their own class
// names and forms; each registers its translated texts and, where it has more
// state than its form's texts, extends langueChange or resetForRun.
class WizardPage : public QWidget {
    Q_OBJECT

public:
    // Forms carry the Chinese texts; every registered label and button goes
    // through the main window's table (English when langue is exactly "en").
    // Called by the main window or the calibration window, not a slot.
    virtual void langueChange(QString langue);
    // A new run starts: nothing an earlier run left may show in it. An overlay
    // is hidden; pages with more state (a clip, a progress value) reset it too.
    virtual void resetForRun();

    // The language last applied; empty before the first langueChange.
    QString langue() const { return m_langue; }
    bool isOverlay() const { return m_kind == Kind::Overlay; }

protected:
    enum class Kind { Page, Overlay };

    // An overlay is filled with black at alpha 77, so the calibration window
    // stays visible, darkened, behind it, and starts hidden; a page keeps the
    // look its style sheet gives it.
    WizardPage(Kind kind, QWidget* parent);

    void setTranslatedTexts(std::initializer_list<QLabel*> labels,
                            std::initializer_list<QPushButton*> buttons);
    // A text the page builds itself, in the language last applied: zh as
    // given, or its English line of the translation tables (placeholders
    // such as %1 stay for the page to fill in).
    QString inLangue(const QString& zh) const;

    // Closes the calibration window this overlay lies on, with every overlay
    // a run may have left on it (this one included): the next run starts on
    // a clean window.
    void closeCalibrationWindow();
    // The user ends the run (quit, device lost, camera failure): stream reader,
    // data channel and capture channel stop in this order (the capture
    // channel's reports must not outlive the data channel's run), the
    // calibration window closes and the main window returns, at once or
    // mainWindowDelayMs later.
    void endRun(int mainWindowDelayMs = 0);

private:
    Kind m_kind;
    QString m_langue;
    QList<QLabel*> m_labels;
    QList<QPushButton*> m_buttons;
};
