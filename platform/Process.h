#pragma once
#include <string>
#include <string_view>
#include <vector>

// Starting other programs: the game from the current directory (and waiting for it), and the web
// browser from the HTML open command (without waiting). Nothing goes through a shell, so no text in a
// file name or web address can run a command.
//
// Everything goes through a replaceable Shell object, so that tests see what would be started without
// starting it.
namespace platform {

// startFileAndWait gave up waiting because this process was asked to end.
constexpr int kWaitInterrupted = -2;

class Shell {
  public:
    virtual ~Shell() = default;
    // Starts the file (a bare name is taken from the current directory, never from PATH) without
    // arguments and waits until it has ended. Returns its exit code (128 + the signal number when a signal
    // ended it), -1 when it could not be started, or kWaitInterrupted when this process was asked to end
    // (SIGTERM, SIGINT, SIGHUP) during the wait: the started program then keeps running.
    virtual int startFileAndWait(const std::string& file) = 0;
    // Splits the command line into arguments (splitCommandLine) and starts the first as a program
    // (looked up in PATH when it has no '/'), without waiting. True when the program was started.
    virtual bool startCommandLine(const std::string& commandLine) = 0;
    // The command that opens a web page, to which the caller appends a space and the address; false
    // when the host has none.
    virtual bool htmlOpenCommand(std::string& command) = 0;
};

// The shell in use: the host's unless one was installed.
Shell& shell();
// Installs a shell (not owned; it must outlive its use) or, with null, the host's again. Returns the one
// that was installed before (null for the host's).
Shell* setShell(Shell* replacement);

// The operations of the shell in use.
int startFileAndWait(const std::string& file);
bool startCommandLine(const std::string& commandLine);
bool htmlOpenCommand(std::string& command);

// Splits a command line the way Windows programs split theirs: arguments are separated by spaces and
// tabs; double quotes group text that contains them ("a b" is one argument, the quotes are dropped);
// inside or outside quotes, 2n backslashes before a quote give n backslashes and the quote acts, 2n+1 give
// n backslashes and a literal quote; other backslashes are literal, so "C:\dir\" keeps its backslashes.
std::vector<std::string> splitCommandLine(std::string_view commandLine);

// The host's shell (posix_spawn, waitpid, xdg-open).
class HostShell : public Shell {
  public:
    int startFileAndWait(const std::string& file) override;
    bool startCommandLine(const std::string& commandLine) override;
    bool htmlOpenCommand(std::string& command) override;
};

}  // namespace platform
