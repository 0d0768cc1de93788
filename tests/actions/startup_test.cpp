#include "actions/startup.h"

#include "core/folders.h"
#include "model/models.h"
#include "actions/defaults.h"
#include "settings/settings.h"
#include "tests/support/test_support.h"
#include "core/profile_file_testing.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace testsupport;

namespace {

TEST(Folders, XdgLocations) {
    TestState t;
    EXPECT_EQ(t.state.locations.userFolder, t.dir.file("config") + "/LumivaneB/");
    EXPECT_EQ(t.state.locations.sharedFolder, t.dir.file("xdg") + "/LumivaneB/");
    EXPECT_EQ(t.state.locations.settingsPath, t.state.locations.userFolder + "LumivaneB.ini");
    EXPECT_EQ(t.state.locations.sharedSettingsPath,
              t.state.locations.sharedFolder + "LumivaneB.ini");
    EXPECT_EQ(t.state.locations.recentFilesPath, t.state.locations.userFolder + "Lastfile.exini");
    struct stat st {};
    EXPECT_EQ(::stat(t.state.locations.userFolder.c_str(), &st), 0) << "user folder created";
    EXPECT_NE(::stat(t.state.locations.sharedFolder.c_str(), &st), 0)
        << "shared folder never created";
}

TEST(Folders, FirstConfigDirAndDefaults) {
    TestState t;
    setenv("XDG_CONFIG_DIRS", (t.dir.file("a") + ":" + t.dir.file("b")).c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", t.dir.file("home").c_str(), 1);
    AppState s;
    ASSERT_TRUE(resolveFolders(s.locations));
    EXPECT_EQ(s.locations.sharedFolder, t.dir.file("a") + "/LumivaneB/");
    EXPECT_EQ(s.locations.userFolder, t.dir.file("home") + "/.config/LumivaneB/");
}

// Without $HOME the home folder comes from the password database, never /tmp; a settings
// folder of another user is refused.
TEST(Folders, NoTmpFallbackAndOnlyOwnFolders) {
    TestState t;
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("HOME");
    const int rc = inChild([] {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) return 90;
        AppState s;
        if (resolveFolders(s.locations)) return 91; // nobody's home, /nonexistent, cannot be made
        if (s.locations.userFolder != "/nonexistent/.config/LumivaneB/") return 92;
        if (s.locations.settingsPath.rfind("/tmp", 0) == 0) return 93;
        return 0;
    });
    EXPECT_EQ(rc, 0);

    setenv("XDG_CONFIG_HOME", t.dir.file("theirs").c_str(), 1);
    std::filesystem::create_directories(t.dir.file("theirs/LumivaneB"));
    ASSERT_EQ(::chown(t.dir.file("theirs/LumivaneB").c_str(), 65534, 65534), 0);
    AppState s;
    EXPECT_FALSE(resolveFolders(s.locations));
    setenv("XDG_CONFIG_HOME", t.dir.file("config").c_str(), 1);
    EXPECT_TRUE(resolveFolders(s.locations));
}

TEST(StartUp, FirstRunWritesProfilesThenDefaultsComplete) {
    TestState t;
    t.state.target.targetModel = "C711WT";
    prepareSettings(t.state);
    EXPECT_EQ(readSetting(t.state.settings, keys::kProfileIn),
              t.state.locations.programFolder + "sRGB.ICM");
    EXPECT_EQ(readSetting(t.state.settings, keys::kProfileOut),
              t.state.locations.programFolder + "OKC711P2.ICM");
    EXPECT_EQ(readSetting(t.state.settings, keys::kRightHand), "1");
    EXPECT_EQ(readSetting(t.state.settings, keys::kLeftHand), "0");
    ensureSettings(t.state); // the main window's build: no "Version" yet
    EXPECT_EQ(readSetting(t.state.settings, keys::kProfileIn), "sRGB.icm");
    EXPECT_EQ(readSetting(t.state.settings, keys::kVersion, ""), "1.0");
}

TEST(StartUp, StartUpTableSkipsThe844Row) {
    TestState t;
    t.state.target.targetModel = "C844";
    prepareSettings(t.state);
    EXPECT_EQ(readSetting(t.state.settings, keys::kProfileOut),
              t.state.locations.programFolder + "OKC332P2.ICM");
}

TEST(StartUp, OldBottomMargin) {
    for (auto [stored, expected] : {std::pair{"4.1", "1307"},
                                    {"4.0", "4.0"},
                                    {"4.2", "4.2"},
                                    {"4.16", "1307"},
                                    {"4.17", "4.17"},
                                    {"0", "0"},
                                    {"1307", "1307"}}) {
        TestState t;
        writeSetting(t.state.settings, keys::kBottomMargin, stored);
        prepareSettings(t.state);
        EXPECT_EQ(readSetting(t.state.settings, keys::kBottomMargin), expected) << stored;
    }
}

TEST(StartUp, Handedness) {
    for (auto [left, right, expLeft, expRight] :
         {std::tuple{"0", "0", "0", "1"}, {"1", "0", "1", "0"}, {"", "", "0", "1"}}) {
        TestState t;
        if (*left) writeSetting(t.state.settings, keys::kLeftHand, left);
        if (*right) writeSetting(t.state.settings, keys::kRightHand, right);
        prepareSettings(t.state);
        EXPECT_EQ(readSetting(t.state.settings, keys::kLeftHand), expLeft);
        EXPECT_EQ(readSetting(t.state.settings, keys::kRightHand), expRight);
    }
}

TEST(StartUp, LanguageFromSharedFile) {
    TestState t;
    std::filesystem::create_directories(t.state.locations.sharedFolder);
    writeProfileString(t.state.locations.sharedSettingsPath, "Active", "Language", "German.lan3");
    prepareSettings(t.state);
    EXPECT_EQ(readSetting(t.state.settings, keys::kLanguage), "German.lan3");
    EXPECT_NE(t.state.language.texts[7], "Exit");
}

TEST(StartUp, MissingMasterShapeLibraryIsReported) {
    TestState t;
    t.state.locations.programFolder = t.dir.path + "/noprog/";
    prepareSettings(t.state);
    auto m = t.ui.messages();
    ASSERT_FALSE(m.empty());
    EXPECT_EQ(m[0].text, "Master Shape.lib Missing");
    EXPECT_EQ(m[0].icon, MessageIcon::Error);
}

TEST(StartUp, MasterShapeLibraryIsCopied) {
    TestState t;
    std::filesystem::create_directories(t.state.locations.sharedFolder);
    writeFile(t.state.locations.sharedFolder + "shape.lib", std::string(32252, '\1'));
    prepareSettings(t.state);
    EXPECT_EQ(readSetting(t.state.settings, keys::kShapeLibrary),
              t.state.locations.userFolder + "shape.lib");
    EXPECT_EQ(readFile(t.state.locations.userFolder + "shape.lib").size(), 32252u);
}

TEST(ShutDown, ResetsByModel) {
    const struct {
        const char* model;
        const char* brand;
        const char* margins[4];
        const char* profile;
    } cases[] = {
        {"C650",
         "OKI",
         {"1301", "1301", "1301", "1296"},
         "FFFDA5A557560000FFFDA5A557560000FFFDA5A557560000"},
        {"C311W",
         "RICOH",
         {"1200", "1284", "1236", "1213"},
         "FFFFBCF4460C0000FFFFBCF4460C0000FFFFBCF4460C0000"},
        {"C711WT",
         "OKI",
         {"1296", "1296", "1296", "1307"},
         "FFFDA5A557560000FFFDA5A557560000FFFDA5A557560000"},
    };
    for (const auto& c : cases) {
        TestState t;
        t.state.target.targetModel = c.model;
        t.state.target.targetBrand = c.brand;
        writeSetting(t.state.settings, keys::kTopMargin, "5000");
        writeSetting(t.state.settings, keys::kColourAdjust, "00");
        shutDown(t.state);
        const char* keys[] = {"Top Margin", "Left Margin", "Right Margin", "Bottom Margin"};
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(t.state.settings.read("Active", keys[i]), c.margins[i]) << c.model;
        EXPECT_EQ(readSetting(t.state.settings, keys::kColourAdjust, ""), c.profile);
    }
}

// The second copy of the program ends silently; a lock left by a dead process does not block.
TEST(SingleInstance, SecondCopyRefusedStaleLockIgnored) {
    TestState t;
    int pipeFd[2];
    ASSERT_EQ(::pipe(pipeFd), 0);
    pid_t holder = ::fork();
    if (holder == 0) {
        AppState s;
        resolveFolders(s.locations);
        bool running = isAlreadyRunning(s, "Lumivane_Basic");
        char c = running ? 'r' : 'h';
        (void)!::write(pipeFd[1], &c, 1);
        ::pause();
        ::_exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(pipeFd[0], &c, 1), 1);
    EXPECT_EQ(c, 'h');
    pid_t second = ::fork();
    if (second == 0) {
        AppState s;
        resolveFolders(s.locations);
        ::_exit(isAlreadyRunning(s, "Lumivane_Basic") ? 7 : 0);
    }
    int status = 0;
    ::waitpid(second, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 7) << "the second copy sees the first";

    ::kill(holder, SIGKILL); // a crash: the lock file stays behind
    ::waitpid(holder, &status, 0);
    EXPECT_TRUE(fileExists(t.state.locations.runtimeFolder + "Lumivane_Basic.lock"));
    pid_t third = ::fork();
    if (third == 0) {
        AppState s;
        resolveFolders(s.locations);
        ::_exit(isAlreadyRunning(s, "Lumivane_Basic") ? 7 : 0);
    }
    ::waitpid(third, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a stale lock does not block the next start";
}

TEST(RunApplication, SecondInstanceEndsWithZeroAndTouchesNothing) {
    TestState t;
    pid_t child = ::fork();
    if (child == 0) {
        AppState s;
        resolveFolders(s.locations);
        isAlreadyRunning(s, "Lumivane_Basic");
        ::pause();
        ::_exit(0);
    }
    // Wait until the child holds the lock.
    for (int i = 0; i < 200 && !fileExists(t.state.locations.runtimeFolder + "Lumivane_Basic.lock");
         ++i)
        ::usleep(10000);
    ::usleep(50000);
    AppState s;
    s.ui = &t.ui;
    int windowRuns = 0;
    static int* counter;
    counter = &windowRuns;
    EXPECT_EQ(runApplication(s, [](AppState&) { return ++*counter, 0; }), 0);
    EXPECT_EQ(windowRuns, 0);
    EXPECT_TRUE(t.ui.calls.empty());
    EXPECT_FALSE(fileExists(s.locations.settingsPath));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
}

} // namespace
