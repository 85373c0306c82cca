#pragma once

// Runs a command-line tool's entry function with its output and error streams captured.

#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <atomic>
#endif

namespace testsupport {

// A new empty file for captured output, removed when closed; null when none can be made. The C runtime's
// tmpfile() cannot serve on Windows: it makes its files in the root of the current drive, which users may
// not write to, under names that processes started one after another can both pick (under Wine it then
// returns null now and then).
inline FILE* captureFile() {
#ifdef _WIN32
    static std::atomic<unsigned> made{0};
    wchar_t folder[MAX_PATH + 1] = {};
    if (GetTempPathW(MAX_PATH + 1, folder) == 0)
        return nullptr;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring name = std::wstring(folder) + L"mt-capture-" +
                                  std::to_wstring(GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(made++) + L".txt";
        // Only a file that does not exist yet, removed when closed.
        const int descriptor = _wopen(name.c_str(), _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY | _O_TEMPORARY,
                                      _S_IREAD | _S_IWRITE);
        if (descriptor < 0)
            continue;
        if (FILE* file = _wfdopen(descriptor, L"w+b"))
            return file;
        _close(descriptor);
        return nullptr;
    }
    return nullptr;
#else
    return std::tmpfile();
#endif
}

struct ToolResult {
    int code;
    std::string out;
    std::string err;
};

// Reads a temporary file back from its start and closes it.
inline std::string readAndClose(FILE* file) {
    std::string text;
    if (file == nullptr)
        return text;
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
    FILE* out = captureFile();
    FILE* err = captureFile();
    if (out == nullptr || err == nullptr) {
        readAndClose(out);
        readAndClose(err);
        return {-1, "", "the test could not make a file to capture the output in"};
    }
    const int code = run(args, out, err);
    return {code, readAndClose(out), readAndClose(err)};
}

}  // namespace testsupport
