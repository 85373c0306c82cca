#pragma once

// Runs a command-line tool's entry function with its output and error streams captured.

#include <cstdio>
#include <string>
#include <vector>

namespace testsupport {

struct ToolResult {
    int code;
    std::string out;
    std::string err;
};

// Reads a temporary file back from its start and closes it.
inline std::string readAndClose(FILE* file) {
    std::string text;
    std::rewind(file);
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, got);
    std::fclose(file);
    return text;
}

// `run` is a tool entry of the form int(const std::vector<std::string>&, FILE* out, FILE* err).
template <typename Run>
ToolResult runCaptured(Run run, const std::vector<std::string>& args) {
    FILE* out = std::tmpfile();
    FILE* err = std::tmpfile();
    const int code = run(args, out, err);
    return {code, readAndClose(out), readAndClose(err)};
}

}  // namespace testsupport
