#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "tools/common/CommandLine.h"

namespace paktool {

// Exit codes.
constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;

// Runs one command line (the arguments after the program name): create, list, extract or verify. Results go
// to out; every error is one line on err. Returns the exit code.
int run(const std::vector<std::string>& args, FILE* out, FILE* err);

// The usage text.
const char* usage();

// Every command with the options it accepts.
const std::vector<toolsupport::CommandSpec>& commands();

}  // namespace paktool
