// Configuration snapshots from the command line: --snapshot on an image command and
// snapshot save.
#include "settings/settings.h"
#include "tests/support/test_support.h"
#include "core/profile_file_testing.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

using namespace testsupport;

namespace {

std::map<std::string, double> layoutValues(const std::string& out) {
    std::map<std::string, double> v;
    std::istringstream in(out);
    std::string name, value;
    while (in >> name >> value)
        v[name] = std::stod(value);
    return v;
}

std::string sample() {
    return dataFolder() + "sample-artwork.png";
}

TEST(CliSnapshot, AppliedBeforeTheOptionsOnAScratchCopy) {
    TestState t;
    const std::string snap = t.dir.file("a5.scfg");
    writeFile(snap, "[Active]\r\nPaperSize=A5 SEF\r\n");
    ASSERT_EQ(runCli(t.dir, "layout " + sample()).code, 0);
    const std::string settingsBefore = readFile(t.state.locations.settingsPath);
    ASSERT_FALSE(settingsBefore.empty());
    CliRun r = runCli(t.dir, "layout " + sample() + " --snapshot " + snap);
    ASSERT_EQ(r.code, 0) << r.err;
    auto v = layoutValues(r.out);
    EXPECT_EQ(v["paperWidthPt"], 420);
    EXPECT_EQ(v["paperHeightPt"], 595);
    // The fallback margins (0.6 points) were raised to the printer's minimums.
    EXPECT_NEAR(v["printableWidthPt"], 420 - 25.92, 1e-3);
    EXPECT_NEAR(v["printableHeightPt"], 595 - 12.96 - 13.07, 1e-3);

    // A later option wins over the snapshot.
    r = runCli(t.dir, "layout " + sample() + " --snapshot " + snap + " --paper A4");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(layoutValues(r.out)["paperWidthPt"], 595);

    // The user's own settings file is untouched by either run.
    EXPECT_EQ(readFile(t.state.locations.settingsPath), settingsBefore);

    r = runCli(t.dir, "layout " + sample() + " --snapshot " + t.dir.file("missing.scfg"));
    EXPECT_EQ(r.code, 1);
    r = runCli(t.dir, "layout " + sample() + " --snapshot");
    EXPECT_EQ(r.code, 2);
}

TEST(CliSnapshot, SaveWritesTheCurrentSettings) {
    TestState t;
    const std::string out = t.dir.file("saved.scfg");
    CliRun r = runCli(t.dir, "snapshot save " + out + " --paper \"A5 SEF\"");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(readProfileString(out, "Active", "PaperSize"), "A5 SEF");
    EXPECT_EQ(readProfileString(out, "Active", "Bottom Margin"), "1307");
    EXPECT_EQ(readProfileString(out, "KYMC", "Profile"),
              "FFFDA5A557560000FFFDA5A557560000FFFDA5A557560000");

    // What was saved loads back.
    r = runCli(t.dir, "layout " + sample() + " --snapshot " + out);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(layoutValues(r.out)["paperWidthPt"], 420);

    EXPECT_EQ(runCli(t.dir, "snapshot save").code, 2);
    EXPECT_EQ(runCli(t.dir, "snapshot load " + out).code, 2);
    EXPECT_EQ(runCli(t.dir, "snapshot save " + t.dir.file("no/such/dir/x.scfg")).code, 1);
}

} // namespace
