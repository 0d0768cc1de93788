// The command-line tool as a user runs it: exit codes, output and what it leaves on disk.
#include "settings/settings.h"
#include "tests/support/test_support.h"
#include "core/profile_file_testing.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <cstdio>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace testsupport;

namespace {

CliRun cli(TestState& t, const std::string& args) {
    return runCli(t.dir, args);
}

TEST(Cli, VersionAndUsage) {
    TestState t;
    CliRun v = cli(t, "--version");
    EXPECT_EQ(v.code, 0);
    EXPECT_EQ(v.out.rfind("printconv-cli ", 0), 0u);
    EXPECT_EQ(cli(t, "").code, 2);
    EXPECT_EQ(cli(t, "frobnicate").code, 2);
    EXPECT_EQ(cli(t, "settings get Active").code, 2);
    EXPECT_EQ(cli(t, "texts abc").code, 2);
}

// probe reads only regular files: a FIFO would block it, a device give a made-up answer.
TEST(Cli, ProbeRefusesWhatIsNoRegularFile) {
    TestState t;
    ASSERT_EQ(::mkfifo(t.dir.file("pipe.png").c_str(), 0600), 0);
    std::filesystem::create_directory(t.dir.file("folder.png"));
    for (const std::string& path :
         {t.dir.file("pipe.png"), std::string("/dev/zero"), t.dir.file("folder.png")}) {
        CliRun r = cli(t, "probe " + path);
        EXPECT_EQ(r.code, 1) << path;
        EXPECT_NE(r.err.find("cannot open " + path), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "") << path;
    }
}

TEST(Cli, SettingsGetSetThroughTheSettingsFile) {
    TestState t;
    EXPECT_EQ(cli(t, "settings set Active Unit C").code, 0);
    EXPECT_EQ(readSetting(t.state.settings, keys::kUnit, ""), "C");
    CliRun g = cli(t, "settings get active UNIT");
    EXPECT_EQ(g.code, 0);
    EXPECT_EQ(g.out, "C\n");
    EXPECT_EQ(cli(t, "settings get Active Missing").out, "\n");
}

TEST(Cli, SettingNamesThatMakeLinesAreRefused) {
    TestState t;
    ASSERT_EQ(cli(t, "settings set Active Unit C").code, 0);
    const std::string before = readFile(t.state.locations.settingsPath);
    for (const char* args : {"Active \"$(printf 'Foo\\n[INI_INF]\\nVersion')\" 0.1", "Active a=b 1",
                             "[INI_INF Version 0.1"}) {
        CliRun r = cli(t, std::string("settings set ") + args);
        EXPECT_EQ(r.code, 2) << args;
        EXPECT_NE(r.err.find("may not hold"), std::string::npos) << r.err;
    }
    EXPECT_EQ(readFile(t.state.locations.settingsPath), before);
}

TEST(Cli, FailedWriteExitsOneWithTheMessage) {
    TestState t;
    writeSetting(t.state.settings, keys::kUnit, "C");
    ::chmod(t.state.locations.settingsPath.c_str(), 0444);
    CliRun r = cli(t, "settings set Active Unit I");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Failed to write to:- "), std::string::npos);
    EXPECT_NE(r.err.find("Error 5 - Access denied (read only?)"), std::string::npos);
    EXPECT_EQ(readSetting(t.state.settings, keys::kUnit, ""), "C");
}

TEST(Cli, TextsFollowTheLanguageInEffect) {
    TestState t;
    CliRun en = cli(t, "texts 41");
    EXPECT_EQ(en.code, 0);
    EXPECT_EQ(en.out, "<<<<<    Sent to Printer   >>>>>\n");
    EXPECT_EQ(cli(t, "texts 132").out,
              "Unable to Copy,\nPlease run with administrator permissions\n");
    EXPECT_EQ(cli(t, "texts 5000").code, 1);

    std::filesystem::create_directories(t.state.locations.sharedFolder);
    writeProfileString(t.state.locations.sharedSettingsPath, "Active", "Language", "German.lan3");
    CliRun de = cli(t, "texts 7");
    EXPECT_EQ(de.code, 0);
    EXPECT_NE(de.out, "Exit\n");
    EXPECT_EQ(readSetting(t.state.settings, keys::kLanguage), "German.lan3");
}

} // namespace
