#include "tools/common/ProgressLine.h"

#include <unistd.h>

namespace toolsupport {

ProgressLine::ProgressLine(FILE* stream, std::string prefix, bool quiet)
    : stream(stream), prefix(std::move(prefix)), shown(!quiet && stream && isatty(fileno(stream))) {}

void ProgressLine::update(int64_t done, int64_t total, const std::string& what) {
    if (!shown)
        return;
    const auto now = std::chrono::steady_clock::now();
    const bool boundary = !drawn || done >= total;
    if (!boundary && now - last < std::chrono::milliseconds(100))
        return;
    last = now;
    const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 100;
    // A line wider than the terminal would wrap, and the carriage return would no longer redraw it.
    constexpr size_t kShownName = 48;
    size_t start = what.size() <= kShownName ? 0 : what.size() - (kShownName - 3);
    while (start > 0 && start < what.size() && (static_cast<unsigned char>(what[start]) & 0xC0) == 0x80)
        ++start;  // not inside a UTF-8 sequence
    const std::string shownName = start == 0 ? what : "..." + what.substr(start);
    // "\033[K" clears what a longer earlier line left to the right.
    std::fprintf(stream, "\r%s %3d%% %s\033[K", prefix.c_str(), percent, shownName.c_str());
    std::fflush(stream);
    drawn = true;
}

void ProgressLine::finish() {
    if (!drawn)
        return;
    std::fputs("\r\033[K", stream);
    std::fflush(stream);
    drawn = false;
}

}  // namespace toolsupport
