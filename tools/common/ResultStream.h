#pragma once
// Standard output of a tool is for its results alone. The framework prints its own diagnostics with printf
// ("File not found %s"), meant for a debugger's console; a tool says the same on standard error in its
// own words. takeStandardOutput() hands the tool a stream on the real standard output and sends what is
// printed to stdout itself (file descriptor 1) to /dev/null.

#include <cstdio>

namespace toolsupport {

// The stream for the tool's results; the process's stdout when it cannot be separated.
FILE* takeStandardOutput();

}  // namespace toolsupport
