#pragma once

#include <mutex>
#include <string>

// The simulator's event log: one line per event on standard output, in the form
//   "HH:MM:SS.mmm [service] text"
// with the UTC wall-clock time. Injected faults are logged through fault(), which
// prefixes the text with "FAULT " so that a test can tell what was injected.
//
// Plain C++ (no Qt) because the RTSP side, which must not see Qt headers, logs
// through it too. Thread-safe: lines from different threads never interleave;
// each line is flushed at once so that a parent process sees it immediately.
class EventLog {
public:
    static void event(const std::string& service, const std::string& text);
    static void fault(const std::string& service, const std::string& text);
    static void error(const std::string& service, const std::string& text);

private:
    static void write(const std::string& service, const std::string& text, bool toStderr);
    static std::mutex s_mutex;
};
