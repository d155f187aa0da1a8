#pragma once

#include <QImage>
#include <QPoint>
#include <QString>

// An X display seen and touched from outside, the way a person would: the
// whole root window as a picture (ImageMagick's import) and mouse clicks
// (xdotool, through the XTEST extension). Every call is bounded in time.
class XDisplay {
public:
    // display: ":N"; empty means the DISPLAY of this process.
    explicit XDisplay(QString display = QString());

    // The root window, Format_RGB32; a null image (and errorString()) when the
    // display cannot be read within 10 s.
    QImage grab();

    // Moves the pointer to `at` (screen pixels) and clicks the left button.
    bool click(QPoint at);
    // Presses and releases a key (an X keysym name: "Right", "Left") `times`
    // times; the window with the keyboard focus gets it.
    bool key(const QString& keysym, int times = 1);

    QString display() const { return m_display; }
    QString errorString() const { return m_error; }

private:
    bool run(const QString& program, const QStringList& args, QByteArray* out);

    QString m_display;
    QString m_error;
};
