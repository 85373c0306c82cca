// The shop address of the sample game folder, read as the selling screen reads it.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "mt/file/FileManagerImpl.h"
#include "mt/xml/XmlElement.h"
#include "mt/xml/XmlParser.h"

TEST(GameUrl, TheSiteArchiveHoldsTheShopAddress) {
    std::unique_ptr<mt::file::FileManager> manager(mt::file::createFileManager());
    ASSERT_TRUE(manager);
    manager->setArchiveDirectory(MT_BINARY_DIR "/game");
    ASSERT_TRUE(manager->mountArchive("site.pak", "site:")) << "build the game_folder target";
    manager->setSearchMode(mt::file::SEARCH_ALL_MOUNTS);
    std::unique_ptr<mt::file::File> file(manager->openFile("url.xml", 1, 0));
    ASSERT_TRUE(file);
    mt::XmlParser parser;
    std::unique_ptr<mt::XmlElement> root(parser.parseFile(file.get()));
    ASSERT_TRUE(root);
    mt::XmlElement* selling = root->findElement(mt::XmlName("selling"));
    ASSERT_NE(selling, nullptr);
    mt::XmlValue* url = selling->findAttribute(mt::XmlName("url"));
    ASSERT_NE(url, nullptr);
    EXPECT_EQ(url->type(), mt::XmlValue::TEXT);
    EXPECT_EQ(std::string(url->getText().cstr()).rfind("https://", 0), 0u);
}
