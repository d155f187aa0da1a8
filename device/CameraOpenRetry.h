#pragma once

#include <QtGlobal>

// When to try again a camera stream that failed to open, and when to stop.
//
// The pause before each new attempt doubles from kFirstPauseMs up to
// kMaxPauseMs, so a camera that never opens costs a handful of attempts (and
// log lines) rather than one after another. Once the camera has been failing
// for the limit, the next failure gives up; the last pause is cut short so
// that the last attempt starts when the limit is reached. A camera that
// refuses at once is given up on about the limit after its first failure; one
// whose every attempt hangs until the reader's own time-out, at most that
// time-out later.
//
// Times are milliseconds on one monotonic clock chosen by the caller. Not
// thread-safe: one owner thread.
class CameraOpenRetry {
public:
    static constexpr int kFirstPauseMs = 250;
    static constexpr int kMaxPauseMs = 4000;
    static constexpr int kDefaultLimitMs = 20000;
    static constexpr int kGiveUp = -1;

    explicit CameraOpenRetry(int limitMs = kDefaultLimitMs);

    // kDefaultLimitMs, or NIMBRA_CAMERA_GIVE_UP_MS when that is a whole number
    // of at least 1 (tests need not wait 20 s).
    static int limitFromEnvironment();

    // Forgets earlier failures: the camera opened, or another one is wanted.
    void reset();
    // A failed open at nowMs: the pause before the next attempt, or kGiveUp.
    int failed(qint64 nowMs);

    int limitMs() const { return m_limitMs; }
    int failures() const { return m_failures; }
    // Since the first failure counted; 0 before it.
    qint64 failingForMs(qint64 nowMs) const;

private:
    int m_limitMs;
    int m_failures = 0;
    int m_nextPauseMs = kFirstPauseMs;
    qint64 m_firstFailureMs = 0;
};
