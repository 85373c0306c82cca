#pragma once

// Checks that a tool's manual page and its --help text document every command and option the tool accepts.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/common/CommandLine.h"

namespace testsupport {

// The page's source with roff's "\-" read as '-', so that option names can be found as they are typed.
inline std::string manualPageText(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    std::string page = text.str();
    for (size_t at; (at = page.find("\\-")) != std::string::npos;)
        page.replace(at, 2, "-");
    return page;
}

inline void expectEverythingDocumented(const std::vector<toolsupport::CommandSpec>& commands,
                                       const std::string& help, const std::string& page) {
    ASSERT_FALSE(page.empty());
    std::vector<std::string> names = toolsupport::allOptionNames(commands);
    names.insert(names.end(), {"-h", "--help", "--version"});
    for (const std::string& name : names) {
        // As a word: "--frame" must not pass on "--frames" alone.
        auto documented = [&](const std::string& text) {
            for (size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + 1)) {
                const char next = at + name.size() < text.size() ? text[at + name.size()] : ' ';
                if (!(std::isalnum(static_cast<unsigned char>(next)) || next == '-'))
                    return true;
            }
            return false;
        };
        EXPECT_TRUE(documented(help)) << name << " is not in --help";
        EXPECT_TRUE(documented(page)) << name << " is not in the manual page";
    }
    for (const toolsupport::CommandSpec& command : commands) {
        EXPECT_NE(help.find(std::string("  ") + command.command + " "), std::string::npos) << command.command;
        EXPECT_NE(page.find(std::string(".B ") + command.command), std::string::npos) << command.command;
    }
    for (const char* section :
         {".SH SYNOPSIS", ".SH COMMANDS", ".SH OPTIONS", ".SH EXIT STATUS", ".SH EXAMPLES"})
        EXPECT_NE(page.find(section), std::string::npos) << section;
    for (const char* code : {".B 0\n", ".B 1\n", ".B 2\n"})
        EXPECT_NE(page.find(code), std::string::npos) << "exit status " << code;
}

}  // namespace testsupport
