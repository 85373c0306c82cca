#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "file/TempDir.h"
#include "mt/core/ServiceRegistry.h"
#include "mt/file/FileManagerImpl.h"
#include "mt/localization/LocalizatorImpl.h"
#include "platform/MessageBox.h"

using mt::String;
using mt::localization::Localizator;
using mt::localization::LocalizatorImpl;
using mt::localization::TextTable;

namespace {

// A file manager over a temporary folder, published in a registry of its own, and a message box handler
// that records what would have been shown.
class LanguageFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        manager.reset(mt::file::createFileManager());
        ASSERT_TRUE(manager);
        manager->setRootDirectory(dir.path().c_str());
        registry.registerService(manager.get(), mt::SERVICE_FILE_MANAGER);
        previousRegistry = mt::g_serviceRegistry;
        mt::g_serviceRegistry = &registry;
        previousHandler =
            platform::setMessageBoxHandler([this](const std::string& text, const std::string& caption) {
                boxes.emplace_back(text, caption);
                return platform::kMessageBoxOk;
            });
    }
    void TearDown() override {
        platform::setMessageBoxHandler(previousHandler);
        mt::g_serviceRegistry = previousRegistry;
    }

    std::unique_ptr<Localizator> load(const std::string& content, const char* name = "lang/english.lng") {
        dir.write(name, content);
        return std::unique_ptr<Localizator>(mt::localization::createLocalizator("lang\\english.lng"));
    }

    TempDir dir;
    std::unique_ptr<mt::file::FileManager> manager;
    mt::ServiceRegistry registry;
    mt::ServiceRegistry* previousRegistry = nullptr;
    platform::MessageBoxHandler previousHandler;
    std::vector<std::pair<std::string, std::string>> boxes;
};

std::string text(Localizator& localizator, const char* key) {
    return localizator.getText(key).cstr();
}

}  // namespace

TEST_F(LanguageFiles, EntriesKeepTheirTextExactly) {
    auto loc = load(
        "KEY   two  inner spaces  \n"
        "TABBED\t\ttext\r\n"
        "NBSP\xA0\xA0nbsp text\xA0\r"
        "   INDENTED indented entry\n"
        "   # an indented comment\n"
        "#COMMENT not an entry\n"
        "HASH text # with a hash\n"
        "\n"
        "  \t \xA0 \n"
        "EMPTY\n"
        "EMPTY_SPACES    \n"
        "key lower case\n"
        "ESCAPES a\\nb\\tc\\rd\\qe\\\n");
    ASSERT_TRUE(loc);
    EXPECT_EQ(text(*loc, "KEY"), "two  inner spaces  ");
    EXPECT_EQ(text(*loc, "TABBED"), "text");
    EXPECT_EQ(text(*loc, "NBSP"), "nbsp text\xA0");
    EXPECT_EQ(text(*loc, "INDENTED"), "indented entry");
    EXPECT_FALSE(loc->hasText("#"));
    EXPECT_FALSE(loc->hasText("#COMMENT"));
    EXPECT_EQ(text(*loc, "HASH"), "text # with a hash");
    EXPECT_TRUE(loc->hasText("EMPTY"));
    EXPECT_EQ(text(*loc, "EMPTY"), "");
    EXPECT_EQ(text(*loc, "EMPTY_SPACES"), "");
    EXPECT_EQ(text(*loc, "key"), "lower case");
    EXPECT_FALSE(loc->hasText("KEY ") || loc->hasText("Key"));
    EXPECT_EQ(text(*loc, "ESCAPES"), "a\nb\tcd\\qe\\");
    EXPECT_TRUE(boxes.empty());
}

TEST_F(LanguageFiles, LongLinesAreJoinedFromChunks) {
    std::string longText(600, 'x');
    for (size_t i = 0; i < longText.size(); i += 7)
        longText[i] = static_cast<char>('a' + i % 26);
    // "K255 " plus 250 bytes is exactly one full chunk; the line after it must stay separate.
    std::string fullChunk = "K255 " + std::string(250, 'y');
    std::string spaces(300, ' ');
    // The last line fills two chunks exactly and the file ends without a line feed.
    std::string lastLine = "LAST " + std::string(2 * 255 - 5, 'z');
    auto loc = load("LONG " + longText + "\n" + fullChunk + "\nAFTER after\n" + spaces + "PADDED padded\n" +
                    lastLine);
    EXPECT_EQ(text(*loc, "LONG"), longText);
    EXPECT_EQ(text(*loc, "K255"), std::string(250, 'y'));
    EXPECT_EQ(text(*loc, "AFTER"), "after");
    EXPECT_EQ(text(*loc, "PADDED"), "padded");
    EXPECT_EQ(text(*loc, "LAST"), std::string(2 * 255 - 5, 'z'));
}

TEST_F(LanguageFiles, MissingKeysAndMissingFiles) {
    auto loc = load("PRESENT here\n");
    EXPECT_EQ(text(*loc, "ABSENT"), "UNKNOWN_STRING");
    EXPECT_FALSE(loc->hasText("ABSENT"));
    EXPECT_TRUE(loc->hasText("PRESENT"));

    std::unique_ptr<Localizator> missing(mt::localization::createLocalizator("lang\\nothing.lng"));
    ASSERT_TRUE(missing);
    EXPECT_EQ(text(*missing, "PRESENT"), "UNKNOWN_STRING");
    EXPECT_EQ(String(missing->getFileName()), "lang\\nothing.lng");

    // Without a file manager every lookup gives the missing text as well.
    mt::g_serviceRegistry = nullptr;
    std::unique_ptr<Localizator> unmanaged(mt::localization::createLocalizator("lang\\english.lng"));
    EXPECT_EQ(text(*unmanaged, "PRESENT"), "UNKNOWN_STRING");
}

TEST_F(LanguageFiles, ReloadUnloadAndAddFile) {
    auto loc = load("GREETING first\n");
    dir.write("lang/english.lng", "GREETING second\n");
    // Before any reload, unload keeps the texts.
    loc->unload();
    EXPECT_EQ(text(*loc, "GREETING"), "first");

    dir.write("lang/deutsch.lng", "GREETING hallo\nONLY_DE nur deutsch\n");
    loc->reload("lang\\deutsch.lng");
    EXPECT_EQ(String(loc->getFileName()), "lang\\deutsch.lng");
    EXPECT_EQ(text(*loc, "GREETING"), "hallo");
    EXPECT_FALSE(loc->hasText("SECOND"));

    // After a reload, unload drops the texts and the next lookup reads the file again.
    dir.write("lang/deutsch.lng", "GREETING guten Tag\n");
    loc->unload();
    EXPECT_FALSE(static_cast<LocalizatorImpl&>(*loc).isLoaded());
    EXPECT_EQ(text(*loc, "GREETING"), "guten Tag");
    EXPECT_FALSE(loc->hasText("ONLY_DE"));

    // addFile adds to the texts without changing the file name; after unload the current file comes first.
    dir.write("lang/extra.lng", "EXTRA extra text\n");
    loc->unload();
    loc->addFile("lang\\extra.lng");
    EXPECT_EQ(text(*loc, "EXTRA"), "extra text");
    EXPECT_EQ(text(*loc, "GREETING"), "guten Tag");
    EXPECT_EQ(String(loc->getFileName()), "lang\\deutsch.lng");
    loc->addFile("lang\\missing.lng");
    EXPECT_EQ(text(*loc, "EXTRA"), "extra text");
}

TEST_F(LanguageFiles, DuplicateKeysAreReportedAndLoadingGoesOn) {
    const char* collidingA = "\x7f\xf2\x94\x80";
    const char* collidingB = "\x80\x80!\xc0";
    ASSERT_EQ(TextTable::hashKey(collidingA, 4), TextTable::hashKey(collidingB, 4));
    auto loc = load(std::string("TITLE old\nOTHER other\nTITLE new\n") + collidingA + " a\n" + collidingB +
                    " b\nLAST last\n");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].first, "TITLE");
    EXPECT_EQ(boxes[0].second, "Duplicate translation!!");
    EXPECT_EQ(boxes[1].second, "Duplicate translation!!");
    EXPECT_EQ(text(*loc, "TITLE"), "new");   // the newer entry wins
    EXPECT_EQ(text(*loc, collidingA), "b");  // the same hash is the same key
    EXPECT_EQ(text(*loc, "LAST"), "last");
}

TEST_F(LanguageFiles, FormatAndExpand) {
    auto loc = load(
        "TWICE %1 and %1\n"
        "BOTH %2 before %1\n"
        "VARS {name} is {age}, {} and {unclosed\n"
        "NESTED {a{b}} {missing}\n");
    EXPECT_EQ(std::string(loc->formatText("TWICE", "x").cstr()), "x and %1");
    EXPECT_EQ(std::string(loc->formatText("BOTH", "one", "two").cstr()), "two before one");
    // A marker inside an argument is not replaced again.
    EXPECT_EQ(std::string(loc->formatText("BOTH", "50%2", "b").cstr()), "b before 50%2");
    EXPECT_EQ(std::string(loc->formatText("TWICE", "a", "b").cstr()), "a and %1");
    EXPECT_EQ(std::string(loc->formatText("ABSENT", "a").cstr()), "UNKNOWN_STRING");
    EXPECT_EQ(std::string(loc->expandText("VARS").cstr()), "{name} is {age}, {} and {unclosed");

    struct Variables : mt::localization::VariableSource {
        const String& lookup(const String& name) override {
            asked.push_back(name.cstr());
            replacement = String("<") + name + ">";
            return replacement;
        }
        String replacement;
        std::vector<std::string> asked;
    } variables;
    loc->setVariableSource(&variables);
    EXPECT_EQ(std::string(loc->expandText("VARS").cstr()), "<name> is <age>, {} and {unclosed");
    EXPECT_EQ(std::string(loc->expandText("NESTED").cstr()), "<a{b>} <missing>");
    EXPECT_EQ(std::string(loc->formatText("BOTH", "{x}", "y").cstr()), "y before <x>");
    loc->setVariableSource(nullptr);
    EXPECT_EQ(std::string(loc->expandText("NESTED").cstr()), "{a{b}} {missing}");
}

// Texts by name from a table; a name without an entry gives "?".
struct TableVariables : mt::localization::VariableSource {
    const String& lookup(const String& name) override {
        ++lookups;
        for (const auto& [key, value] : values) {
            if (key == name.cstr())
                return value;
        }
        return unknown;
    }
    std::vector<std::pair<std::string, String>> values;
    String unknown = "?";
    int lookups = 0;
};

TEST_F(LanguageFiles, ReplacementsThatHoldReferencesAreMetByLaterSteps) {
    auto loc = load(
        "CHAIN {x} and {y}\n"
        "SELF {a} {a}\n"
        "INNER {a{b}} {b}\n");
    TableVariables variables;
    variables.values = {{"x", "{y}"}, {"y", "Y"}, {"a", "<{a}>"}, {"a{b", "{b}"}, {"b", "B"}};
    loc->setVariableSource(&variables);
    // The step of {y} replaces the first {y} of the result: the one that {x} brought in.
    EXPECT_EQ(std::string(loc->expandText("CHAIN").cstr()), "Y and {y}");
    // A replacement that refers to itself is expanded once per reference of the text, never again.
    EXPECT_EQ(std::string(loc->expandText("SELF").cstr()), "<<{a}>> {a}");
    // Every "{" starts a step, also one inside a longer reference.
    EXPECT_EQ(std::string(loc->expandText("INNER").cstr()), "B} B");
}

TEST_F(LanguageFiles, ExpansionIsBoundedForTextsWithManyReferences) {
    std::string many;
    for (int i = 0; i < 1000; ++i)
        many += "{a}";
    auto loc = load("MANY " + many + "\nFEW {big} {big} {big}\n");
    TableVariables variables;
    variables.values = {{"a", "{a}{a}"}, {"big", String(std::string(400000, 'x').c_str())}};
    loc->setVariableSource(&variables);
    String expanded = loc->expandText("MANY");
    EXPECT_EQ(expanded.length(), 3000 + 3 * LocalizatorImpl::MAX_EXPANDED_REFERENCES);
    EXPECT_EQ(std::string(expanded.cstr(), 6), "{a}{a}");
    EXPECT_EQ(variables.lookups, LocalizatorImpl::MAX_EXPANDED_REFERENCES);
    // Two replacements fit the growth bound, the third would not: it stays a reference.
    std::string few = loc->expandText("FEW").cstr();
    EXPECT_EQ(few.size(), 2u * 400000 + 7);
    EXPECT_TRUE(few == std::string(400000, 'x') + " " + std::string(400000, 'x') + " {big}");
}

TEST(TextTable, HashesLikeStringsAndGrowsWithoutMovingTexts) {
    for (const char* key :
         {"", "a", "ab", "abc", "abcd", "abcde", "LAUNCHER_QUALITY_VERY_LOW", "\xff\x80\x7f\x01x"}) {
        int length = static_cast<int>(std::string(key).size());
        EXPECT_EQ(TextTable::hashKey(key, length), String(key).hashCode()) << key;
    }

    TextTable table;
    EXPECT_EQ(table.bucketCount(), 4);
    const String* firstText = nullptr;
    for (int i = 0; i < 7; ++i) {
        ASSERT_TRUE(table.insert(static_cast<uint32_t>(i * 1000003), String(i)));
        if (i == 0)
            firstText = table.find(0);
    }
    EXPECT_EQ(table.bucketCount(), 4);
    table.insert(7 * 1000003, String(7));  // eight entries: twice the buckets
    EXPECT_EQ(table.bucketCount(), 8);
    for (int i = 8; i < 200; ++i)
        table.insert(static_cast<uint32_t>(i * 1000003), String(i));
    EXPECT_EQ(table.size(), 200);
    EXPECT_EQ(table.bucketCount(), 128);
    EXPECT_EQ(table.find(0), firstText);
    for (int i = 0; i < 200; ++i) {
        const String* found = table.find(static_cast<uint32_t>(i * 1000003));
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->toInt(), i);
    }
    EXPECT_EQ(table.find(12345), nullptr);
    table.clear();
    EXPECT_EQ(table.size(), 0);
    EXPECT_EQ(table.find(0), nullptr);
}
