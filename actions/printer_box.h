// The main window's "Select Printer" box: the target printer's queues that answer with a
// serial number, and the queue saved as "Printer" preselected.
#pragma once

#include "netutil/discovery.h"

#include <string>
#include <string_view>
#include <vector>

struct AppState;

// What the box shows: its items in order and the selected index (-1 = no selection).
struct PrinterBoxContents {
    std::vector<std::string> items;
    int selected = -1;
    // Why the box is empty when the print server does not answer; empty otherwise.
    std::string problem;
};

// Index of the first item that begins with prefix, compared without regard to case (the list
// box's prefix search); -1 when none does or prefix is empty.
int findItemPrefix(const std::vector<std::string>& items, std::string_view prefix);

// What the printer box's filling reads, copied from the state on the window's thread: the
// target printer and the settings file (for the saved "Printer"), never the picture. The
// filling runs on a worker with this alone.
struct PrinterBoxRequest {
    TargetPrinter target;
    std::string settingsPath;
};
PrinterBoxRequest printerBoxRequest(const AppState& state);

// Fills the box from the given discovery entries: entries with a serial number whose queue
// name contains the target model code, at most 10; then selects the saved "Printer" of
// section "Active" by prefix search, or item 1 when it is missing or not offered.
PrinterBoxContents printerBoxFromEntries(const PrinterBoxRequest& request,
                                         const std::vector<PrinterListEntry>& entries);

// The whole filling: a printer-box discovery pass over the spooler's queues, then
// printerBoxFromEntries; an empty box whose print server does not answer carries the reason.
// Touches no state and shows nothing: it may run on any thread.
PrinterBoxContents listPrinterBox(const PrinterBoxRequest& request,
                                  const DiscoveryOptions& options = {});

// Puts the contents into the state's printer box fields (printerList, printerChoice); a
// problem goes to the status line, so an empty box never looks like a system without queues.
void applyPrinterBox(AppState& state, const PrinterBoxContents& box);
