#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/Process.h"

using Arguments = std::vector<std::string>;

namespace {

class ProcessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/platform-process-XXXXXX";
        const char* made = mkdtemp(pattern);
        ASSERT_NE(made, nullptr);
        folder_ = made;
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
        previousDirectory_ = cwd;
    }
    void TearDown() override {
        if (!previousDirectory_.empty()) {
            EXPECT_EQ(chdir(previousDirectory_.c_str()), 0);
        }
        std::filesystem::remove_all(folder_);
    }

    void writeScript(const std::string& path, const std::string& body) {
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        chmod(path.c_str(), 0755);
    }

    bool waitForFile(const std::string& path) {
        for (int i = 0; i < 200; ++i) {
            if (std::filesystem::exists(path)) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    std::string folder_;
    std::string previousDirectory_;
};

}  // namespace

TEST(CommandLine, SplitsLikeWindowsProgramsDo) {
    EXPECT_EQ(platform::splitCommandLine("xdg-open https://shop.example/buy?a=1&b=2"),
              (Arguments{"xdg-open", "https://shop.example/buy?a=1&b=2"}));
    EXPECT_EQ(platform::splitCommandLine("  \"C:\\Program Files\\browser.exe\"   -url  x "),
              (Arguments{"C:\\Program Files\\browser.exe", "-url", "x"}));
    EXPECT_EQ(platform::splitCommandLine("a\"b c\"d"), (Arguments{"ab cd"}));
    EXPECT_EQ(platform::splitCommandLine("\"\" x"), (Arguments{"", "x"}));
    EXPECT_EQ(platform::splitCommandLine("a\\\\\\\"b"), (Arguments{"a\\\"b"}));     // 3 backslashes + quote
    EXPECT_EQ(platform::splitCommandLine("\"a\\\\\" b"), (Arguments{"a\\", "b"}));  // 2 backslashes + quote
    EXPECT_EQ(platform::splitCommandLine("C:\\dir\\ x"), (Arguments{"C:\\dir\\", "x"}));
    EXPECT_EQ(platform::splitCommandLine("\"say \"\"hi\"\"\""), (Arguments{"say \"hi\""}));
    EXPECT_EQ(platform::splitCommandLine("\"unterminated quote"), (Arguments{"unterminated quote"}));
    EXPECT_TRUE(platform::splitCommandLine(" \t ").empty());
    // Shell syntax is plain text.
    EXPECT_EQ(platform::splitCommandLine("open http://x/;rm -rf ~ $(id) `id` | cat"),
              (Arguments{"open", "http://x/;rm", "-rf", "~", "$(id)", "`id`", "|", "cat"}));
}

TEST_F(ProcessTest, StartsAFileFromTheCurrentDirectoryAndWaits) {
    writeScript(folder_ + "/valtor.exe", "echo started > \"$(dirname \"$0\")/ran\"; sleep 0.2; exit 3");
    ASSERT_EQ(chdir(folder_.c_str()), 0);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(platform::startFileAndWait("valtor.exe"), 3);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
    EXPECT_TRUE(std::filesystem::exists(folder_ + "/ran"));

    EXPECT_EQ(platform::startFileAndWait("valtor_low.exe"), -1);  // missing
    writeScript(folder_ + "/killed.exe", "kill -9 $$");
    EXPECT_EQ(platform::startFileAndWait("killed.exe"), 128 + 9);
    std::ofstream(folder_ + "/plain.exe") << "not a program";
    EXPECT_EQ(platform::startFileAndWait("plain.exe"), -1);
    EXPECT_EQ(platform::startFileAndWait(""), -1);
    // A bare name is never looked up in PATH: "sh" is not in this folder.
    EXPECT_EQ(platform::startFileAndWait("sh"), -1);
}

TEST_F(ProcessTest, TerminationSignalEndsTheWaitAndTheGameKeepsRunning) {
    writeScript(folder_ + "/valtor.exe", "sleep 1; touch \"$(dirname \"$0\")/finished\"");
    ASSERT_EQ(chdir(folder_.c_str()), 0);
    for (int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        std::filesystem::remove(folder_ + "/finished");
        std::thread sender([signal] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            kill(getpid(), signal);  // to the process: any of its threads may take it
        });
        auto start = std::chrono::steady_clock::now();
        int result = platform::startFileAndWait("valtor.exe");
        auto waited = std::chrono::steady_clock::now() - start;
        sender.join();
        EXPECT_EQ(result, platform::kWaitInterrupted);
        EXPECT_LT(waited, std::chrono::milliseconds(800));
        EXPECT_FALSE(std::filesystem::exists(folder_ + "/finished"));
        EXPECT_TRUE(waitForFile(folder_ + "/finished"));  // the game was left running
    }
}

TEST_F(ProcessTest, CommandLinesStartWithoutShellOrWaiting) {
    std::string marker = folder_ + "/one;touch";
    ASSERT_TRUE(platform::startCommandLine("touch " + folder_ + "/one;touch " + folder_ + "/two"));
    ASSERT_TRUE(waitForFile(folder_ + "/two"));
    EXPECT_TRUE(std::filesystem::exists(marker));  // ';' was part of a file name, not a command separator
    EXPECT_FALSE(std::filesystem::exists(folder_ + "/one"));

    writeScript(folder_ + "/slow", "sleep 2; touch \"$1\"");
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(platform::startCommandLine("\"" + folder_ + "/slow\" \"" + folder_ + "/late file\""));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_FALSE(platform::startCommandLine("no-such-program-anywhere --flag"));
    EXPECT_FALSE(platform::startCommandLine("   "));
}

TEST_F(ProcessTest, HtmlOpenCommandIsXdgOpenWhenInstalled) {
    const char* oldPath = std::getenv("PATH");
    std::string saved = oldPath ? oldPath : "";
    setenv("PATH", folder_.c_str(), 1);
    std::string command = "unchanged";
    platform::HostShell host;
    EXPECT_FALSE(host.htmlOpenCommand(command));
    EXPECT_EQ(command, "unchanged");
    writeScript(folder_ + "/xdg-open", "exit 0");
    EXPECT_TRUE(host.htmlOpenCommand(command));
    EXPECT_EQ(command, "xdg-open");
    setenv("PATH", saved.c_str(), 1);
}

TEST(Shell, TestsCanReplaceTheHost) {
    struct Recorder : platform::Shell {
        std::vector<std::string> calls;
        int startFileAndWait(const std::string& file) override {
            calls.push_back("wait " + file);
            return 0;
        }
        bool startCommandLine(const std::string& line) override {
            calls.push_back("start " + line);
            return true;
        }
        bool htmlOpenCommand(std::string& command) override {
            command = "browser %1";
            return true;
        }
    } recorder;
    platform::Shell* previous = platform::setShell(&recorder);
    EXPECT_EQ(previous, nullptr);
    std::string command;
    EXPECT_TRUE(platform::htmlOpenCommand(command));
    EXPECT_TRUE(platform::startCommandLine(command + " https://shop"));
    EXPECT_EQ(platform::startFileAndWait("valtor.exe"), 0);
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"start browser %1 https://shop", "wait valtor.exe"}));
    EXPECT_EQ(platform::setShell(nullptr), &recorder);
    EXPECT_NE(dynamic_cast<platform::HostShell*>(&platform::shell()), nullptr);
}
