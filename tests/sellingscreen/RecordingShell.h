#pragma once
#include <string>
#include <vector>

#include "platform/Process.h"

// A shell that starts nothing: it answers the HTML open command it was given and records every command
// line it was asked to start. Installed for its lifetime.
class RecordingShell : public platform::Shell {
  public:
    explicit RecordingShell(std::string command = "browser", bool hasCommand = true)
        : htmlCommand(std::move(command)), hasHtmlCommand(hasCommand) {
        previous = platform::setShell(this);
    }
    ~RecordingShell() override { platform::setShell(previous); }
    RecordingShell(const RecordingShell&) = delete;
    RecordingShell& operator=(const RecordingShell&) = delete;

    int startFileAndWait(const std::string& file) override {
        waitedFor.push_back(file);
        return 0;
    }
    bool startCommandLine(const std::string& commandLine) override {
        started.push_back(commandLine);
        return true;
    }
    bool htmlOpenCommand(std::string& command) override {
        if (!hasHtmlCommand)
            return false;
        command = htmlCommand;
        return true;
    }

    std::string htmlCommand;
    bool hasHtmlCommand;
    std::vector<std::string> started;
    std::vector<std::string> waitedFor;

  private:
    platform::Shell* previous = nullptr;
};
