// The "Select Printer" box: which discovery entries it offers and which one it selects.
#include "actions/printer_box.h"

#include "settings/settings.h"
#include "tests/support/test_support.h"

#include <cups/cups.h>
#include <gtest/gtest.h>

using testsupport::TestState;

namespace {

PrinterListEntry entry(std::string name, std::string serial) {
    return PrinterListEntry{std::move(name), {}, {}, std::move(serial)};
}

TEST(PrinterBox, PrefixSearchIgnoresCase) {
    const std::vector<std::string> items = {"OKI_C711WT_OFFICE", "OKI_C711WT_LAB",
                                            "OKI_C711WT_LAB2"};
    EXPECT_EQ(findItemPrefix(items, "oki_c711wt_lab"), 1);
    EXPECT_EQ(findItemPrefix(items, "OKI_C711WT_LAB2"), 2);
    EXPECT_EQ(findItemPrefix(items, "OKI_C711WT"), 0);
    EXPECT_EQ(findItemPrefix(items, "OKI_C711WT_LAB22"), -1);
    EXPECT_EQ(findItemPrefix(items, "LAB"), -1);
    EXPECT_EQ(findItemPrefix(items, ""), -1);
    EXPECT_EQ(findItemPrefix({}, "X"), -1);
}

TEST(PrinterBox, OffersAnsweringQueuesOfTheModel) {
    TestState ts;
    ts.state.target.targetModel = "C711WT";
    const std::vector<PrinterListEntry> entries = {
        entry("OKI_C711WT_A", "AK1"),
        entry("OKI_C844_B", "AK2"), // another model
        entry("OKI_C711WT_C", ""),  // no serial number: not offered
        entry("OKI_C711WT_D", "AK3"),
    };
    PrinterBoxContents box = printerBoxFromEntries(printerBoxRequest(ts.state), entries);
    EXPECT_EQ(box.items, (std::vector<std::string>{"OKI_C711WT_A", "OKI_C711WT_D"}));
    EXPECT_EQ(box.selected, 0);
}

// A print server that does not answer is said on the status line: the empty box would
// otherwise look like a system without printers.
TEST(PrinterBox, UnreachableServerIsSaidOnTheStatusLine) {
    TestState ts;
    ts.state.target.targetModel = "C711WT";
    cupsSetServer(ts.dir.file("no-such-cupsd.sock").c_str());
    const PrinterBoxContents box = listPrinterBox(printerBoxRequest(ts.state));
    cupsSetServer(nullptr);
    EXPECT_TRUE(box.items.empty());
    EXPECT_NE(box.problem.find("cannot be reached"), std::string::npos) << box.problem;
    applyPrinterBox(ts.state, box);
    EXPECT_EQ(ts.state.window.statusText, box.problem);
    ASSERT_FALSE(ts.ui.calls.empty());
    EXPECT_EQ(ts.ui.calls.back().kind, "status");
    EXPECT_EQ(ts.ui.calls.back().text, box.problem);
}

TEST(PrinterBox, SavedPrinterDecidesTheSelection) {
    TestState ts;
    ts.state.target.targetModel = "C844";
    const std::vector<PrinterListEntry> entries = {entry("OKI_C844_FRONT", "1"),
                                                   entry("OKI_C844_BACK", "2")};
    struct Case {
        const char* saved;
        int selected;
    };
    for (const Case c : {Case{"", 0}, Case{"OKI_C844_BACK", 1}, Case{"oki_c844_b", 1},
                         Case{"OKI_C844_GONE", 0}, Case{"OKI_C844", 0}}) {
        ASSERT_TRUE(writeSetting(ts.state.settings, keys::kPrinter, c.saved));
        EXPECT_EQ(printerBoxFromEntries(printerBoxRequest(ts.state), entries).selected, c.selected)
            << c.saved;
    }
    // An empty box has no selection, whatever was saved.
    EXPECT_EQ(printerBoxFromEntries(printerBoxRequest(ts.state), {}).selected, -1);
}

TEST(PrinterBox, AtMostTenEntriesAreLookedAt) {
    TestState ts;
    std::vector<PrinterListEntry> entries;
    for (int i = 0; i < 12; ++i)
        entries.push_back(entry("OKI_C711WT_" + std::to_string(i), "S"));
    PrinterBoxContents box = printerBoxFromEntries(printerBoxRequest(ts.state), entries);
    ASSERT_EQ(box.items.size(), 10u);
    EXPECT_EQ(box.items.back(), "OKI_C711WT_9");
}

TEST(PrinterBox, ApplyCopiesItemsAndChoice) {
    TestState ts;
    PrinterBoxContents box{{"A", "B"}, 1, {}};
    applyPrinterBox(ts.state, box);
    EXPECT_EQ(ts.state.window.printerList, box.items);
    EXPECT_EQ(ts.state.window.printerChoice, "B");
    applyPrinterBox(ts.state, PrinterBoxContents{});
    EXPECT_TRUE(ts.state.window.printerList.empty());
    EXPECT_EQ(ts.state.window.printerChoice, "");
}

} // namespace
