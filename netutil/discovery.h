// Finding the target printer's queues through the print spooler (CUPS): each queue's device
// URI gives the printer's address, SNMP confirms that the printer answers and gives its
// serial number. The network is never scanned.
#pragma once

#include "core/state.h"
#include "netutil/snmp.h"

#include <string>
#include <string_view>
#include <vector>

class ProgressSink;
struct UserInterface;

// One entry of a discovery pass.
struct PrinterListEntry {
    std::string queueName; // column 0: the queue name in upper case
    std::string column1;   // network: printer address; USB: the device URI (contains "usb")
    std::string column2;   // network: printer address; USB: empty
    std::string serial;    // column 3: serial number (USB: of the attached printer, or empty)
};

// A pass holds at most this many entries; further queues are ignored.
inline constexpr int kMaxPrinterEntries = 30;
// The printer box takes at most this many.
inline constexpr int kMaxPrinterBoxEntries = 10;

// One queue of the spooler as discovery sees it.
struct SpoolerQueue {
    std::string name;
    std::string deviceUri; // empty when the queue has none (a class, for example)
};

// The spooler's queues (local queues, classes and connections) in the spooler's order, from
// the CUPS server libcups is set up for. Empty when the server cannot be reached.
std::vector<SpoolerQueue> spoolerQueues();

// How a device URI reaches its printer.
enum class PortKind {
    Network, // socket, ipp, ipps, lpd, http, https: the URI's host is the address
    Usb,     // usb
    DnsSd,   // dnssd: takes the place of a WSD port
    Other,   // anything else, or no URI
};
PortKind portKind(std::string_view deviceUri);

// The host a network device URI names, exactly as written (a host name stays a name);
// empty for other kinds, a URI without host or one that cannot be parsed.
std::string resolveQueueAddress(std::string_view deviceUri);

// The address of a dnssd device URI: its host when that is a dotted IPv4 address or a plain
// host name the system resolver turns into one; "not found" when the host is a DNS-SD service
// instance name, is missing or does not resolve; empty for other kinds of URI. On success
// the status line shows "WSD >> " and the address (through ui when given).
std::string resolveDnssdAddress(std::string_view deviceUri, UserInterface* ui = nullptr);

// True when text has exactly three '.' and consists only of ".0123456789".
bool passesAddressTest(std::string_view text);

// True when a column 1 text marks a USB entry (contains any of "UuSs").
bool isUsbColumn(std::string_view column1);

// Which caller a pass serves.
enum class QueueListKind {
    PrinterBox,     // filter = target model; only queue name and serial, at most 10 entries
    NetworkUtility, // filter = first word of the target brand; all four columns
};

// Where and how discovery reaches printers; the defaults are the real ones.
struct DiscoveryOptions {
    NetPorts ports;
    std::string sysfsRoot = "/sys";
    // Checked before each queue is asked: a cancel ends the pass with what was found so far.
    const ProgressSink* progress = nullptr;
    // Where the probes say what they do (the status line, the wait before a device answers,
    // an OID that cannot be read); null: nowhere.
    UserInterface* ui = nullptr;
};

// The lists of the network utility window and its value boxes.
struct NetworkUtilityView {
    std::vector<std::string> printerList; // queue names
    std::vector<std::string> addressList; // column 1 of each entry, index-aligned
    int selected = -1;
    bool detailsEnabled = true;
    PrinterReadout readout;
};

// The discovery pass over the given queues in their order: filter by name, address from the
// device URI, USB entries through findUsbPrinter, SNMP probe (mode 3 for dnssd), serial
// number. With a window (network utility only) the probe texts go to its boxes, and at the
// end its lists are filled, the first entry selected and its brief readout (or USB view) run.
std::vector<PrinterListEntry> listPrinterQueues(const TargetPrinter& target, QueueListKind kind,
                                                NetworkUtilityView* window,
                                                const std::vector<SpoolerQueue>& queues,
                                                const DiscoveryOptions& options = {});
// The same over spoolerQueues().
std::vector<PrinterListEntry> listPrinterQueues(const TargetPrinter& target, QueueListKind kind,
                                                NetworkUtilityView* window = nullptr,
                                                const DiscoveryOptions& options = {});

// The USB view of the utility window: serial number (for a Ricoh target its model code),
// "OnLine"/"OffLine", and "----" in every counter and consumable box.
void showUsbPrinterStatus(const TargetPrinter& target, PrinterReadout& readout,
                          const std::string& sysfsRoot = "/sys");
