#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/UserFolder.h"

namespace {

// Sets an environment variable for the length of a test.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        const char* old = std::getenv(name);
        had_ = old != nullptr;
        if (had_) {
            old_ = old;
        }
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (had_) {
            setenv(name_, old_.c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

  private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

std::string temporaryFolder() {
    char pattern[] = "/tmp/platform-folder-XXXXXX";
    const char* made = mkdtemp(pattern);
    return made != nullptr ? made : "";
}

}  // namespace

TEST(UserFolder, DataHomeFromXdgElseHome) {
    {
        ScopedEnv xdg("XDG_DATA_HOME", "/tmp/some/data/");
        EXPECT_EQ(platform::localAppDataFolder(), "/tmp/some/data");
    }
    {
        ScopedEnv xdg("XDG_DATA_HOME", "relative/path");  // not absolute: ignored
        ScopedEnv home("HOME", "/home/player");
        EXPECT_EQ(platform::localAppDataFolder(), "/home/player/.local/share");
    }
    {
        ScopedEnv xdg("XDG_DATA_HOME", nullptr);
        ScopedEnv home("HOME", "/home/player/");
        EXPECT_EQ(platform::localAppDataFolder(), "/home/player/.local/share");
    }
}

TEST(UserFolder, PathAppendJoinsWithOneSeparator) {
    std::string path = "/home/a/.local/share";
    platform::pathAppend(path, "\\Quillfen\\");
    EXPECT_EQ(path, "/home/a/.local/share/Quillfen/");
    platform::pathAppend(path, "\\Valtor\\");
    platform::pathAppend(path, "\\1.0\\");
    EXPECT_EQ(path, "/home/a/.local/share/Quillfen/Valtor/1.0/");
    path += "setup.dat";
    EXPECT_EQ(path, "/home/a/.local/share/Quillfen/Valtor/1.0/setup.dat");

    std::string other = "/base//";
    platform::pathAppend(other, "lang\\english.lng");
    EXPECT_EQ(other, "/base/lang/english.lng");
    std::string root = "/";
    platform::pathAppend(root, "x");
    EXPECT_EQ(root, "/x");
    std::string empty;
    platform::pathAppend(empty, "a/b");
    EXPECT_EQ(empty, "a/b");
    EXPECT_EQ(platform::hostPath("lang\\english.lng"), "lang/english.lng");
}

TEST(UserFolder, CreateDirectoryMakesMissingParentsAndReportsExisting) {
    std::string base = temporaryFolder();
    ASSERT_FALSE(base.empty());
    std::string deep = base + "/share/Quillfen/Valtor/1.0/";
    EXPECT_TRUE(platform::createDirectory(deep));
    EXPECT_TRUE(platform::directoryExists(deep));
    EXPECT_FALSE(platform::createDirectory(deep));  // exists: reported as not created
    EXPECT_TRUE(platform::createDirectory(base + "\\share\\other"));
    EXPECT_TRUE(platform::directoryExists(base + "/share/other"));
    // A file in the way.
    std::string file = base + "/file";
    FILE* handle = std::fopen(file.c_str(), "w");
    ASSERT_NE(handle, nullptr);
    std::fclose(handle);
    EXPECT_FALSE(platform::createDirectory(file + "/below"));
    EXPECT_FALSE(platform::createDirectory(""));
    std::filesystem::remove_all(base);
}
