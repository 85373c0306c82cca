// The shop address from "url.xml" in the archives, and the browser's command line.
#include "sellingscreen/ShopPage.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "file/TempDir.h"
#include "mt/core/ServiceRegistry.h"
#include "mt/file/FileManager.h"
#include "mt/file/FileManagerImpl.h"
#include "mt/file/PackWriter.h"
#include "sellingscreen/RecordingShell.h"

using Lines = std::vector<std::string>;

TEST(OpenUrlInBrowser, CommandLineIsTheOpenCommandASpaceAndTheAddressUnchanged) {
    RecordingShell shell("browser");
    EXPECT_TRUE(selling::openUrlInBrowser("https://shop.example.com/valtor?a=1&b=2"));
    // Nothing in the address is quoted or interpreted: without a shell, "&" and quotes are only text.
    EXPECT_TRUE(selling::openUrlInBrowser("https://x.example/\"; rm -rf ~; \"%1"));
    EXPECT_EQ(shell.started, (Lines{"browser https://shop.example.com/valtor?a=1&b=2",
                                    "browser https://x.example/\"; rm -rf ~; \"%1"}));
}

TEST(OpenUrlInBrowser, PutsTheAddressInPlaceOfThePlaceholder) {
    RecordingShell shell("\"C:\\Program Files\\Web\\browser.exe\" -nohome \"%1\"");
    EXPECT_TRUE(selling::openUrlInBrowser("https://shop.example.com/?q=%1"));
    EXPECT_TRUE(selling::openUrlInBrowser("https://shop.example.com/a b"));  // quoted by the command
    // Every placeholder is filled, also one inside a longer argument.
    shell.htmlCommand = "browser --url=%1 --log=%1.log";
    EXPECT_TRUE(selling::openUrlInBrowser("https://x.example/"));
    EXPECT_EQ(shell.started,
              (Lines{"\"C:\\Program Files\\Web\\browser.exe\" -nohome \"https://shop.example.com/?q=%1\"",
                     "\"C:\\Program Files\\Web\\browser.exe\" -nohome \"https://shop.example.com/a b\"",
                     "browser --url=https://x.example/ --log=https://x.example/.log"}));

    // An address that would leave the placeholder's argument is refused: a quote that closes the
    // command's quotes, or a space where the placeholder is not quoted.
    shell.started.clear();
    shell.htmlCommand = "browser \"%1\"";
    EXPECT_FALSE(selling::openUrlInBrowser("https://x.example/\" --exec \"/bin/sh"));
    shell.htmlCommand = "browser %1";
    EXPECT_FALSE(selling::openUrlInBrowser("https://x.example/ --exec=/bin/sh"));
    EXPECT_TRUE(shell.started.empty());
}

TEST(OpenUrlInBrowser, StartsNothingWithoutAUsableCommandOrAddress) {
    RecordingShell shell("browser", false);
    EXPECT_FALSE(selling::openUrlInBrowser("https://shop.example.com/"));  // the host has no command
    shell.hasHtmlCommand = true;
    EXPECT_FALSE(selling::openUrlInBrowser(""));
    EXPECT_FALSE(selling::openUrlInBrowser(nullptr));
    // The address must never become the program, nor be taken into the command's own arguments.
    for (const char* command : {"", "  \t", "\"\"", "\"browser", "browser \"--profile"}) {
        SCOPED_TRACE(command);
        shell.htmlCommand = command;
        EXPECT_FALSE(selling::openUrlInBrowser("/bin/sh"));
    }
    EXPECT_TRUE(shell.started.empty());
}

TEST(OpenUrlInBrowser, RefusesACommandLineThatDoesNotFitRatherThanCuttingIt) {
    RecordingShell shell("browser");
    const size_t room = selling::kCommandLineBufferSize - 1 - std::string("browser ").size();
    std::string longest = "https://" + std::string(room - 8, 'a');
    ASSERT_EQ(longest.size(), room);
    EXPECT_TRUE(selling::openUrlInBrowser(longest.c_str()));
    ASSERT_EQ(shell.started.size(), 1u);
    EXPECT_EQ(shell.started[0].size(), selling::kCommandLineBufferSize - 1);
    EXPECT_FALSE(selling::openUrlInBrowser((longest + "b").c_str()));

    // A command that fills the buffer by itself leaves no room for any address.
    shell.htmlCommand = std::string(selling::kCommandLineBufferSize - 2, 'c');
    EXPECT_FALSE(selling::openUrlInBrowser("x"));
    shell.htmlCommand = std::string(selling::kCommandLineBufferSize + 10, 'c');
    EXPECT_FALSE(selling::openUrlInBrowser("x"));
    shell.htmlCommand = std::string(selling::kCommandLineBufferSize - 1, 'c');
    EXPECT_FALSE(selling::openUrlInBrowser("x"));
    shell.htmlCommand = std::string(selling::kCommandLineBufferSize - 3, 'c');
    EXPECT_TRUE(selling::openUrlInBrowser("x"));
    EXPECT_EQ(shell.started.size(), 2u);

    // With a placeholder the address takes its place: the line is as long as the filled command.
    shell.htmlCommand = std::string(selling::kCommandLineBufferSize - 4, 'c') + " %1";
    EXPECT_FALSE(selling::openUrlInBrowser("xyz"));
    EXPECT_TRUE(selling::openUrlInBrowser("xy"));
    ASSERT_EQ(shell.started.size(), 3u);
    EXPECT_EQ(shell.started[2].size(), selling::kCommandLineBufferSize - 1);
}

namespace {

// The file manager as the program sets it up, with "site.pak" made by the test.
class ShopPageTest : public testing::Test {
  protected:
    void SetUp() override {
        manager.reset(mt::file::createFileManager());
        registry.registerService(manager.get(), mt::SERVICE_FILE_MANAGER);
        mt::g_serviceRegistry = &registry;
        manager->setSearchMode(mt::file::SEARCH_ALL_MOUNTS);
    }
    void TearDown() override { mt::g_serviceRegistry = nullptr; }

    // Mounts an archive holding url.xml with the given text.
    void mountSite(const std::string& urlXml) {
        mt::file::PackWriter writer;
        ASSERT_TRUE(writer.addMember("url.xml", urlXml.data(), static_cast<int64_t>(urlXml.size())));
        std::string path = folder.path("site" + std::to_string(++archives) + ".pak");
        ASSERT_TRUE(writer.write(path.c_str()));
        ASSERT_TRUE(manager->mountArchive(path.c_str(), ("site" + std::to_string(archives) + ":").c_str()));
    }

    // The command line started for the document, or "" when nothing was started.
    std::string opened(const std::string& urlXml) {
        mountSite(urlXml);
        RecordingShell shell("browser");
        bool result = selling::openShopPage();
        EXPECT_EQ(result, !shell.started.empty());
        EXPECT_LE(shell.started.size(), 1u);
        manager->unmountArchive(("site" + std::to_string(archives) + ":").c_str());
        return shell.started.empty() ? "" : shell.started[0];
    }

    TempDir folder;
    int archives = 0;
    std::unique_ptr<mt::file::FileManager> manager;
    mt::ServiceRegistry registry;
};

}  // namespace

TEST_F(ShopPageTest, TakesTheUrlOfTheFirstSellingElementDepthFirst) {
    EXPECT_EQ(opened("<selling url=\"https://shop.example.com/valtor\"/>"),
              "browser https://shop.example.com/valtor");
    // Nested below other elements, behind a comment, with a second "selling" later that is ignored.
    EXPECT_EQ(opened("<?xml version=\"1.0\"?>\r\n<shop>\r\n  <!-- <selling url=\"commented\"/> -->\r\n"
                     "  <region name=\"eu\"><selling currency=\"EUR\" url=\"https://eu.example/buy\">text"
                     "</selling></region>\r\n  <selling url=\"https://second.example/\"/>\r\n</shop>"),
              "browser https://eu.example/buy");
    // The first "selling" decides, even when only a later one has an address.
    EXPECT_EQ(opened("<a><selling/><selling url=\"https://later.example/\"/></a>"), "");
    // The element's text is not its address.
    EXPECT_EQ(opened("<selling>https://text.example/</selling>"), "");
}

TEST_F(ShopPageTest, EndsQuietlyWhenSomethingIsMissing) {
    RecordingShell shell("browser");
    EXPECT_FALSE(selling::openShopPage());  // no archive, and no url.xml in the current directory
    EXPECT_EQ(opened(""), "");
    EXPECT_EQ(opened("garbage without any tag"), "");
    EXPECT_EQ(opened("<shop><store url=\"https://wrong.example/\"/></shop>"), "");
    EXPECT_EQ(opened("<selling href=\"https://wrong.example/\"/>"), "");
    EXPECT_EQ(opened("<selling url=\"\"/>"), "");
    // A value with "%" is read as raw bytes, which have no text: there is no address to open.
    EXPECT_EQ(opened("<selling url=\"https://shop.example.com/a%20b\"/>"), "");
    EXPECT_EQ(opened("<selling url=\"https://cut.example/"), "");  // the file ends inside the tag
    EXPECT_TRUE(shell.started.empty());

    mt::g_serviceRegistry = nullptr;  // no file manager at all
    EXPECT_FALSE(selling::openShopPage());
}
