#pragma once

#include <QString>
#include <QTemporaryDir>

// Gives the test process a private home: HOME, the XDG directories and
// NIMBRA_PID_FILE point into a fresh temporary directory that is removed at
// the end. Documents ("<home>/Documents"), the preferences and the pid file of
// the code under test then never touch the real user's.
//
// Construct it first thing in main, before any Qt application object; child
// processes started afterwards inherit the same environment.
class IsolatedEnvironment {
public:
    IsolatedEnvironment();

private:
    QTemporaryDir m_dir;
};
