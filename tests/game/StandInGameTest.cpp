// The stand-in game of the sample folder, run as the launcher runs it: it must report exactly the settings
// that the launcher left in the per-user folder, and never touch anything outside that folder.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "../file/TempDir.h"

extern char** environ;

namespace {

const std::string kGame = MT_BINARY_DIR "/game";

struct GameRun {
    int status = -1;
    std::string out;
};

// Runs a game executable with argv[0] as the launcher gives it, a fresh per-user folder and no window time.
GameRun runGame(const std::string& executable, const std::string& dataHome,
                const char* videoDriver = "dummy") {
    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        std::string variable = *entry;
        std::string name = variable.substr(0, variable.find('='));
        if (name != "XDG_DATA_HOME" && name != "HOME" && name != "VALTOR_DEMO_SECONDS" &&
            name != "SDL_VIDEODRIVER")
            variables.push_back(variable);
    }
    variables.push_back("XDG_DATA_HOME=" + dataHome);
    variables.push_back("HOME=" + dataHome);
    variables.push_back("VALTOR_DEMO_SECONDS=0");
    variables.push_back(std::string("SDL_VIDEODRIVER=") + videoDriver);
    std::vector<char*> envp;
    for (std::string& variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    std::string shownName = "./" + executable;
    char* argv[] = {shownName.data(), nullptr};

    GameRun run;
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
    pid_t pid = 0;
    std::string path = kGame + "/" + executable;
    int spawned = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    char buffer[1024];
    for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        run.out.append(buffer, static_cast<size_t>(got));
    close(pipeEnds[0]);
    int status = 0;
    if (spawned == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    return run;
}

void put32(std::string& bytes, int32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<char>((static_cast<uint32_t>(value) >> (8 * i)) & 0xFF));
}

// A settings file laid out as the launcher writes it: 60 bytes, little-endian.
std::string settings(int32_t windowMode, int32_t width, int32_t height, int32_t quality, int32_t audio,
                     const std::string& language, int32_t codePage) {
    std::string bytes;
    put32(bytes, static_cast<int32_t>(0xDEADBABE));
    for (int32_t value : {windowMode, width, height, quality, audio})
        put32(bytes, value);
    std::string name = language.substr(0, 32);
    name.resize(32, '\0');
    bytes += name;
    put32(bytes, codePage);
    return bytes;
}

const char kFolder[] = "Quillfen/Valtor/1.0/";

TEST(StandInGame, ReportsAndLogsTheSettingsItWasStartedWith) {
    TempDir home;
    home.write(std::string(kFolder) + "setup.dat", settings(1, 1280, 720, 2, 2, "polski", 1250));
    GameRun run = runGame("valtor_low2.exe", home.path());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "valtor-demo: started as valtor_low2.exe; window mode 1 (window), resolution 1280x720, "
              "quality 2 (very low), audio 2 (software), language polski, code page 1250\n");

    home.write(std::string(kFolder) + "setup.dat", settings(0, 1024, 768, 0, 0, "english", 1252));
    GameRun second = runGame("valtor.exe", home.path());
    EXPECT_EQ(second.status, 0);
    EXPECT_NE(second.out.find("started as valtor.exe; window mode 0 (full screen), resolution 1024x768, "
                              "quality 0 (normal), audio 0 (no audio), language english"),
              std::string::npos)
        << second.out;
    // The log gathers every start, line for line as printed.
    EXPECT_EQ(home.read(std::string(kFolder) + "valtor-demo.log"), run.out + second.out);
}

TEST(StandInGame, SaysSoWhenTheSettingsAreMissingDamagedOrShort) {
    TempDir home;
    GameRun missing = runGame("valtor_low.exe", home.path());
    EXPECT_EQ(missing.status, 0);
    EXPECT_NE(missing.out.find("started as valtor_low.exe; no settings file"), std::string::npos)
        << missing.out;

    std::string wrongMagic = settings(1, 800, 600, 1, 1, "deutsch", 1252);
    wrongMagic[0] = 0;
    home.write(std::string(kFolder) + "setup.dat", wrongMagic);
    GameRun damaged = runGame("valtor_low.exe", home.path());
    EXPECT_NE(damaged.out.find("not a settings file"), std::string::npos) << damaged.out;
    EXPECT_EQ(damaged.out.find("deutsch"), std::string::npos) << damaged.out;

    // Fields past the end are left out rather than made up.
    home.write(std::string(kFolder) + "setup.dat",
               settings(1, 800, 600, 1, 1, "deutsch", 1252).substr(0, 22));
    GameRun shortFile = runGame("valtor_low.exe", home.path());
    EXPECT_NE(shortFile.out.find(
                  "window mode 1 (window), resolution 800x600, quality 1 (low), short file of 22 bytes"),
              std::string::npos)
        << shortFile.out;
    EXPECT_EQ(shortFile.out.find("audio"), std::string::npos) << shortFile.out;
}

TEST(StandInGame, ShowsOddNamesAndValuesSafely) {
    TempDir home;
    // A 32-character name has no terminator in the file; stray bytes and values outside the lists.
    std::string longName(32, 'x');
    home.write(std::string(kFolder) + "setup.dat", settings(7, -1, 0, 9, -3, longName, 65001));
    GameRun run = runGame("valtor.exe", home.path());
    EXPECT_NE(
        run.out.find("window mode 7 (unknown), resolution -1x0, quality 9 (unknown), audio -3 (unknown), "
                     "language " +
                     longName + ", code page 65001\n"),
        std::string::npos)
        << run.out;

    home.write(std::string(kFolder) + "setup.dat", settings(0, 640, 480, 0, 1, "bad\x1b[2Jname\xff", 1251));
    GameRun odd = runGame("valtor.exe", home.path());
    EXPECT_NE(odd.out.find("language bad\\x1B[2Jname\\xFF,"), std::string::npos) << odd.out;
}

TEST(StandInGame, RunsWithoutADisplay) {
    TempDir home;
    home.write(std::string(kFolder) + "setup.dat", settings(0, 1024, 768, 1, 1, "russkij", 1251));
    GameRun run = runGame("valtor_low.exe", home.path(), "no-such-driver");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("language russkij, code page 1251"), std::string::npos) << run.out;
    EXPECT_EQ(home.read(std::string(kFolder) + "valtor-demo.log"), run.out);
}

}  // namespace
