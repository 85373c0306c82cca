#pragma once

// POSIX only (posix_spawn, pseudo-terminals): the tests that need it are skipped on Windows.
#ifndef _WIN32

// Runs a built program as a separate process with its standard output and error captured, for what only
// a real process shows: which file descriptor a line reaches.

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/ToolRun.h"

namespace testsupport {

inline ToolResult runProgram(const std::string& program, const std::vector<std::string>& args) {
    FILE* out = std::tmpfile();
    FILE* err = std::tmpfile();
    std::vector<std::string> words{program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fileno(out), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fileno(err), STDERR_FILENO);
    pid_t pid = -1;
    int status = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0)
        waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return {code, readAndClose(out), readAndClose(err)};
}

}  // namespace testsupport

#endif  // _WIN32
