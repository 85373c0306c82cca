// Tests of the Win32 backend itself, run under Wine (or on Windows).
#include <gtest/gtest.h>
#include <windows.h>

#include <mmsystem.h>

#include <fstream>
#include <iterator>
#include <string>

#include "platform/Clock.h"
#include "platform/CodePage.h"
#include "platform/FileReplace.h"
#include "platform/HostFile.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"
#include "platform/UserFolder.h"
#include "platform/win32/OpenCommand.h"
#include "platform/win32/WideText.h"

namespace {

// A fresh folder under the user's temporary folder, removed with its files afterwards.
class Win32Folder : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
        for (int attempt = 0; attempt < 100 && folder_.empty(); ++attempt) {
            std::wstring candidate = std::wstring(temp) + L"win32-test-" + std::to_wstring(GetTickCount()) +
                                     L"-" + std::to_wstring(attempt);
            if (CreateDirectoryW(candidate.c_str(), nullptr))
                folder_ = platform::win32::narrow(candidate);
        }
        ASSERT_FALSE(folder_.empty());
    }
    void TearDown() override { removeTree(platform::win32::widen(folder_)); }

    const std::string& folder() const { return folder_; }
    std::string path(const std::string& name) const { return folder_ + "\\" + name; }
    static std::string read(const std::string& name) {
        std::ifstream in(platform::win32::widen(name).c_str(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static void write(const std::string& name, const std::string& content) {
        std::ofstream(platform::win32::widen(name).c_str(), std::ios::binary) << content;
    }
    // The names in the folder, for checking that no temporary stayed behind.
    std::vector<std::string> names() const {
        std::vector<platform::HostDirectoryEntry> entries;
        platform::hostListDirectory(folder_.c_str(), entries);
        std::vector<std::string> result;
        for (const auto& entry : entries)
            result.push_back(entry.name);
        return result;
    }

  private:
    static void removeTree(const std::wstring& folder) {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                std::wstring name = found.cFileName;
                if (name == L"." || name == L"..")
                    continue;
                std::wstring full = folder + L"\\" + name;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    removeTree(full);
                } else {
                    SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                    DeleteFileW(full.c_str());
                }
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(folder.c_str());
    }

    std::string folder_;
};

TEST(Win32OpenCommand, AddressTakesThePlaceOfThePlaceholder) {
    using platform::win32::placeAddress;
    EXPECT_EQ(placeAddress("\"C:\\windows\\system32\\winebrowser.exe\" \"%1\"", "http://shop.example/a?b=1"),
              "\"C:\\windows\\system32\\winebrowser.exe\" \"http://shop.example/a?b=1\"");
    EXPECT_EQ(placeAddress("browser.exe -nohome", "http://x"), "browser.exe -nohome http://x");
    EXPECT_EQ(placeAddress("b.exe %1 --again %1", "u"), "b.exe u --again u");
    EXPECT_EQ(placeAddress("b.exe 100%", "u"), "b.exe 100% u");
}

// The command is placed in HKEY_CLASSES_ROOT itself (Wine does not let per-user classes override it) and
// the machine's value is put back afterwards.
class Win32HtmlCommand : public ::testing::Test {
  protected:
    static constexpr const wchar_t* kKey = L"htmlfile\\shell\\open\\command";
    void SetUp() override {
        ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, kKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                                  &key_, nullptr),
                  ERROR_SUCCESS);
        DWORD bytes = sizeof(saved_);
        hadValue_ = RegQueryValueExW(key_, nullptr, nullptr, &savedType_, saved_, &bytes) == ERROR_SUCCESS;
        savedBytes_ = bytes;
    }
    void TearDown() override {
        if (hadValue_)
            RegSetValueExW(key_, nullptr, 0, savedType_, saved_, savedBytes_);
        else
            RegDeleteValueW(key_, nullptr);
        RegCloseKey(key_);
    }
    void store(const std::wstring& value, DWORD type = REG_SZ) {
        ASSERT_EQ(RegSetValueExW(key_, nullptr, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }

  private:
    HKEY key_ = nullptr;
    bool hadValue_ = false;
    DWORD savedType_ = 0;
    DWORD savedBytes_ = 0;
    BYTE saved_[4096];
};

TEST_F(Win32HtmlCommand, ReadsTheRegisteredCommandWithOrWithoutPlaceholder) {
    store(L"\"C:\\Program Files\\Br\u00f6wser\\b.exe\" \"%1\"");
    std::string command;
    ASSERT_TRUE(platform::win32::readHtmlOpenCommand(command));
    EXPECT_EQ(command, "\"C:\\Program Files\\Br\xC3\xB6wser\\b.exe\" \"%1\"");
    store(L"b.exe -new");
    ASSERT_TRUE(platform::win32::readHtmlOpenCommand(command));
    EXPECT_EQ(command, "b.exe -new");
}

TEST_F(Win32HtmlCommand, ExpandsAnExpandableValueAndRefusesAnEmptyOne) {
    SetEnvironmentVariableW(L"WIN32_TEST_BROWSER", L"C:\\b");
    store(L"%WIN32_TEST_BROWSER%\\b.exe", REG_EXPAND_SZ);
    std::string command;
    ASSERT_TRUE(platform::win32::readHtmlOpenCommand(command));
    EXPECT_EQ(command, "C:\\b\\b.exe");
    store(L"");
    EXPECT_FALSE(platform::win32::readHtmlOpenCommand(command));
}

// The command line of the browser gets the address where the registered command has "%1": here a command
// interpreter that writes its arguments into a file.
TEST_F(Win32HtmlCommand, TheBrowserCommandGetsTheAddressInPlaceOfThePlaceholder) {
    wchar_t temp[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    const std::string out =
        platform::win32::narrow(temp) + "win32-browser-" + std::to_string(GetTickCount()) + ".txt";
    store(L"cmd.exe /c echo [%1]>" + platform::win32::widen(out));
    std::string command;
    ASSERT_TRUE(platform::htmlOpenCommand(command));
    ASSERT_TRUE(platform::startCommandLine(command + " http://shop.example/buy"));
    std::string written;
    for (int wait = 0; wait < 200 && written.find('\n') == std::string::npos; ++wait) {
        Sleep(50);
        std::ifstream in(platform::win32::widen(out).c_str(), std::ios::binary);
        written.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    DeleteFileW(platform::win32::widen(out).c_str());
    EXPECT_EQ(written.substr(0, written.find_first_of("\r\n")), "[http://shop.example/buy]");
}

TEST_F(Win32Folder, TheGameIsStartedFromTheCurrentFolderAndWaitedFor) {
    write(path("game.bat"), "@exit 7\r\n");
    wchar_t previous[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, previous), 0u);
    ASSERT_TRUE(SetCurrentDirectoryW(platform::win32::widen(folder()).c_str()));
    const int code = platform::startFileAndWait("game.bat");
    const int missing = platform::startFileAndWait("no-such-game.exe");
    SetCurrentDirectoryW(previous);
    EXPECT_EQ(code, 7);
    EXPECT_EQ(missing, -1);
    EXPECT_FALSE(platform::startCommandLine("no-such-program-anywhere.exe"));
}

TEST(Win32MessageBox, AHandlerSeesUtf8AndWithoutDisplayNothingIsShown) {
    std::string text;
    std::string caption;
    auto previous = platform::setMessageBoxHandler([&](const std::string& t, const std::string& c) {
        text = t;
        caption = c;
        return platform::kMessageBoxOk;
    });
    EXPECT_EQ(platform::messageBox("caf\xE9", "Valtor"), platform::kMessageBoxOk);
    if (GetACP() == 1252) {
        EXPECT_EQ(text, "caf\xC3\xA9");  // the 8-bit text in the system's code page
    }
    EXPECT_EQ(caption, "Valtor");
    EXPECT_EQ(platform::messageBox(u"\u20AC", u"c"), platform::kMessageBoxOk);
    EXPECT_EQ(text, "\xE2\x82\xAC");
    platform::setMessageBoxHandler(previous);

    // The dummy video driver means no display: the message goes to standard error, no box blocks.
    SetEnvironmentVariableW(L"SDL_VIDEODRIVER", L"dummy");
    EXPECT_EQ(platform::messageBox("text", "caption"), 0);
    EXPECT_EQ(platform::showHostMessageBox("text", "caption"), 0);
    SetEnvironmentVariableW(L"SDL_VIDEODRIVER", nullptr);
}

TEST(Win32CodePage, ConvertsWithTheSystemTables) {
    std::u16string out;
    ASSERT_TRUE(platform::multiByteToUtf16(1252, std::string("\x80\x81\xE9", 3), out));
    EXPECT_EQ(out, u"\u20AC\u0081\u00E9");  // undefined 0x81 maps to U+0081, as Windows does
    ASSERT_TRUE(platform::multiByteToUtf16(1251, "\xC0\xFF", out));
    EXPECT_EQ(out, u"\u0410\u044F");
    ASSERT_TRUE(platform::multiByteToUtf16(932, "\x82\xA0", out));
    EXPECT_EQ(out, u"\u3042");
    EXPECT_FALSE(platform::multiByteToUtf16(4242, "a", out));
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(platform::isSingleByteCodePage(1250));
    EXPECT_FALSE(platform::isSingleByteCodePage(932));
    EXPECT_EQ(platform::codePageName(1250), "CP1250");
    EXPECT_EQ(platform::codePageName(4242), "");
}

TEST(Win32CodePage, Utf8RoundTripAndBadSequences) {
    EXPECT_EQ(platform::utf8ToUtf16("a\xC3\xA9\xF0\x9F\x98\x80"), u"a\u00E9\U0001F600");
    EXPECT_EQ(platform::utf16ToUtf8(u"a\u00E9\U0001F600"), "a\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(platform::utf8ToUtf16("a\x80z"), u"a\uFFFDz");
    EXPECT_EQ(platform::utf16ToUtf8(std::u16string(1, char16_t(0xD800)) + u"z"), "\xEF\xBF\xBDz");
    std::u16string withNul;
    ASSERT_TRUE(platform::multiByteToUtf16(1252, std::string("a\0b", 3), withNul));
    EXPECT_EQ(withNul, std::u16string(u"a\0b", 3));
}

TEST(Win32UserFolder, LocalAppDataExistsAndPathsAppendWithOneSeparator) {
    const std::string folder = platform::localAppDataFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(platform::directoryExists(folder));
    std::string path = "C:\\users\\a\\AppData\\Local";
    platform::pathAppend(path, "\\Quillfen\\");
    EXPECT_EQ(path, "C:\\users\\a\\AppData\\Local\\Quillfen\\");
    std::string longPath(300, 'x');
    platform::pathAppend(longPath, "\\more");
    EXPECT_EQ(longPath, std::string(300, 'x') + "\\more");
}

TEST_F(Win32Folder, CreateDirectoryMakesTheMissingFoldersAboveAndRefusesAnExistingOne) {
    const std::string nested = path("a\\b/c");
    EXPECT_TRUE(platform::createDirectory(nested));
    EXPECT_TRUE(platform::directoryExists(path("a\\b\\c")));
    EXPECT_FALSE(platform::createDirectory(nested));
}

TEST_F(Win32Folder, ReplaceKeepsOldContentOnFailureAndLeavesNoTemporary) {
    const std::string target = path("setup.dat");
    write(target, "old");
    ASSERT_TRUE(platform::replaceFileContents(target.c_str(), "new content", 11));
    EXPECT_EQ(read(target), "new content");
    SetFileAttributesW(platform::win32::widen(target).c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(platform::replaceFileContents(target.c_str(), "x", 1));
    EXPECT_EQ(read(target), "new content");
    EXPECT_EQ(names(), std::vector<std::string>{"setup.dat"});
    EXPECT_FALSE(platform::replaceFileContents(path("").c_str(), "x", 1));
}

TEST_F(Win32Folder, ReplaceRemovesTemporariesOfEndedProcessesOnly) {
    const std::string target = path("setup.dat");
    // Process ids are multiples of four; an odd one never names a running process.
    write(target + ".new-7-0", "stale");
    const std::string ours = target + ".new-" + std::to_string(GetCurrentProcessId()) + "-99";
    write(ours, "in use");
    write(target + ".new-x", "not a temporary name");
    ASSERT_TRUE(platform::replaceFileContents(target.c_str(), "new", 3));
    EXPECT_EQ(names(), (std::vector<std::string>{
                           "setup.dat", "setup.dat.new-" + std::to_string(GetCurrentProcessId()) + "-99",
                           "setup.dat.new-x"}));
}

TEST_F(Win32Folder, CopyRefusesItselfAndExistingTargetsWhenAsked) {
    const std::string source = path("a.txt");
    const std::string target = path("b.txt");
    write(source, "source");
    EXPECT_FALSE(platform::hostCopyFile(source.c_str(), source.c_str(), false));
    EXPECT_FALSE(
        platform::hostCopyFile(source.c_str(), path("A.TXT").c_str(), false));  // same file, other case
    EXPECT_EQ(read(source), "source");
    ASSERT_TRUE(platform::hostCopyFile(source.c_str(), target.c_str(), true));
    EXPECT_EQ(read(target), "source");
    write(target, "kept");
    EXPECT_FALSE(platform::hostCopyFile(source.c_str(), target.c_str(), true));
    EXPECT_EQ(read(target), "kept");
    EXPECT_TRUE(platform::hostCopyFile(source.c_str(), target.c_str(), false));
    EXPECT_EQ(read(target), "source");
    EXPECT_FALSE(platform::hostCopyFile(path("missing").c_str(), target.c_str(), false));
    EXPECT_EQ(names(), (std::vector<std::string>{"a.txt", "b.txt"}));
}

TEST_F(Win32Folder, HostFilesTakeUtf8Paths) {
    const std::string name = path("\xC3\xBC\xE2\x82\xAC.bin");  // u-umlaut and the euro sign
    platform::HostFile* file = platform::hostFileOpen(name.c_str(), platform::HOST_FILE_WRITE);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(platform::hostFileWrite(file, "abcdef", 6), 6);
    EXPECT_EQ(platform::hostFileSize(file), 6);
    EXPECT_TRUE(platform::hostFileTruncate(file, 2));
    EXPECT_EQ(platform::hostFileTell(file), 2);
    platform::hostFileClose(file);
    EXPECT_EQ(read(name), "ab");
    EXPECT_EQ(platform::hostFileOpen(folder().c_str(), platform::HOST_FILE_READ), nullptr);
}

TEST(Win32Clock, FollowsTheMultimediaTimerAndNeverGoesBack) {
    const uint64_t first = platform::monotonicMicroseconds();
    Sleep(20);
    const uint64_t second = platform::monotonicMicroseconds();
    EXPECT_GE(second - first, 15000u);
    EXPECT_LT(second - first, 2000000u);
    // The low half in milliseconds is the timer's own count.
    EXPECT_LE(timeGetTime() - static_cast<uint32_t>(second / 1000), 5u);
}

}  // namespace
