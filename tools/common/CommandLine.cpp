#include "tools/common/CommandLine.h"

#include <algorithm>

namespace toolsupport {

namespace {

const OptionSpec* findOption(const CommandSpec& command, const std::string& spelling) {
    for (const OptionSpec& option : command.options) {
        if (spelling == option.name || (option.alias && spelling == option.alias))
            return &option;
    }
    return nullptr;
}

// The commands other than `command` that accept `spelling`, as "topng" or "topng and info".
std::string otherOwners(const std::string& spelling, const CommandSpec& command,
                        const std::vector<CommandSpec>& commands) {
    std::vector<std::string> owners;
    for (const CommandSpec& other : commands) {
        if (other.command != command.command && findOption(other, spelling))
            owners.emplace_back(other.command);
    }
    std::string text;
    for (size_t i = 0; i < owners.size(); ++i) {
        if (i > 0)
            text += i + 1 == owners.size() ? " and " : ", ";
        text += owners[i];
    }
    return text;
}

}  // namespace

bool CommandLine::has(const std::string& name) const {
    return std::any_of(options.begin(), options.end(), [&](const ParsedOption& o) { return o.name == name; });
}

std::string CommandLine::value(const std::string& name, const std::string& fallback) const {
    for (auto it = options.rbegin(); it != options.rend(); ++it) {
        if (it->name == name)
            return it->value;
    }
    return fallback;
}

std::vector<std::string> CommandLine::values(const std::string& name) const {
    std::vector<std::string> found;
    for (const ParsedOption& option : options) {
        if (option.name == name)
            found.push_back(option.value);
    }
    return found;
}

std::string parseCommandLine(const std::vector<std::string>& args, const CommandSpec& command,
                             const std::vector<CommandSpec>& commands, CommandLine& result) {
    result = CommandLine();
    bool optionsEnded = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            result.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        // "--name=value" carries its value; a flag takes no '='.
        const size_t equals = arg.rfind("--", 0) == 0 ? arg.find('=') : std::string::npos;
        const std::string spelling = arg.substr(0, equals);
        const OptionSpec* option = findOption(command, spelling);
        if (!option) {
            const std::string owners = otherOwners(spelling, command, commands);
            if (!owners.empty())
                return spelling + " is an option of " + owners + ", not of " + command.command;
            return "unknown option '" + spelling + "' for " + command.command;
        }
        ParsedOption parsed{option->name, ""};
        if (!option->valueName) {
            if (equals != std::string::npos)
                return spelling + " takes no value";
        } else if (equals != std::string::npos) {
            parsed.value = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            // "--store --base x" reads as a forgotten value, never as the pattern "--base"; a value that
            // looks like an option is written as "--store=--base".
            if (findOption(command, args[i + 1]))
                return spelling + " needs a value (" + option->valueName + ") before " + args[i + 1];
            parsed.value = args[++i];
        } else {
            return spelling + " needs a value (" + option->valueName + ")";
        }
        result.options.push_back(std::move(parsed));
    }
    return "";
}

std::vector<std::string> allOptionNames(const std::vector<CommandSpec>& commands) {
    std::vector<std::string> names;
    auto add = [&](const char* name) {
        if (name && std::find(names.begin(), names.end(), name) == names.end())
            names.emplace_back(name);
    };
    for (const CommandSpec& command : commands) {
        for (const OptionSpec& option : command.options) {
            add(option.name);
            add(option.alias);
        }
    }
    return names;
}

}  // namespace toolsupport
