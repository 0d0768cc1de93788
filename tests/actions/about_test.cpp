// The About box's text and the hand-off socket's name.
#include "actions/about.h"

#include "actions/app_state.h"
#include "actions/startup.h"
#include "netutil/discovery.h"
#include "settings/settings.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <utime.h>
#include <unistd.h>
#include <vector>

using testsupport::TestState;
using testsupport::writeFile;

namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find("\r\n", start);
        out.push_back(text.substr(start, end - start));
        if (end == std::string::npos) return out;
        start = end + 2;
    }
}

// A language file in a program folder of its own, last written 2024-01-02 03:04:05 UTC.
struct AboutFixture {
    TestState ts;
    AboutFixture() {
        ts.state.locations.programFolder = ts.dir.file("program") + "/";
        std::filesystem::create_directories(ts.state.locations.programFolder);
        writeFile(ts.state.locations.programFolder + "German.lan3", "x");
        utimbuf times{1704164645, 1704164645};
        utime((ts.state.locations.programFolder + "German.lan3").c_str(), &times);
        setenv("TZ", "UTC", 1);
        tzset();
        std::setlocale(LC_TIME, "C");
    }
};

} // namespace

TEST(AboutText, LanguageFileWithDateReleaseAndVersion) {
    AboutFixture f;
    ASSERT_TRUE(writeSetting(f.ts.state.settings, keys::kLanguage, "German.lan3"));
    const auto got = lines(aboutText(f.ts.state, {}));
    const std::vector<std::string> want = {f.ts.state.locations.programFolder + "German.lan3",
                                           "01/02/24 03:04:05", ">>>>> Release 2.0 <<<<<<",
                                           "Program Version 2.0.0.76", "No matching printer found"};
    EXPECT_EQ(got, want);
}

TEST(AboutText, PathWithoutDetours) {
    AboutFixture f;
    ASSERT_TRUE(writeSetting(f.ts.state.settings, keys::kLanguage, "German.lan3"));
    const std::string folder = f.ts.state.locations.programFolder;
    f.ts.state.locations.programFolder = folder + "../program/./";
    EXPECT_EQ(lines(aboutText(f.ts.state, {}))[0], folder + "German.lan3");
}

TEST(AboutText, MissingLanguageFileGivesAnEmptyDate) {
    AboutFixture f;
    for (const char* language : {"Klingon.lan3", ""}) {
        ASSERT_TRUE(writeSetting(f.ts.state.settings, keys::kLanguage, language));
        const auto got = lines(aboutText(f.ts.state, {}));
        ASSERT_GE(got.size(), 2u);
        EXPECT_EQ(got[0], f.ts.state.locations.programFolder + language);
        EXPECT_EQ(got[1], "") << language;
    }
}

TEST(AboutText, QueuesOfTheTargetPrinterOnly) {
    const std::vector<SpoolerQueue> spooler = {
        {"c711wt-office", "socket://10.0.0.5:9100"},
        {"HP-LaserJet", "ipp://10.0.0.9/ipp/print"},
        {"Studio_C711WT", "usb://OKI/C711WT?serial=AK1"},
        {"C301W", "socket://10.0.0.7"},
    };
    struct Case {
        const char* model;
        std::vector<std::string> queueLines;
    } cases[] = {
        {"C711WT",
         {"Printer Name C711WT-OFFICE on socket://10.0.0.5:9100",
          "Printer Name STUDIO_C711WT on usb://OKI/C711WT?serial=AK1"}},
        {"C301W", {"Printer Name C301W on socket://10.0.0.7"}},
        {"C844", {"No matching printer found"}},
    };
    for (const Case& c : cases) {
        TestState ts;
        ts.state.target.targetModel = c.model;
        const auto got = lines(aboutText(ts.state, spooler));
        ASSERT_GE(got.size(), 4u);
        EXPECT_EQ(std::vector<std::string>(got.begin() + 4, got.end()), c.queueLines) << c.model;
    }
}

TEST(AboutText, AtMostThirtyQueues) {
    TestState ts;
    ts.state.target.targetModel = "C711WT";
    std::vector<SpoolerQueue> spooler;
    for (int i = 0; i < 40; ++i)
        spooler.push_back({"C711WT-" + std::to_string(i), "socket://10.0.0." + std::to_string(i)});
    const auto got = lines(aboutText(ts.state, spooler));
    ASSERT_EQ(got.size(), 4u + 30u);
    EXPECT_EQ(got.back(), "Printer Name C711WT-29 on socket://10.0.0.29");
}

TEST(InstanceSocket, PerUserBesideTheLock) {
    AppState state;
    state.locations.userFolder = "/home/u/.config/LumivaneB/";
    const std::string uid = std::to_string(::getuid());
    state.locations.runtimeFolder = "/run/user/7/";
    EXPECT_EQ(instanceSocketPath(state, "Lumivane_Basic"),
              "/run/user/7/Lumivane_Basic-" + uid + ".socket");
    state.locations.runtimeFolder.clear();
    EXPECT_EQ(instanceSocketPath(state, "Lumivane_Basic"),
              "/home/u/.config/LumivaneB/Lumivane_Basic-" + uid + ".socket");
}
