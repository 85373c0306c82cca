#include "platform/Process.h"

#include <windows.h>

#include <shellapi.h>

#include "platform/win32/OpenCommand.h"
#include "platform/win32/WideText.h"

namespace platform {
namespace {

// A bare name is taken from the current directory: the shell would otherwise search the program
// folders too.
std::wstring inCurrentDirectory(const std::wstring& file) {
    if (file.find_first_of(L"\\:") != std::wstring::npos)
        return file;
    return L".\\" + file;
}

}  // namespace

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
