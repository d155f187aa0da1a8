#include "tools/dronesim/EventLog.h"

#include <chrono>
#include <cstdio>
#include <ctime>

std::mutex EventLog::s_mutex;

void EventLog::event(const std::string& service, const std::string& text) {
    write(service, text, false);
}

void EventLog::fault(const std::string& service, const std::string& text) {
    write(service, "FAULT " + text, false);
}

void EventLog::error(const std::string& service, const std::string& text) {
    write(service, "ERROR " + text, true);
}

void EventLog::write(const std::string& service, const std::string& text, bool toStderr) {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const long millis =
        static_cast<long>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);

    std::lock_guard<std::mutex> lock(s_mutex);
    std::FILE* out = toStderr ? stderr : stdout;
    std::fprintf(out, "%02d:%02d:%02d.%03ld [%s] %s\n", utc.tm_hour, utc.tm_min, utc.tm_sec, millis,
                 service.c_str(), text.c_str());
    std::fflush(out);
}
