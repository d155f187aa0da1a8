#pragma once

#include <QString>

// Single-instance guard on a write-locked pid file.
//
// The lock (fcntl F_SETLK, F_WRLCK over the whole file) lives as long as the
// process: the descriptor is deliberately never closed, so the kernel drops the
// lock when the process ends, also after a crash. A leftover file of a dead
// process therefore never blocks a new start.

// "/tmp/NimbraDesktop.pid", or the path in NIMBRA_PID_FILE when that is set and
// not empty (tests and side-by-side tools use it so that they never touch a
// real instance's file).
QString pidFilePath();

// Takes the lock on path and writes the process id ("%ld") followed by one NUL
// byte into the file, emptied once the lock is held. Returns false, closing
// the descriptor, when another process holds the lock; false too, with a log
// line "pid file <path> refused: <why>", when path is a symbolic link, not a
// regular file, a file with other names (hard links), or cannot be opened:
// nothing is written then. Logs "fd" and the descriptor number.
bool IsSingleProcess(const QString& path);
bool IsSingleProcess();
