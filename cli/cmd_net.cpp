// printconv-cli queues and status: queue discovery and the SNMP readout of a printer.
#include "actions/app_state.h"
#include "core/strings.h"
#include "cli/commands.h"
#include "netutil/discovery.h"
#include "netutil/snmp.h"
#include "printer/cups_connection.h"
#include "model/models.h"
#include "actions/printer_box.h"

#include <charconv>
#include <cstdio>
#include <string>

namespace {

constexpr std::size_t kMaxShownBytes = 256;

// Shared options: the ports and the sysfs root exist so the tool can be pointed at private
// services and fixture trees.
bool parsePort(const std::string& text, int& port) {
    int v = 0;
    auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size() || v <= 0 || v > 65535)
        return false;
    port = v;
    return true;
}

bool takeCommonOption(const CliArgs& args, std::size_t& i, DiscoveryOptions& o, bool& bad) {
    const std::string& a = args[i];
    if (a != "--snmp-port" && a != "--web-port" && a != "--sysfs") return false;
    if (i + 1 >= args.size()) {
        bad = true;
        return true;
    }
    const std::string& v = args[++i];
    if (a == "--sysfs")
        o.sysfsRoot = v;
    else if (!parsePort(v, a == "--snmp-port" ? o.ports.snmp : o.ports.web))
        bad = true;
    return true;
}

// One field a line: control characters would break the line structure or drive the
// terminal, and a printer may answer with kilobytes.
std::string printable(const std::string& s) {
    return printableText(s, kMaxShownBytes);
}

void field(const char* caption, const std::string& value) {
    std::string line = std::string(caption) + ": " + printable(value) + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
}

} // namespace

int cliQueues(AppState& state, const CliArgs& args) {
    DiscoveryOptions o;
    bool brand = false, bad = false;
    for (std::size_t i = 0; i < args.size() && !bad; ++i) {
        if (takeCommonOption(args, i, o, bad)) continue;
        if (args[i] == "--brand") {
            brand = true;
        } else if (args[i] == "--printer" && i + 1 < args.size()) {
            setTargetPrinter(state.target, args[++i]);
        } else {
            bad = true;
        }
    }
    if (bad) return 2;
    // An empty list must mean "no queues", never "no server".
    if (std::string reason; !cupsServerAnswers(reason)) {
        std::fprintf(stderr, "printconv-cli: %s\n", reason.c_str());
        return 1;
    }
    if (brand) {
        for (const auto& e :
             listPrinterQueues(state.target, QueueListKind::NetworkUtility, nullptr, o))
            std::printf("%s\t%s\t%s\n", printable(e.queueName).c_str(),
                        printable(e.column1).c_str(), printable(e.serial).c_str());
        return 0;
    }
    const PrinterBoxContents box = listPrinterBox(printerBoxRequest(state), o);
    if (box.selected >= 0)
        std::printf("* %s\n", printable(box.items[static_cast<std::size_t>(box.selected)]).c_str());
    for (std::size_t i = 0; i < box.items.size(); ++i)
        if (static_cast<int>(i) != box.selected)
            std::printf("%s\n", printable(box.items[i]).c_str());
    return 0;
}

int cliStatus(AppState& state, const CliArgs& args) {
    DiscoveryOptions o;
    bool details = false, bad = false;
    std::string address;
    bool haveAddress = false;
    for (std::size_t i = 0; i < args.size() && !bad; ++i) {
        if (takeCommonOption(args, i, o, bad)) continue;
        if (args[i] == "--details")
            details = true;
        else if (!haveAddress && (args[i].empty() || args[i][0] != '-'))
            address = args[i], haveAddress = true;
        else
            bad = true;
    }
    if (bad || !haveAddress) return 2;

    PrinterReadout r;
    r.ipAddress = address.empty() ? "??" : address;
    const int found = readPrinterDetails(r, r.ipAddress, !details, o.ports, state.ui);
    field("IP Address", r.ipAddress);
    field("Address Method", r.addressMethod);
    field("Serial Number", r.serialNumber);
    field("Status", r.status);
    field("Page Count", r.pageCount);
    field("Tray 1", r.tray1);
    field("MP Tray", r.mpTray);
    static const char* const toner[] = {"Toner 1", "Toner 2", "Toner 3", "Toner 4"};
    static const char* const drum[] = {"Image Drum 1", "Image Drum 2", "Image Drum 3",
                                       "Image Drum 4"};
    for (std::size_t c = 0; c < 4; ++c)
        field(toner[c], r.toner[c]);
    for (std::size_t c = 0; c < 4; ++c)
        field(drum[c], r.drum[c]);
    field("Fuser Remaining", r.fuser);
    field("Transfer Belt", r.transferBelt);
    return found == 0 ? 0 : 1;
}
