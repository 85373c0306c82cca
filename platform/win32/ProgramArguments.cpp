#include "platform/ProgramArguments.h"

#include <windows.h>

#include <shellapi.h>

#include "platform/win32/WideText.h"

namespace platform {

// The UTF-16 command line split by the system's own rules, the program's name left out; argv (which the
// runtime split by the same rules) when the system cannot split it.
std::vector<std::string> programArguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        if (argc < 1 || argv == nullptr)
            return {};
        return std::vector<std::string>(argv + 1, argv + argc);
    }
    std::vector<std::string> arguments;
    for (int index = 1; index < count; ++index)
        arguments.push_back(win32::narrow(wide[index]));
    LocalFree(wide);
    return arguments;
}

}  // namespace platform
