#include "model/models.h"

#include "actions/defaults.h"
#include "settings/settings.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace testsupport;

namespace {

TEST(ModelTable, FirstContainedRowWins) {
    const struct {
        const char* target;
        const char* code;
        const char* id;
    } cases[] = {
        {"C711WT", "C711", "vid_06bc&pid_021a"}, {"PRO8432WT", nullptr, "nomodel"},
        {"C844", "C844", "vid_06bc&pid_03a4"},   {"MC363", "MC363", "vid_06bc&pid_0382"},
        {"C301W", "C301W", "vid_05ca&pid_046f"}, {"C300W", "C300W", "vid_05ca&pid_046f"},
        {"PRO9420WT", nullptr, "nomodel"},       {"m277", "M277", "vid_03f0&pid_3b2a"},
    };
    for (const auto& c : cases) {
        const PrinterModel* row = findPrinterModel(c.target);
        if (c.code) {
            ASSERT_NE(row, nullptr) << c.target;
            EXPECT_STREQ(row->modelCode, c.code);
        } else {
            EXPECT_EQ(row, nullptr) << c.target;
        }
        EXPECT_EQ(usbIdentifier(c.target), c.id);
    }
}

TEST(DefaultProfiles, BothVariantsAndLoadDefaultsRule) {
    const struct {
        const char* model;
        const char* withoutRow844;
        const char* with844;
        const char* loadDefaults;
    } cases[] = {
        {"C711WT", "OKC711P2.ICM", "OKC711P2.ICM", "OKC332P2.ICM"},
        {"C711", "OKC711P2.ICM", "OKC711P2.ICM", "OKC711P2.ICM"},
        {"C844", "OKC332P2.ICM", "OKC833P2.ICM", "OKC833P2.ICM"},
        {"C712", "OKC833P2.ICM", "OKC833P2.ICM", "OKC833P2.ICM"},
        {"C301W", "RCSPC11E1C.icm", "RCSPC11E1C.icm", "RCSPC11E1C.icm"},
        {"C251FW", "RCSPC11E1C.icm", "RCSPC11E1C.icm", "RCSPC11E1C.icm"},
        {"PRO9420WT", "OKC332P2.ICM", "OKC332P2.ICM", "OKC332P2.ICM"},
        {"XYZ", "OKC332P2.ICM", "OKC332P2.ICM", "OKC332P2.ICM"},
        {"C650", "OKC650P2.ICM", "OKC650P2.ICM", "OKC650P2.ICM"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(defaultOutputProfile(c.model, false), c.withoutRow844) << c.model;
        EXPECT_EQ(defaultOutputProfile(c.model, true), c.with844) << c.model;
        EXPECT_EQ(loadDefaultsOutputProfile(c.model), c.loadDefaults) << c.model;
    }
}

TEST(TargetPrinter, BrandFromRowAndRicohLongForms) {
    TestState t;
    const struct {
        const char* given;
        const char* model;
        const char* brand;
    } cases[] = {{"c711wt", "C711WT", "OKI"},    {"PC300W", "C300W", "RICOH"},
                 {"PC251FW", "C251FW", "RICOH"}, {"M277", "M277", "HP"},
                 {"C360", "C360", "RICOH"},      {"PRO8432WT", "PRO8432WT", "OKI"}};
    for (const auto& c : cases) {
        setTargetPrinter(t.state.target, c.given);
        EXPECT_EQ(t.state.target.targetModel, c.model);
        EXPECT_EQ(t.state.target.targetBrand, c.brand) << c.given;
    }
    writeSetting(t.state.settings, keys::kTargetModel, "C844");
    loadTargetPrinter(t.state.target, t.state.settings);
    EXPECT_EQ(t.state.target.targetModel, "C844");
    for (const auto& code : offeredModelCodes()) {
        setTargetPrinter(t.state.target, code);
        EXPECT_EQ(t.state.target.targetModel, code);
    }
}

struct UsbFixture {
    TempDir dir;
    void device(const std::string& name, const std::string& vid, const std::string& pid,
                const std::string& serial) {
        std::string base = dir.path + "/bus/usb/devices/" + name;
        std::filesystem::create_directories(base);
        writeFile(base + "/idVendor", vid + "\n");
        writeFile(base + "/idProduct", pid + "\n");
        if (!serial.empty()) writeFile(base + "/serial", serial + "\n");
    }
};

TEST(UsbPrinter, FoundByTableRowOfTheTarget) {
    UsbFixture f;
    f.device("1-1", "1d6b", "0002", "hub");
    f.device("1-2", "05CA", "046F", "RIC123");
    f.device("1-3", "06bc", "021a", "OKI777");

    UsbPrinter c301 = findUsbPrinter("C301W", f.dir.path);
    EXPECT_EQ(c301.found, "1");
    EXPECT_EQ(c301.connection, "USB");
    EXPECT_EQ(c301.modelCode, "C301W");
    EXPECT_EQ(c301.serial, "RIC123");
    EXPECT_EQ(c301.identifier, "VID_05CA&PID_046F");
    EXPECT_EQ(findUsbPrinter("C300W", f.dir.path).modelCode, "C300W");
    EXPECT_EQ(findUsbPrinter("C311W", f.dir.path).found, "");
    EXPECT_EQ(findUsbPrinter("C711WT", f.dir.path).serial, "OKI777");
    EXPECT_EQ(findUsbPrinter("PRO9420WT", f.dir.path).found, "") << "no row: nomodel";
    EXPECT_EQ(findUsbPrinter("C711WT", f.dir.path + "/missing").found, "");
}

} // namespace
