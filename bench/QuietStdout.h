#pragma once

#include <unistd.h>

#include <cstdio>

// Sends the process's standard output to /dev/null while it lives: the map
// conversion prints its progress, which would break up a benchmark's report.
class QuietStdout {
public:
    QuietStdout() {
        std::fflush(stdout);
        m_saved = dup(STDOUT_FILENO);
        std::FILE* null = std::fopen("/dev/null", "w");
        dup2(fileno(null), STDOUT_FILENO);
        std::fclose(null);
    }
    ~QuietStdout() {
        std::fflush(stdout);
        dup2(m_saved, STDOUT_FILENO);
        close(m_saved);
    }

    QuietStdout(const QuietStdout&) = delete;
    QuietStdout& operator=(const QuietStdout&) = delete;

private:
    int m_saved;
};
