// The image and job commands of the command-line tool, run as a user runs them.
#include "settings/settings.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <filesystem>
#include <unistd.h>
#include <cstdio>
#include <map>
#include <sstream>
#include <sys/wait.h>

using namespace testsupport;

namespace {

CliRun cli(TestState& t, const std::string& args) {
    return runCli(t.dir, args, "SOURCE_DATE_EPOCH=1700000000");
}

std::string sample() {
    return dataFolder() + "sample-artwork.png";
}

std::map<std::string, double> layoutValues(const std::string& out) {
    std::map<std::string, double> v;
    std::istringstream in(out);
    std::string name, value;
    while (in >> name >> value)
        v[name] = std::stod(value);
    return v;
}

TEST(CliImage, LayoutFollowsTheOptions) {
    TestState t;
    CliRun a4 = cli(t, "layout " + sample());
    ASSERT_EQ(a4.code, 0) << a4.err;
    auto v = layoutValues(a4.out);
    for (const char* name :
         {"across", "down", "copySpacingX", "copySpacingY", "imagePosX", "imagePosY",
          "placedWidthPt", "placedHeightPt", "zoom", "printableWidthPt", "printableHeightPt",
          "paperWidthPt", "paperHeightPt"})
        EXPECT_EQ(v.count(name), 1u) << name;
    EXPECT_EQ(v["paperWidthPt"], 595);
    EXPECT_EQ(v["paperHeightPt"], 842);
    // 900 x 600 pixels at 300 dpi, wider than tall: turned, 144 x 216 points.
    EXPECT_NEAR(v["placedWidthPt"], 144.0, 0.01);
    EXPECT_NEAR(v["placedHeightPt"], 216.0, 0.01);

    auto a5 = layoutValues(cli(t, "layout " + sample() + " --paper \"A5 SEF\" --no-rotate").out);
    EXPECT_EQ(a5["paperWidthPt"], 420);
    EXPECT_NEAR(a5["placedWidthPt"], 216.0, 0.01);

    auto grid = layoutValues(cli(t, "layout " + sample() + " --xcopies 2 --ycopies 3").out);
    EXPECT_EQ(grid["across"], 2);
    EXPECT_EQ(grid["down"], 3);

    auto wide = layoutValues(cli(t, "layout " + sample() + " --no-rotate --width 100").out);
    EXPECT_NEAR(wide["placedWidthPt"], 100 * 72 / 25.4, 0.05);
}

TEST(CliImage, RunsChangeNoStoredSetting) {
    TestState t;
    ASSERT_EQ(cli(t, "texts 0").code, 0); // first run: the settings file is created
    const std::string before = readFile(t.state.locations.settingsPath);
    ASSERT_FALSE(before.empty());
    CliRun r =
        cli(t, "layout " + sample() + " --crop --printer C844 --media \"Transfer media 13\"" +
                   " --profile-out " + dataFolder() + "OKC833P2.ICM --paper A3");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(readFile(t.state.locations.settingsPath), before);
}

// A run's options live in memory only: they need no scratch copy of the settings, so a
// temporary folder that cannot be used stops nothing, and they never reach the stored file.
TEST(CliImage, OptionsNeedNoScratchCopyAndAreNeverStored) {
    TestState t;
    ASSERT_EQ(cli(t, "texts 0").code, 0);
    const std::string before = readFile(t.state.locations.settingsPath);
    ASSERT_FALSE(before.empty());
    writeFile(t.dir.file("plain-file"), "x");
    const std::string out = t.dir.file("out.prn");
    const std::string commands[] = {
        "job " + sample() + " --crop --printer C844 --paper A3 --profile-out " + dataFolder() +
            "OKC833P2.ICM -o " + out,
        "mask " + sample() + " --printer C844 --pattern-size 3 3 -o " + out,
        "snapshot save " + out + " --printer C844 --paper A3",
    };
    for (const std::string& command : commands)
        for (const std::string& tmp : {t.dir.file("missing"), t.dir.file("plain-file")}) {
            std::filesystem::remove(out);
            CliRun r = runCli(t.dir, command, "TMPDIR=" + tmp);
            EXPECT_EQ(r.code, 0) << command << " " << tmp << ": " << r.err;
            EXPECT_EQ(readFile(t.state.locations.settingsPath), before) << command << " " << tmp;
            EXPECT_TRUE(fileExists(out)) << command;
        }
}

// Ctrl-C or SIGTERM in the middle of a run removes the scratch settings and the copy of the
// picture from the temporary folder.
TEST(CliImage, StoppedRunLeavesNoTemporaryFolders) {
    TestState t;
    const std::string big = t.dir.file("big.png");
    ASSERT_EQ(
        std::system(("convert -size 3000x3000 gradient:red-blue " + big + " 2>/dev/null").c_str()),
        0);
    const std::string tmp = t.dir.file("tmp");
    std::filesystem::create_directories(tmp);
    for (const int sig : {SIGTERM, SIGINT}) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv("TMPDIR", tmp.c_str(), 1);
            const std::string bin = std::string(PRINTCONV_BINARY_DIR) + "/bin/printconv-cli";
            const std::string out = t.dir.file("out.prn");
            ::execl(bin.c_str(), bin.c_str(), "job", big.c_str(), "-o", out.c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Wait until the picture's copy is being decoded, then stop the run.
        bool loading = false;
        for (int i = 0; i < 20000 && !loading; ++i) {
            for (const auto& e : std::filesystem::directory_iterator(tmp))
                loading = loading || e.path().filename().string().rfind("printconv-load-", 0) == 0;
            if (!loading) ::usleep(500);
        }
        EXPECT_TRUE(loading);
        ::kill(pid, sig);
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
        std::string left;
        for (const auto& e : std::filesystem::recursive_directory_iterator(tmp))
            left += " " + e.path().string();
        EXPECT_TRUE(left.empty()) << "left after signal " << sig << ":" << left;
    }
}

TEST(CliImage, BadOptionsAndInputs) {
    TestState t;
    EXPECT_EQ(cli(t, "layout").code, 2);
    EXPECT_EQ(cli(t, "layout " + sample() + " --brightness 500").code, 2);
    EXPECT_EQ(cli(t, "layout " + sample() + " --align middle").code, 2);
    EXPECT_EQ(cli(t, "layout " + sample() + " --colour-adjust 12").code, 2);
    EXPECT_EQ(cli(t, "layout " + sample() + " --bogus").code, 2);
    EXPECT_EQ(cli(t, "job " + sample()).code, 2) << "no output file";
    EXPECT_EQ(cli(t, "layout " + sample() + " --media \"No such medium\"").code, 1);
    EXPECT_EQ(cli(t, "layout " + sample() + " --printer C301W --paper A3").code, 1)
        << "A3 is not offered for the second family";
    writeFile(t.dir.file("broken.png"), "\x89PNG\r\n\x1a\nnot really");
    CliRun broken = cli(t, "layout " + t.dir.file("broken.png"));
    EXPECT_EQ(broken.code, 1);
    EXPECT_FALSE(broken.err.empty());
    EXPECT_EQ(cli(t, "layout " + t.dir.file("missing.png")).code, 1);
}

// Values an option does not take are refused with a message naming the option and what it
// takes; layouts that would cut or overlap copies, and papers whose margins are negative, are
// refused rather than printed wrongly.
TEST(CliImage, OptionValuesOutsideTheirRangeAreRefused) {
    TestState t;
    struct Case {
        const char* args;
        int code;
        const char* says;
    };
    const Case cases[] = {
        {"--copies -1", 2, "--copies takes a whole number from 1 to 99"},
        {"--copies 0", 2, "--copies takes a whole number from 1 to 99"},
        {"--copies NaN", 2, "--copies takes"},
        {"--copies 0x10", 2, "--copies takes"},
        {"--copies '1;x'", 2, "--copies takes"},
        {"--copies 100", 2, "--copies takes"},
        {"--xcopies 0", 2, "--xcopies takes a whole number from 1 to 10000"},
        {"--ycopies abc", 2, "--ycopies takes"},
        {"--fixed-spacing nan", 2, "--fixed-spacing takes millimetres from 0 to 100"},
        {"--fixed-spacing 1000", 2, "--fixed-spacing takes"},
        {"--width -5", 2, "--width takes a length above 0 and at most 10000"},
        {"--width 1e30", 2, "--width takes"},
        {"--width NaN", 2, "--width takes"},
        {"--height 0", 2, "--height takes"},
        {"--printer NOSUCHPRINTER", 2, "--printer takes one of: C711WT"},
        {"--tray bogus", 1, "--tray takes one of: AUTO"},
        {"--paper bogus", 1, "the paper \"bogus\" is not offered"},
        {"--xcopies 50 --ycopies 3", 1, "do not fit the sheet"},
        {"--xcopies 3 --no-rotate", 1, "do not fit the sheet"},
        {"--paper Neg", 1, "margins of the paper \"Neg\" are negative"},
    };
    ASSERT_EQ(cli(t, "settings set Papers Number 1").code, 0);
    ASSERT_EQ(cli(t, "settings set Papers Custom1 'Neg^300^400^0^-50^-50^-50^-50'").code, 0);
    for (const Case& c : cases) {
        CliRun r = cli(t, "layout " + sample() + " " + c.args);
        EXPECT_EQ(r.code, c.code) << c.args;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args << ": " << r.err;
        EXPECT_TRUE(r.out.empty()) << c.args;
    }
    // What they take still works, in every spelling the window accepts.
    for (const char* ok : {"--copies 99 --xcopies 2 --ycopies 3", "--printer pc300w --copies 1",
                           "--width 50.5 --height 20", "--fixed-spacing 0 --xcopies 2",
                           "--tray 'Tray 1'", "--auto-tile --xcopies 50"}) {
        CliRun r = cli(t, "layout " + sample() + " " + ok);
        EXPECT_EQ(r.code, 0) << ok << ": " << r.err;
    }
}

TEST(CliImage, SeparateAndJobAgree) {
    TestState t;
    CliRun sep = cli(t, "separate " + sample() + " -o " + t.dir.file("sep.bin"));
    ASSERT_EQ(sep.code, 0) << sep.err;
    int w = 0, h = 0;
    std::istringstream(sep.out) >> w >> h;
    EXPECT_EQ(w, 600) << "turned picture";
    EXPECT_EQ(h, 900);
    EXPECT_EQ(readFile(t.dir.file("sep.bin")).size(), static_cast<std::size_t>(w) * h * 5);

    ASSERT_EQ(cli(t, "job " + sample() + " -o " + t.dir.file("a.prn")).code, 0);
    ASSERT_EQ(cli(t, "job " + sample() + " -o " + t.dir.file("b.prn")).code, 0);
    const std::string a = readFile(t.dir.file("a.prn"));
    EXPECT_EQ(a, readFile(t.dir.file("b.prn"))) << "equal inputs give identical jobs";
    EXPECT_EQ(a.rfind("%!PS-Adobe-3.0", 0), 0u);

    ASSERT_EQ(cli(t, "job " + sample() + " --printer C301W -o " + t.dir.file("r.prn")).code, 0);
    const std::string r = readFile(t.dir.file("r.prn"));
    EXPECT_EQ(r.rfind("\x1b%-12345X", 0), 0u) << "the second family's job is PJL-framed";

    ASSERT_EQ(cli(t, "blank -o " + t.dir.file("blank.prn")).code, 0);
    const std::string blank = readFile(t.dir.file("blank.prn"));
    ASSERT_GE(blank.size(), 2u);
    EXPECT_EQ(blank.substr(blank.size() - 2), "\x04\x04");
}

// A picture that cannot be written whole (a full disk, here /dev/full) is a failed run.
TEST(CliImage, FailedPictureWriteIsAFailure) {
    TestState t;
    for (const char* command : {"preview ", "proof "}) {
        CliRun r = cli(t, command + sample() + " -o /dev/full");
        EXPECT_EQ(r.code, 1) << command;
        EXPECT_NE(r.err.find("/dev/full"), std::string::npos) << r.err;
    }
}

TEST(CliImage, PreviewAndProofPictures) {
    TestState t;
    ASSERT_EQ(
        cli(t, "preview " + sample() + " --preview-size 200x283 -o " + t.dir.file("p.png")).code,
        0);
    EXPECT_EQ(readFile(t.dir.file("p.png")).substr(1, 3), "PNG");
    CliRun proof = cli(t, "proof " + sample() + " -o " + t.dir.file("proof.png"));
    ASSERT_EQ(proof.code, 0) << proof.err;
    EXPECT_EQ(readFile(t.dir.file("proof.png")).substr(1, 3), "PNG");
}

} // namespace
