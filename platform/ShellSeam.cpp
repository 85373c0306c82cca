#include <atomic>

#include "platform/Process.h"

// The replaceable shell: every start goes through the one installed, or the host's.
namespace platform {
namespace {

std::atomic<Shell*> installedShell{nullptr};

HostShell& hostShell() {
    static HostShell instance;
    return instance;
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

}  // namespace platform
