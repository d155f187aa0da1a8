#pragma once

#include <QApplication>
#include <QLocale>
#include <QString>

// The application object: fresh log, working directory, message handler and the
// refusal to run on more than one screen (construction), the single-instance
// check (exec), and the stored interface language.
class NimbraApplication : public QApplication {
    Q_OBJECT

public:
    // Returns normally, or ends the process with status 0 after the user has
    // closed the "extended screens" message box.
    NimbraApplication(int& argc, char** argv);

    // The event loop's result, or -1 without entering it when another instance
    // holds the pid file (logs "process is run").
    int exec();

    // Language code to start with: the stored "Langue" value, or when nothing
    // is stored defaultLangue() of the system language.
    // Static: they use nothing but the settings store, so pages and tests can call
    // them whichever application object is running.
    static QString getRegLangue();
    static void setRegLangue(QString langue);
    // "zh" on a Chinese system; "en" elsewhere, where English is the likelier
    // language to be read (as for the extended-screen refusal).
    static QString defaultLangue(QLocale::Language systemLanguage);

    // The refusal text for the given system language.
    static QString extendedScreenText(bool chineseSystem);

    // The names that locate the preferences (QSettings): another program that
    // must read NimbraDesktop's preferences (the board-scale probe) sets them
    // too.
    static void setSettingsIdentity();
};
