#pragma once
// One updating line of progress on a terminal ("paktool: extract 42% 3 of 7 lang/english.lng"), redrawn in
// place with a carriage return and cleared when the work ends. Nothing at all is written when the stream is
// not a terminal or the user asked for quiet, so logs and pipes never see it.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace toolsupport {

class ProgressLine {
  public:
    // prefix: "paktool: extract". quiet: -q was given.
    ProgressLine(FILE* stream, std::string prefix, bool quiet);
    ~ProgressLine() { finish(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    bool enabled() const { return shown; }
    // done of total units (bytes or items), with the name of what is at work. Redraws at most ten times a
    // second, and always at the first and the last unit.
    void update(int64_t done, int64_t total, const std::string& what);
    // Clears the line, so that the next message starts on a clean line.
    void finish();

  private:
    FILE* stream;
    std::string prefix;
    bool shown;
    bool drawn = false;
    std::chrono::steady_clock::time_point last;
};

}  // namespace toolsupport
