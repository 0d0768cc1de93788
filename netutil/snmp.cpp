#include "netutil/snmp.h"

#include "core/strings.h"
#include "core/ui.h"
#include "settings/settings.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <mutex>

namespace {

std::string decimal(long long v) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

bool isOctetTrimChar(char c) {
    switch (static_cast<unsigned char>(c)) {
    case 0x00:
    case 0x01:
    case 0x0A:
    case 0x0C:
    case 0x15:
    case 0x20:
        return true;
    default:
        return false;
    }
}

std::string trimBlanks(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && s[b] == ' ')
        ++b;
    while (e > b && s[e - 1] == ' ')
        --e;
    return std::string(s.substr(b, e - b));
}

// The library is set up once: no configuration files, no persistent state, no MIB files
// (every OID we use is numeric).
void initSnmpLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
        // An explicit MIBS setting of the user wins; otherwise load none.
        setenv("MIBS", "", 0);
        init_snmp("printconv");
    });
}

SnmpValue toValue(const netsnmp_variable_list& v) {
    SnmpValue out;
    out.type = v.type;
    switch (v.type) {
    case ASN_INTEGER:
        out.hasData = v.val.integer != nullptr;
        if (out.hasData) out.integer = *v.val.integer;
        break;
    case ASN_COUNTER:
    case ASN_GAUGE:
    case ASN_TIMETICKS:
        out.hasData = v.val.integer != nullptr;
        if (out.hasData)
            out.integer =
                static_cast<long long>(static_cast<unsigned long>(*v.val.integer) & 0xFFFFFFFFul);
        break;
    case ASN_OBJECT_ID:
        out.hasData = v.val.objid != nullptr;
        if (out.hasData)
            for (std::size_t i = 0; i < v.val_len / sizeof(oid); ++i)
                out.oid.push_back(static_cast<std::uint32_t>(v.val.objid[i]));
        break;
    default:
        out.hasData = v.val.string != nullptr;
        if (out.hasData && v.val_len > 0)
            out.bytes.assign(reinterpret_cast<const char*>(v.val.string), v.val_len);
        break;
    }
    return out;
}

// Bytes of a string-like value; the length decides emptiness before the pointer is looked at.
std::string stringValue(const SnmpValue& value, std::string_view missingText) {
    if (value.bytes.empty() && value.hasData) return {};
    if (!value.hasData) return std::string(missingText);
    return value.bytes;
}

} // namespace

std::string formatSnmpValue(const SnmpValue& value) {
    switch (value.type) {
    case 2: // INTEGER
        return decimal(value.integer);
    case 65: // Counter32
    case 66: // Gauge32
    case 67: // TimeTicks
        return decimal(
            static_cast<long long>(static_cast<std::uint64_t>(value.integer) & 0xFFFFFFFFull));
    case 4: { // OCTET STRING
        std::string s = stringValue(value, "Invalid pointer on ASN_OCTETSTRING value");
        if (!value.hasData) return s;
        std::size_t b = 0, e = s.size();
        while (b < e && isOctetTrimChar(s[b]))
            ++b;
        while (e > b && isOctetTrimChar(s[e - 1]))
            --e;
        return s.substr(b, e - b);
    }
    case 48: // SEQUENCE
        return stringValue(value, "Invalid pointer on ASN_SEQUENCE value");
    case 68: // Opaque
        return stringValue(value, "Invalid pointer on ASN_RFC1155_OPAQUE value");
    case 64: { // IpAddress
        std::string out;
        for (std::size_t i = 0; i < value.bytes.size(); ++i) {
            if (i) out += '.';
            out += decimal(static_cast<unsigned char>(value.bytes[i]));
        }
        return out;
    }
    case 6: { // OBJECT IDENTIFIER
        std::string out;
        for (std::size_t i = 0; i < value.oid.size(); ++i) {
            if (i) out += '.';
            out += decimal(value.oid[i]);
        }
        return out;
    }
    default:
        return "Unknown Type(" + decimal(value.type) + ")";
    }
}

bool parseOid(std::string_view text, std::vector<std::uint32_t>& out) {
    out.clear();
    if (!text.empty() && text.front() == '.') text.remove_prefix(1);
    if (text.empty()) return false;
    while (true) {
        std::size_t dot = text.find('.');
        std::string_view part = text.substr(0, dot);
        if (part.empty() || part.size() > 10) return false;
        std::uint64_t v = 0;
        for (char c : part) {
            if (c < '0' || c > '9') return false;
            v = v * 10 + static_cast<std::uint64_t>(c - '0');
        }
        if (v > 0xFFFFFFFFull) return false;
        out.push_back(static_cast<std::uint32_t>(v));
        if (out.size() > MAX_OID_LEN) return false;
        if (dot == std::string_view::npos) break;
        text.remove_prefix(dot + 1);
    }
    return out.size() >= 2;
}

SnmpSession openSnmpSession(const std::string& addressText, int port, UserInterface* ui) {
    initSnmpLibrary();
    SnmpSession result;
    result.ui = ui;
    // Blanks around a typed address are not part of it.
    const std::string address = trimBlanks(addressText);
    if (address.empty() || port <= 0 || port > 65535) return result;
    std::string peer = "udp:" + address + ":" + decimal(port);
    std::string community(kSnmpCommunity);
    netsnmp_session s;
    snmp_sess_init(&s);
    s.version = SNMP_VERSION_1;
    s.peername = peer.data();
    s.community = reinterpret_cast<u_char*>(community.data());
    s.community_len = community.size();
    s.timeout = kSnmpTimeoutMs * 1000L;
    s.retries = kSnmpRetries;
    // snmp_sess_open copies what it keeps, so the local buffers may go.
    result.handle = snmp_sess_open(&s);
    return result;
}

void closeSnmpSession(SnmpSession& session) {
    if (session.handle) snmp_sess_close(session.handle);
    session.handle = nullptr;
}

namespace {

// The GET behind snmpGetText; true when result was replaced.
bool getText(SnmpSession& session, std::string_view oidText, std::string& result) {
    std::vector<std::uint32_t> ids;
    if (oidText.size() > 255 || !parseOid(oidText, ids)) {
        if (session.ui)
            session.ui->showMessage(MessageIcon::None, "Lumivane",
                                    "Failed to convert MIB string to OID structure");
        return false;
    }
    if (!session.handle) return false;
    oid name[MAX_OID_LEN];
    for (std::size_t i = 0; i < ids.size(); ++i)
        name[i] = ids[i];
    netsnmp_pdu* pdu = snmp_pdu_create(SNMP_MSG_GET);
    if (!pdu) return false;
    snmp_add_null_var(pdu, name, ids.size());
    netsnmp_pdu* response = nullptr;
    if (session.ui) session.ui->beforeDeviceWait();
    // The library frees the request in every case.
    int status = snmp_sess_synch_response(session.handle, pdu, &response);
    bool ok = false;
    if (status == STAT_SUCCESS && response && response->errstat == SNMP_ERR_NOERROR &&
        response->variables) {
        result = formatSnmpValue(toValue(*response->variables));
        ok = true;
    }
    if (response) snmp_free_pdu(response);
    return ok;
}

} // namespace

std::string printerText(std::string_view text) {
    return printableText(text, kMaxPrinterTextBytes);
}

void snmpGetText(SnmpSession& session, std::string_view oidText, std::string& result) {
    getText(session, oidText, result);
}

void wakePrinter(const std::string& addressText, int port) {
    const std::string address = trimBlanks(addressText);
    if (address.empty() || port <= 0 || port > 65535) return;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* list = nullptr;
    if (getaddrinfo(address.c_str(), decimal(port).c_str(), &hints, &list) != 0 || !list) return;
    int fd = ::socket(list->ai_family, list->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                      list->ai_protocol);
    if (fd >= 0) {
        if (::connect(fd, list->ai_addr, list->ai_addrlen) != 0 && errno == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 500);
        }
        ::close(fd);
    }
    freeaddrinfo(list);
}

int probePrinter(PrinterReadout* window, const std::string& address, int mode,
                 const NetPorts& ports, UserInterface* ui) {
    const int modeIn = mode;
    int state = 0;
    SnmpSession session = openSnmpSession(address, ports.snmp, ui);

    std::string name;
    snmpGetText(session, snmpoid::kSystemName, name);
    if (name.empty()) {
        if (window) window->status = "Printer not found";
        closeSnmpSession(session);
        return 1;
    }

    std::string text;
    snmpGetText(session, snmpoid::kSerialFirst, text);
    if (!text.empty()) {
        state = 0;
        if (window) window->status = "Ready";
    } else {
        // A sleeping printer answers the system group but not its private tree until its
        // web server has been touched.
        wakePrinter(address, ports.web);
        text.clear();
        snmpGetText(session, snmpoid::kSerialFirst, text);
        state = text.empty() ? 1 : 0;
    }

    // The panel status replaces the working text only when the printer has that OID.
    snmpGetText(session, snmpoid::kPanelStatus, text);
    if (window) window->status = printerText(trimBlanks(text));

    snmpGetText(session, snmpoid::kAddressMethod, text);
    if (window) {
        if (text.find("OFF") != std::string::npos)
            window->addressMethod = "Manual (Static)";
        else if (modeIn == 3)
            window->addressMethod = "Automatic with WSD (DHCP)";
        else
            window->addressMethod = "Automatic (DHCP)";
    }
    closeSnmpSession(session);
    return state;
}

std::string remainingLifeText(double used, double life) {
    if (!(life > 0) || !std::isfinite(life) || !std::isfinite(used)) return "--";
    double remaining = (1.0 - used / life) * 100.0;
    if (remaining < 0) remaining = 0;
    // One decimal, halves away from zero, independent of the locale.
    double tenths = std::round(remaining * 10.0);
    long long t = static_cast<long long>(tenths);
    return decimal(t / 10) + "." + decimal(t % 10) + "%";
}

namespace {

// Page counters are written with the blank of the sign position.
std::string counterText(double v) {
    if (std::isfinite(v) && std::fabs(v) < 1e15 && v == std::floor(v))
        return settingNumber(static_cast<long long>(v));
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
    std::string s(buf, r.ptr);
    return v < 0 ? s : " " + s;
}

double readNumber(SnmpSession& session, std::string_view oidText) {
    std::string text;
    snmpGetText(session, oidText, text);
    return settingValue(text);
}

} // namespace

int readPrinterDetails(PrinterReadout& window, const std::string& address, bool brief,
                       const NetPorts& ports, UserInterface* ui) {
    int state = probePrinter(&window, address, 3, ports, ui);
    if (state > 0) return state;

    SnmpSession session = openSnmpSession(trimBlanks(address), ports.snmp, ui);
    std::string serial;
    snmpGetText(session, snmpoid::kSerialFirst, serial);
    snmpGetText(session, snmpoid::kSerialSecond, serial);
    window.serialNumber = printerText(serial);
    if (brief) {
        closeSnmpSession(session);
        return state;
    }

    const double a = readNumber(session, snmpoid::kTray1Pages);
    const double b = readNumber(session, snmpoid::kMpTrayPages);
    window.pageCount = counterText(a + b);
    window.tray1 = counterText(a);
    window.mpTray = counterText(b);

    for (int c = 0; c < 4; ++c) {
        const std::string n = decimal(kColumnSupplyIndex[static_cast<std::size_t>(c)]);
        std::string level;
        // Unanswered or empty: the box keeps what it showed rather than a bare "%".
        if (getText(session, std::string(snmpoid::kTonerPrefix) + n, level) && !level.empty())
            window.toner[static_cast<std::size_t>(c)] = printerText(level) + "%";
    }
    for (int c = 0; c < 4; ++c) {
        const std::string n = decimal(kColumnSupplyIndex[static_cast<std::size_t>(c)]);
        const double used = readNumber(session, std::string(snmpoid::kDrumUsedPrefix) + n);
        const double life = readNumber(session, std::string(snmpoid::kDrumLifePrefix) + n);
        window.drum[static_cast<std::size_t>(c)] = remainingLifeText(used, life);
    }
    window.fuser = remainingLifeText(readNumber(session, snmpoid::kFuserUsed),
                                     readNumber(session, snmpoid::kFuserLife));
    window.transferBelt = remainingLifeText(readNumber(session, snmpoid::kBeltUsed),
                                            readNumber(session, snmpoid::kBeltLife));
    closeSnmpSession(session);
    return state;
}
