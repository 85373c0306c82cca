// The stand-in game of the sample folder, run as the launcher runs it: it must report exactly the settings
// that the launcher left in the per-user folder.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "../file/TempDir.h"

extern char** environ;

namespace {

const char kSettings[] = "Quillfen/Valtor/1.0/setup.dat";
const char kLog[] = "Quillfen/Valtor/1.0/valtor-demo.log";

// Runs a game executable as "./name", with the per-user folder in dataHome and no time in the window; gives
// what it printed, or "exit N" when it did not end with 0.
std::string runGame(const std::string& executable, const std::string& dataHome,
                    const char* videoDriver = "dummy") {
    std::vector<std::string> variables = {"XDG_DATA_HOME=" + dataHome, "HOME=" + dataHome,
                                          "VALTOR_DEMO_SECONDS=0",
                                          std::string("SDL_VIDEODRIVER=") + videoDriver};
    for (char** entry = environ; *entry != nullptr; ++entry) {
        std::string name(*entry, std::string(*entry).find('='));
        if (name != "XDG_DATA_HOME" && name != "HOME" && name != "VALTOR_DEMO_SECONDS" &&
            name != "SDL_VIDEODRIVER")
            variables.push_back(*entry);
    }
    std::vector<char*> envp;
    for (std::string& variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    std::string shownName = "./" + executable;
    char* argv[] = {shownName.data(), nullptr};

    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return "no pipe";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    pid_t pid = 0;
    std::string path = MT_BINARY_DIR "/game/" + executable;
    int spawned = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    std::string out;
    char buffer[1024];
    for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        out.append(buffer, static_cast<size_t>(got));
    close(pipeEnds[0]);
    int status = -1;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "exit " + std::to_string(status);
    return out;
}

// A settings file laid out as the launcher writes it: 60 bytes, little-endian, the name NUL-padded.
std::string settings(std::vector<int32_t> values, std::string language, int32_t codePage) {
    std::string bytes;
    values.insert(values.begin(), static_cast<int32_t>(0xDEADBABE));
    language.resize(32, '\0');
    for (int32_t value : values)
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<char>(static_cast<uint32_t>(value) >> (8 * i)));
    bytes += language;
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<char>(static_cast<uint32_t>(codePage) >> (8 * i)));
    return bytes;
}

TEST(StandInGame, ReportsAndLogsTheSettingsItWasStartedWith) {
    TempDir home;
    home.write(kSettings, settings({1, 1280, 720, 2, 2}, "polski", 1250));
    std::string first = runGame("valtor_low2.exe", home.path());
    EXPECT_EQ(first,
              "valtor-demo: started as valtor_low2.exe; window mode 1 (window), resolution 1280x720, "
              "quality 2 (very low), audio 2 (software), language polski, code page 1250\n");

    // Without a display it only prints and logs.
    home.write(kSettings, settings({0, 1024, 768, 0, 0}, "english", 1252));
    std::string second = runGame("valtor.exe", home.path(), "no-such-driver");
    EXPECT_EQ(second,
              "valtor-demo: started as valtor.exe; window mode 0 (full screen), resolution 1024x768, "
              "quality 0 (normal), audio 0 (no audio), language english, code page 1252\n");
    EXPECT_EQ(home.read(kLog), first + second);
}

TEST(StandInGame, SaysWhatIsWrongWithMissingDamagedShortOrOddSettings) {
    TempDir home;
    EXPECT_NE(runGame("valtor_low.exe", home.path())
                  .find("started as valtor_low.exe; no settings file at " + home.path() + "/" + kSettings),
              std::string::npos);

    std::string damaged = settings({1, 800, 600, 1, 1}, "deutsch", 1252);
    damaged[3] = 0;
    home.write(kSettings, damaged);
    EXPECT_NE(runGame("valtor_low.exe", home.path()).find("; not a settings file"), std::string::npos);

    // Fields past the end are left out rather than made up.
    home.write(kSettings, damaged.replace(3, 1, "\xDE").substr(0, 22));
    EXPECT_NE(
        runGame("valtor_low.exe", home.path())
            .find("window mode 1 (window), resolution 800x600, quality 1 (low), short file of 22 bytes\n"),
        std::string::npos);

    // A 32-character name has no terminator in the file; values outside the lists are named as such.
    home.write(kSettings, settings({7, -1, 0, 9, -3}, std::string(32, 'x'), 65001));
    EXPECT_NE(runGame("valtor.exe", home.path())
                  .find("window mode 7 (unknown), resolution -1x0, quality 9 (unknown), audio -3 (unknown), "
                        "language " +
                        std::string(32, 'x') + ", code page 65001\n"),
              std::string::npos);

    // Control and high bytes in the name are shown escaped, never sent to the terminal.
    home.write(kSettings, settings({0, 640, 480, 0, 1}, "bad\x1b[2Jname\xff", 1251));
    EXPECT_NE(runGame("valtor.exe", home.path()).find("language bad\\x1B[2Jname\\xFF, code page 1251"),
              std::string::npos);
}

}  // namespace
