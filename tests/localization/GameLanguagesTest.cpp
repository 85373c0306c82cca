// The sample game folder's language files, read as the launcher reads them: archives mounted, the path
// "lang\<name>.lng" looked up in every mount.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "mt/core/ServiceRegistry.h"
#include "mt/file/FileManagerImpl.h"
#include "mt/localization/Localizator.h"
#include "platform/MessageBox.h"

namespace {

const std::string kGame = MT_BINARY_DIR "/game";

TEST(GameLanguages, EveryLanguageHasEveryLauncherText) {
    std::unique_ptr<mt::file::FileManager> manager(mt::file::createFileManager());
    ASSERT_TRUE(manager);
    manager->setArchiveDirectory(kGame.c_str());
    ASSERT_TRUE(manager->mountArchive("data.pak", "data:")) << "build the game_folder target";
    ASSERT_TRUE(manager->mountArchive("data2.pak", "data2:"));
    ASSERT_TRUE(manager->mountArchive("site.pak", "site:"));
    manager->setSearchMode(mt::file::SEARCH_ALL_MOUNTS);
    mt::ServiceRegistry registry;
    registry.registerService(manager.get(), mt::SERVICE_FILE_MANAGER);
    mt::ServiceRegistry* previous = mt::g_serviceRegistry;
    mt::g_serviceRegistry = &registry;
    int boxes = 0;
    auto previousHandler = platform::setMessageBoxHandler([&](const std::string&, const std::string&) {
        ++boxes;
        return platform::kMessageBoxOk;
    });

    std::vector<std::string> names;
    if (FILE* list = std::fopen((kGame + "/languages.txt").c_str(), "r")) {
        char name[33];
        int codePage;
        while (std::fscanf(list, "%32s %d", name, &codePage) == 2)
            names.push_back(name);
        std::fclose(list);
    }
    ASSERT_GE(names.size(), 3u);
    std::unique_ptr<mt::localization::Localizator> localizator;
    for (const std::string& name : names) {
        mt::String path = mt::String("lang\\") + name.c_str() + ".lng";
        if (!localizator)
            localizator.reset(mt::localization::createLocalizator(path));
        else
            localizator->reload(path);
        for (const char* key :
             {"LAUNCHER_NO_AUDIO", "LAUNCHER_HW_AUDIO", "LAUNCHER_SW_AUDIO", "LAUNCHER_QUALITY_NORMAL",
              "LAUNCHER_QUALITY_LOW", "LAUNCHER_QUALITY_VERY_LOW", "LAUNCHER_FULLSCREEN", "LAUNCHER_WINDOW",
              "GRAPHICS_ERROR"}) {
            EXPECT_TRUE(localizator->hasText(key)) << name << " " << key;
            EXPECT_GT(localizator->getText(key).length(), 0) << name << " " << key;
        }
    }
    EXPECT_EQ(boxes, 0);

    platform::setMessageBoxHandler(previousHandler);
    mt::g_serviceRegistry = previous;
}

}  // namespace
