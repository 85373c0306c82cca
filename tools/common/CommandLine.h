#pragma once
// Command lines of the tools: options and operands after the command word, checked against the options the
// command accepts.

#include <string>
#include <vector>

namespace toolsupport {

// One option of one command: "--level" with the value name "N", or a flag ("-v", value name null).
struct OptionSpec {
    const char* name;
    const char* alias;      // another spelling ("-v" for "--verbose"), or null
    const char* valueName;  // null for a flag
};

// The options of one command.
struct CommandSpec {
    const char* command;
    std::vector<OptionSpec> options;
};

struct ParsedOption {
    std::string name;  // the OptionSpec name, whatever spelling was typed
    std::string value;
};

struct CommandLine {
    std::vector<ParsedOption> options;  // in the order given
    std::vector<std::string> operands;

    bool has(const std::string& name) const;
    // The last value given for the option, or fallback.
    std::string value(const std::string& name, const std::string& fallback = "") const;
    // Every value given for the option, in order.
    std::vector<std::string> values(const std::string& name) const;
};

// Parses args[1..] (args[0] is the command word) for `command`, one of `commands`. Options may stand
// anywhere among the operands; "--" ends them, and "-" alone is an operand. A value follows its option as
// the next argument or after '=' ("--level=9"); a next argument that is an option of the command is not
// taken as a value (write "--exclude=-v" for that). Returns "" on success, else a one-line message: an
// option of another command is named as such, any other word starting with '-' is unknown, and a missing
// value is named.
std::string parseCommandLine(const std::vector<std::string>& args, const CommandSpec& command,
                             const std::vector<CommandSpec>& commands, CommandLine& result);

// Every option name and alias of every command, each once, in order of appearance.
std::vector<std::string> allOptionNames(const std::vector<CommandSpec>& commands);

}  // namespace toolsupport
