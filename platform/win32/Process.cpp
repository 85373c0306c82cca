#include "platform/Process.h"

#include <windows.h>

#include <shellapi.h>

#include <atomic>

#include "platform/win32/OpenCommand.h"
#include "platform/win32/WideText.h"

namespace platform {
namespace {

std::atomic<Shell*> installedShell{nullptr};

HostShell& hostShell() {
    static HostShell instance;
    return instance;
}

// A bare name is taken from the current directory: the shell would otherwise search the program
// folders too.
std::wstring inCurrentDirectory(const std::wstring& file) {
    if (file.find_first_of(L"\\:") != std::wstring::npos)
        return file;
    return L".\\" + file;
}

}  // namespace

Shell& shell() {
    Shell* installed = installedShell.load();
    return installed != nullptr ? *installed : hostShell();
}

Shell* setShell(Shell* replacement) {
    return installedShell.exchange(replacement);
}

int startFileAndWait(const std::string& file) {
    return shell().startFileAndWait(file);
}
bool startCommandLine(const std::string& commandLine) {
    return shell().startCommandLine(commandLine);
}
bool htmlOpenCommand(std::string& command) {
    return shell().htmlOpenCommand(command);
}

std::vector<std::string> splitCommandLine(std::string_view line) {
    std::vector<std::string> arguments;
    std::string current;
    bool started = false;  // an argument is under way (it may be empty: "")
    bool quoted = false;
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (!quoted && (c == ' ' || c == '\t' || c == '\n' || c == '\r')) {
            if (started) {
                arguments.push_back(current);
                current.clear();
                started = false;
            }
            ++i;
            continue;
        }
        started = true;
        if (c == '\\') {
            size_t count = 0;
            while (i < line.size() && line[i] == '\\') {
                ++count;
                ++i;
            }
            if (i < line.size() && line[i] == '"') {
                current.append(count / 2, '\\');
                if (count % 2 == 1) {
                    current.push_back('"');
                    ++i;
                }
                // With an even count the quote is handled as a quote by the next round.
            } else {
                current.append(count, '\\');
            }
            continue;
        }
        if (c == '"') {
            if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                current.push_back('"');  // "" inside quotes is a literal quote
                i += 2;
                continue;
            }
            quoted = !quoted;
            ++i;
            continue;
        }
        current.push_back(c);
        ++i;
    }
    if (started) {
        arguments.push_back(current);
    }
    return arguments;
}

int HostShell::startFileAndWait(const std::string& file) {
    const std::wstring path = inCurrentDirectory(win32::widePath(file));
    if (file.empty())
        return -1;
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"OPEN";
    info.lpFile = path.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info))
        return -1;
    if (info.hProcess == nullptr)
        return 0;  // handed to a running program, which gives no process to wait for
    WaitForSingleObject(info.hProcess, INFINITE);
    DWORD code = 0;
    const bool known = GetExitCodeProcess(info.hProcess, &code) != 0;
    CloseHandle(info.hProcess);
    return known ? static_cast<int>(code) : -1;
}

bool HostShell::startCommandLine(const std::string& commandLine) {
    std::string line = commandLine;
    // A command line made of the HTML open command, a space and the address gets the address where the
    // command has its placeholder.
    std::string command;
    if (win32::readHtmlOpenCommand(command) && line.size() > command.size() + 1 &&
        line.compare(0, command.size(), command) == 0 && line[command.size()] == ' ') {
        line = win32::placeAddress(command, std::string_view(line).substr(command.size() + 1));
    }
    std::wstring wide = win32::widen(line);
    if (wide.empty())
        return false;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, wide.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    // Not waited for; the handles are not needed.
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

bool HostShell::htmlOpenCommand(std::string& command) {
    return win32::readHtmlOpenCommand(command);
}

}  // namespace platform
