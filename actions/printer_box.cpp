#include "actions/printer_box.h"

#include "actions/app_state.h"
#include "core/strings.h"
#include "core/ui.h"
#include "printer/cups_connection.h"
#include "settings/settings.h"

#include <cctype>

int findItemPrefix(const std::vector<std::string>& items, std::string_view prefix) {
    if (prefix.empty()) return -1;
    const std::string p = upperAscii(prefix);
    for (std::size_t i = 0; i < items.size(); ++i)
        if (upperAscii(items[i]).compare(0, p.size(), p) == 0) return static_cast<int>(i);
    return -1;
}

PrinterBoxContents printerBoxFromEntries(const PrinterBoxRequest& request,
                                         const std::vector<PrinterListEntry>& entries) {
    PrinterBoxContents box;
    const std::string filter = upperAscii(request.target.targetModel);
    for (std::size_t i = 0; i < entries.size() && i < kMaxPrinterBoxEntries; ++i) {
        const auto& e = entries[i];
        if (!e.serial.empty() && upperAscii(e.queueName).find(filter) != std::string::npos)
            box.items.push_back(e.queueName);
    }
    if (box.items.empty()) return box;
    const std::string saved = readSetting(ProfileFile(request.settingsPath), keys::kPrinter);
    int found = saved.empty() ? -1 : findItemPrefix(box.items, saved);
    box.selected = found >= 0 ? found : 0;
    return box;
}

PrinterBoxContents listPrinterBox(const PrinterBoxRequest& request,
                                  const DiscoveryOptions& options) {
    PrinterBoxContents box = printerBoxFromEntries(
        request, listPrinterQueues(request.target, QueueListKind::PrinterBox, nullptr, options));
    if (std::string reason; box.items.empty() && !cupsServerAnswers(reason)) box.problem = reason;
    return box;
}

void applyPrinterBox(AppState& state, const PrinterBoxContents& box) {
    state.window.printerList = box.items;
    state.window.printerChoice =
        box.selected >= 0 && box.selected < static_cast<int>(box.items.size())
            ? box.items[static_cast<std::size_t>(box.selected)]
            : std::string();
    if (box.problem.empty()) return;
    state.window.statusText = box.problem;
    if (state.ui) state.ui->showStatus(box.problem);
}

PrinterBoxRequest printerBoxRequest(const AppState& state) {
    return {state.target, state.locations.settingsPath};
}
