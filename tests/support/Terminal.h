#pragma once

// POSIX only (posix_spawn, pseudo-terminals): the tests that need it are skipped on Windows.
#ifndef _WIN32

// A pseudo-terminal to hand a tool as its error stream: what the tool writes there is what a person at a
// terminal would see.

#include <pty.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace testsupport {

class Terminal {
  public:
    Terminal() {
        if (openpty(&master, &slave, nullptr, nullptr, nullptr) == 0)
            stream = fdopen(slave, "w");
    }
    ~Terminal() {
        if (stream)
            std::fclose(stream);
        if (master >= 0)
            close(master);
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    FILE* file() const { return stream; }
    // Closes the terminal's writing end and returns everything written to it.
    std::string seen() {
        if (stream) {
            std::fclose(stream);
            stream = nullptr;
        }
        std::string text;
        char buffer[4096];
        for (ssize_t got; (got = read(master, buffer, sizeof buffer)) > 0;)
            text.append(buffer, static_cast<size_t>(got));
        return text;
    }

  private:
    int master = -1;
    int slave = -1;
    FILE* stream = nullptr;
};

}  // namespace testsupport

#endif  // _WIN32
