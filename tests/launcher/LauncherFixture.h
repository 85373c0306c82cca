#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "launcher/LauncherMain.h"
#include "launcher/LauncherState.h"
#include "launcher/SettingsDialog.h"
#include "platform/GraphicsAdapter.h"
#include "platform/MessageBox.h"
#include "platform/MessageLoop.h"
#include "platform/Process.h"
#include "platform/SyntheticInput.h"

// The launcher in this process without a display: a copy of the sample game folder as the current
// directory, the per-user folder under a temporary XDG_DATA_HOME, SDL's dummy video driver, and the host's
// graphics adapter, shell and message boxes replaced by recording fakes.
class LauncherTest : public ::testing::Test, private platform::Shell {
  protected:
    struct GameStart {
        std::string file;
        std::string settingsAtStart;  // setup.dat at that moment
        bool dialogGone = false;
    };

    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        std::string pattern = (std::filesystem::temp_directory_path() / "launcher-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root = pattern;
        game = root + "/game";
        dataHome = root + "/data";
        std::filesystem::create_directories(game);
        for (const char* file : {"data.pak", "data2.pak", "site.pak", "languages.txt"}) {
            std::filesystem::copy_file(std::string(MT_BINARY_DIR "/game/") + file, game + "/" + file);
        }
        setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
        savedDirectory = std::filesystem::current_path();
        std::filesystem::current_path(game);
        previousShell = platform::setShell(this);
        platform::setMessageBoxHandler([this](const std::string& text, const std::string& caption) {
            boxes.push_back({text, caption});
            return platform::kMessageBoxOk;
        });
        platform::setGraphicsAdapterFactory([this]() -> std::unique_ptr<platform::GraphicsAdapter> {
            if (duringStartUp) {
                duringStartUp();
            }
            return adapterPresent ? std::make_unique<platform::GraphicsAdapter>(capabilities, modes)
                                  : nullptr;
        });
    }

    void TearDown() override {
        launcher::resetLauncherState();
        platform::Message message;
        while (platform::peekMessage(message)) {
        }
        platform::setGraphicsAdapterFactory(nullptr);
        platform::setMessageBoxHandler(nullptr);
        platform::setShell(previousShell);
        std::filesystem::current_path(savedDirectory);
        unsetenv("XDG_DATA_HOME");
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }

    std::string settingsPath() const { return dataHome + "/Quillfen/Valtor/1.0/setup.dat"; }
    std::string readSettingsFile() const {
        std::ifstream in(settingsPath(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    void writeSettingsFile(const std::string& bytes) const {
        std::filesystem::create_directories(std::filesystem::path(settingsPath()).parent_path());
        std::ofstream(settingsPath(), std::ios::binary) << bytes;
    }
    void writeGameFile(const std::string& name, const std::string& content) const {
        std::ofstream(game + "/" + name, std::ios::binary) << content;
    }

    // The 60 bytes of a settings file, built here field by field.
    static std::string settingsBytes(int32_t windowMode, int32_t width, int32_t height, int32_t quality,
                                     int32_t audioMode, const std::string& name, int32_t codePage) {
        std::string bytes;
        auto put = [&bytes](uint32_t value) {
            for (int i = 0; i < 4; ++i) {
                bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
            }
        };
        put(0xDEADBABE);
        for (int32_t value : {windowMode, width, height, quality, audioMode}) {
            put(static_cast<uint32_t>(value));
        }
        std::string padded = name.substr(0, 32);
        padded.resize(32, '\0');
        bytes += padded;
        put(static_cast<uint32_t>(codePage));
        return bytes;
    }

    // Start-up with the fake adapter; the test fails when the launcher would end instead.
    void startUp() {
        int exitCode = 99;
        ASSERT_TRUE(launcher::launcherStartUp(exitCode));
    }
    // The player clicks at (x, y); the loop and the shutdown run to their end.
    int leaveWithClick(int x, int y) {
        platform::postClick(dialog(), x, y);
        launcher::runMessageLoop();
        return launcher::launcherShutDown();
    }
    // What one pass of the message loop does with the queued input.
    void pump() {
        launcher::g_launcher.inMessageLoop = true;
        platform::processPendingMessages(launcher::g_launcher.dialog);
    }

    platform::Dialog& dialog() { return *launcher::g_launcher.dialog; }
    platform::ComboBox& list(int id) { return *launcher::g_launcher.dialog->comboBox(id); }
    std::vector<std::string> entries(int id) {
        std::vector<std::string> texts;
        for (int i = 0; i < list(id).getCount(); ++i) {
            texts.push_back(list(id).getText(i));
        }
        return texts;
    }

    static platform::DisplayMode mode(uint32_t width, uint32_t height, uint32_t refresh = 60) {
        return {width, height, refresh, platform::kFormatX8R8G8B8};
    }

    std::string root, game, dataHome;
    std::vector<GameStart> starts;
    std::vector<std::pair<std::string, std::string>> boxes;  // text, caption
    bool adapterPresent = true;
    platform::AdapterCapabilities capabilities{8, true, true, platform::kPixelShader3};
    std::vector<platform::DisplayMode> modes{mode(800, 600), mode(1024, 768), mode(1024, 768, 75),
                                             mode(1280, 1024), mode(1920, 1080)};
    // Runs when the launcher asks for the adapter: the dialog exists then, so input can be queued for it.
    std::function<void()> duringStartUp;

  private:
    int startFileAndWait(const std::string& file) override {
        starts.push_back({file, readSettingsFile(),
                          launcher::g_launcher.dialog == nullptr && platform::Dialog::all().empty()});
        return 0;
    }
    bool startCommandLine(const std::string&) override { return false; }
    bool htmlOpenCommand(std::string&) override { return false; }

    platform::Shell* previousShell = nullptr;
    std::filesystem::path savedDirectory;
};
