#include "netutil/discovery.h"

#include "core/progress.h"
#include "core/strings.h"
#include "core/ui.h"
#include "printer/cups_connection.h"
#include "model/models.h"

#include <cups/cups.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>

namespace {

struct UriParts {
    bool ok = false;
    std::string scheme; // lower case
    std::string host;
};

UriParts splitUri(std::string_view uri) {
    UriParts out;
    if (uri.empty() || uri.size() > 4096) return out;
    const std::string text(uri);
    char scheme[64], user[256], host[1024], resource[4096];
    int port = 0;
    http_uri_status_t st =
        httpSeparateURI(HTTP_URI_CODING_ALL, text.c_str(), scheme, sizeof scheme, user, sizeof user,
                        host, sizeof host, &port, resource, sizeof resource);
    if (st < HTTP_URI_STATUS_OK) {
        // Still tell the kind apart when only the host is bad.
        std::size_t colon = text.find(':');
        if (colon != std::string::npos) out.scheme = lowerAscii(text.substr(0, colon));
        return out;
    }
    out.ok = true;
    out.scheme = lowerAscii(scheme);
    out.host = host;
    return out;
}

bool isServiceInstanceName(std::string_view host) {
    const std::string h = lowerAscii(host);
    return h.find("._tcp") != std::string::npos || h.find("._udp") != std::string::npos;
}

std::string firstWord(std::string_view s) {
    std::size_t sp = s.find(' ');
    return std::string(s.substr(0, sp));
}

} // namespace

std::vector<SpoolerQueue> spoolerQueues() {
    std::vector<SpoolerQueue> out;
    // A connection of our own: the call may run on a worker thread, and a cached default
    // connection could belong to a server that has gone since.
    http_t* http = openCupsConnection();
    if (!http) return out;
    cups_dest_t* dests = nullptr;
    int n = cupsGetDests2(http, &dests);
    for (int i = 0; i < n; ++i) {
        // Instances ("queue/instance") are option sets of the same queue, not queues.
        if (dests[i].instance) continue;
        SpoolerQueue q;
        q.name = dests[i].name ? dests[i].name : "";
        const char* uri = cupsGetOption("device-uri", dests[i].num_options, dests[i].options);
        if (uri) q.deviceUri = uri;
        if (!q.name.empty()) out.push_back(std::move(q));
    }
    cupsFreeDests(n, dests);
    httpClose(http);
    return out;
}

PortKind portKind(std::string_view deviceUri) {
    const UriParts p = splitUri(deviceUri);
    if (p.scheme == "socket" || p.scheme == "ipp" || p.scheme == "ipps" || p.scheme == "lpd" ||
        p.scheme == "http" || p.scheme == "https")
        return PortKind::Network;
    if (p.scheme == "usb") return PortKind::Usb;
    if (p.scheme == "dnssd") return PortKind::DnsSd;
    return PortKind::Other;
}

std::string resolveQueueAddress(std::string_view deviceUri) {
    if (portKind(deviceUri) != PortKind::Network) return {};
    const UriParts p = splitUri(deviceUri);
    return p.ok ? p.host : std::string();
}

std::string resolveDnssdAddress(std::string_view deviceUri, UserInterface* ui) {
    if (portKind(deviceUri) != PortKind::DnsSd) return {};
    const UriParts p = splitUri(deviceUri);
    if (!p.ok || p.host.empty() || isServiceInstanceName(p.host)) return "not found";
    std::string address;
    if (passesAddressTest(p.host)) {
        address = p.host;
    } else {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* list = nullptr;
        if (getaddrinfo(p.host.c_str(), nullptr, &hints, &list) != 0 || !list) return "not found";
        char buf[INET_ADDRSTRLEN] = {};
        const auto* sin = reinterpret_cast<const sockaddr_in*>(list->ai_addr);
        if (inet_ntop(AF_INET, &sin->sin_addr, buf, sizeof buf)) address = buf;
        freeaddrinfo(list);
        if (address.empty()) return "not found";
    }
    if (ui) ui->showStatus("WSD >> " + address);
    return address;
}

bool passesAddressTest(std::string_view text) {
    if (std::count(text.begin(), text.end(), '.') != 3) return false;
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return c == '.' || (c >= '0' && c <= '9'); });
}

bool isUsbColumn(std::string_view column1) {
    return column1.find_first_of("UuSs") != std::string_view::npos;
}

void showUsbPrinterStatus(const TargetPrinter& target, PrinterReadout& readout,
                          const std::string& sysfsRoot) {
    const UsbPrinter usb = findUsbPrinter(target.targetModel, sysfsRoot);
    if (isSecondFamily(target))
        readout.serialNumber = target.targetModel;
    else
        readout.serialNumber = printerText(usb.serial);
    readout.status = usb.found == "1" ? "OnLine" : "OffLine";
    const std::string dashes = "----";
    readout.pageCount = readout.tray1 = readout.mpTray = readout.addressMethod = dashes;
    readout.fuser = readout.transferBelt = dashes;
    readout.toner.fill(dashes);
    readout.drum.fill(dashes);
}

std::vector<PrinterListEntry> listPrinterQueues(const TargetPrinter& target, QueueListKind kind,
                                                NetworkUtilityView* window,
                                                const std::vector<SpoolerQueue>& queues,
                                                const DiscoveryOptions& options) {
    const bool box = kind == QueueListKind::PrinterBox;
    if (box) window = nullptr;
    const std::string filter =
        box ? upperAscii(target.targetModel) : upperAscii(firstWord(target.targetBrand));
    const std::size_t limit = box ? kMaxPrinterBoxEntries : kMaxPrinterEntries;
    PrinterReadout* probeWindow = window ? &window->readout : nullptr;

    std::vector<PrinterListEntry> entries;
    for (const SpoolerQueue& q : queues) {
        if (entries.size() >= limit) break;
        if (options.progress && options.progress->cancelRequested()) break;
        const std::string name = upperAscii(q.name);
        if (name.find(filter) == std::string::npos) continue;

        const std::string& port = q.deviceUri;
        const PortKind pk = portKind(port);
        std::string address;
        int mode = 0;
        if (pk == PortKind::DnsSd) {
            address = resolveDnssdAddress(port, options.ui);
            mode = 3;
        } else {
            address = resolveQueueAddress(port);
        }

        if (pk == PortKind::Usb) {
            const UsbPrinter usb = findUsbPrinter(target.targetModel, options.sysfsRoot);
            entries.push_back({name, port, address, printerText(usb.serial)});
            continue;
        }
        if (!passesAddressTest(address)) continue;
        if (probePrinter(probeWindow, address, mode, options.ports, options.ui) != 0) continue;

        std::string serial = pk == PortKind::DnsSd ? address : port;
        SnmpSession session = openSnmpSession(address, options.ports.snmp, options.ui);
        snmpGetText(session, snmpoid::kSerialFirst, serial);
        snmpGetText(session, snmpoid::kSerialSecond, serial);
        closeSnmpSession(session);
        entries.push_back({name, address, address, printerText(serial)});
    }

    if (box) {
        for (auto& e : entries)
            e.column1.clear(), e.column2.clear();
        return entries;
    }
    if (window) {
        window->printerList.clear();
        window->addressList.clear();
        for (const auto& e : entries) {
            window->printerList.push_back(e.queueName);
            window->addressList.push_back(e.column1);
        }
        const std::string first = entries.empty() ? std::string() : entries.front().column1;
        window->readout.ipAddress = first;
        window->selected = entries.empty() ? -1 : 0;
        if (isUsbColumn(first)) {
            window->detailsEnabled = false;
            showUsbPrinterStatus(target, window->readout, options.sysfsRoot);
        } else {
            window->detailsEnabled = true;
            readPrinterDetails(window->readout, first, true, options.ports, options.ui);
        }
    }
    return entries;
}

std::vector<PrinterListEntry> listPrinterQueues(const TargetPrinter& target, QueueListKind kind,
                                                NetworkUtilityView* window,
                                                const DiscoveryOptions& options) {
    const std::vector<SpoolerQueue> queues = spoolerQueues();
    std::vector<PrinterListEntry> entries =
        listPrinterQueues(target, kind, window, queues, options);
    // The utility window's Status box says why the list is empty when the print server does
    // not answer, rather than looking like a system without printers.
    std::string reason;
    if (queues.empty() && window && !cupsServerAnswers(reason))
        window->readout.status = printerText(reason);
    return entries;
}
