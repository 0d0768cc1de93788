// SNMP version 1 readouts of network printers: one-OID GETs, value rendering, the presence
// probe and the details readout shown by the network utility.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct UserInterface;

// Object identifiers read from the printers (instance suffix included).
namespace snmpoid {
inline constexpr std::string_view kSystemName = ".1.3.6.1.2.1.1.5.0";
inline constexpr std::string_view kSerialFirst = ".1.3.6.1.4.1.2001.1.1.1.1.11.1.10.540.0";
inline constexpr std::string_view kSerialSecond = ".1.3.6.1.4.1.2001.1.1.1.1.11.1.10.45.0";
inline constexpr std::string_view kPanelStatus = ".1.3.6.1.4.1.11.2.3.9.1.1.3.0";
inline constexpr std::string_view kAddressMethod = ".1.3.6.1.4.1.2001.1.2.1.1.42.0";
inline constexpr std::string_view kTray1Pages = ".1.3.6.1.4.1.2001.1.1.1.1.100.2.1.1.7.1";
inline constexpr std::string_view kMpTrayPages = ".1.3.6.1.4.1.2001.1.1.1.1.100.2.1.1.7.2";
// Toner level of supply n (1..4): kTonerPrefix + n.
inline constexpr std::string_view kTonerPrefix = ".1.3.6.1.4.1.2001.1.1.1.1.100.3.1.1.3.";
// Image drum n (1..4): used = kDrumUsedPrefix + n, life = kDrumLifePrefix + n.
inline constexpr std::string_view kDrumUsedPrefix = ".1.3.6.1.4.1.2001.1.1.1.1.100.4.1.1.3.";
inline constexpr std::string_view kDrumLifePrefix = ".1.3.6.1.4.1.2001.1.1.1.1.100.4.1.1.4.";
inline constexpr std::string_view kFuserUsed = ".1.3.6.1.4.1.2001.1.1.1.1.100.6.1.1.3.1";
inline constexpr std::string_view kFuserLife = ".1.3.6.1.4.1.2001.1.1.1.1.100.6.1.1.4.1";
inline constexpr std::string_view kBeltUsed = ".1.3.6.1.4.1.2001.1.1.1.1.100.5.1.1.3.1";
inline constexpr std::string_view kBeltLife = ".1.3.6.1.4.1.2001.1.1.1.1.100.5.1.1.4.1";
} // namespace snmpoid

// The printers' factory-default read community.
inline constexpr std::string_view kSnmpCommunity = "public";
// Per-request timeout in milliseconds and number of retries after the first attempt.
inline constexpr int kSnmpTimeoutMs = 1000;
inline constexpr int kSnmpRetries = 3;

// Where a printer is reached: the SNMP agent's UDP port and the web port the wake-up
// connection goes to. The defaults are the printers' own; tests use private ports.
struct NetPorts {
    int snmp = 161;
    int web = 80;
};

// One value of a GET answer, as the agent sent it.
struct SnmpValue {
    int type = 5;          // ASN.1 type code (2 INTEGER, 4 OCTET STRING, 64 IpAddress, ...)
    bool hasData = true;   // false models an answer whose data pointer is missing
    long long integer = 0; // INTEGER (signed) or Counter32/Gauge32/TimeTicks (0..4294967295)
    std::string bytes;     // OCTET STRING, SEQUENCE, Opaque, IpAddress contents
    std::vector<std::uint32_t> oid; // OBJECT IDENTIFIER sub-identifiers
};

// The text of a value: decimal numbers, strings trimmed of NUL, 0x01, LF, FF, 0x15 and
// blanks at both ends (OCTET STRING only), dotted IpAddress and OBJECT IDENTIFIER, and
// "Unknown Type(n)" for any other type. Never fails.
std::string formatSnmpValue(const SnmpValue& value);

// Longest text from a printer that is kept for showing: a line's worth.
inline constexpr std::size_t kMaxPrinterTextBytes = 256;
// A text a printer sent (its status, serial number, a level) as it may be shown in a field or
// on a terminal: printable characters only, cut to kMaxPrinterTextBytes.
std::string printerText(std::string_view text);

// Parses a numeric OID text (".1.3.6.1..." or "1.3.6..."); false for anything else, for a
// sub-identifier above 4294967295 and for fewer than 2 or more than 128 sub-identifiers.
bool parseOid(std::string_view text, std::vector<std::uint32_t>& out);

// One open manager session to one agent. Opened for each readout and closed at its end.
struct SnmpSession {
    void* handle = nullptr;      // null when opening failed: every GET then fails
    UserInterface* ui = nullptr; // where the OID conversion message goes (may be null)
};

// Opens a v1 session to address (IPv4 dotted text or a host name) on port, with the
// community, timeout and retries above. A failure gives a session with a null handle.
SnmpSession openSnmpSession(const std::string& address, int port = 161,
                            UserInterface* ui = nullptr);
// Closes the session (a null handle is fine); the handle is null afterwards.
void closeSnmpSession(SnmpSession& session);

// One GET of oid. On success result becomes the rendered value; on any failure (no answer,
// error status, closed session) result is left exactly as passed. An OID text that cannot be
// parsed shows "Failed to convert MIB string to OID structure" and leaves result unchanged.
void snmpGetText(SnmpSession& session, std::string_view oid, std::string& result);

// Opens a TCP connection to address:port and closes it at once; gives up after 500 ms.
// Failures are ignored.
void wakePrinter(const std::string& address, int port = 80);

// The value boxes of the network utility window. Toner and drum columns are in the window's
// order: cyan (supply 2), magenta (3), yellow (4), black and white (1).
struct PrinterReadout {
    std::string ipAddress = "---";
    std::string addressMethod = "---";
    std::string serialNumber = "---";
    std::string status = "---";
    std::string pageCount = "---";
    std::string tray1 = "---";
    std::string mpTray = "---";
    std::string fuser = "---";
    std::string transferBelt = "---";
    std::array<std::string, 4> toner{"--", "--", "--", "--"};
    std::array<std::string, 4> drum{"--", "--", "--", "--"};
};

// SNMP supply/drum index shown in window column c (0..3).
inline constexpr std::array<int, 4> kColumnSupplyIndex{2, 3, 4, 1};

// Probes the printer at address: 0 = it answers and is ready, 1 = not found or not ready.
// mode 3 means the printer was reached through a DNS-SD (WSD) port or a full readout is
// wanted; it only changes the address method text. When window is given, its Status and
// Address Method boxes are written. A printer whose first serial number GET is empty is woken
// (TCP connection to ports.web) and asked again.
int probePrinter(PrinterReadout* window, const std::string& address, int mode,
                 const NetPorts& ports = {}, UserInterface* ui = nullptr);

// The details readout into window: probe (mode 3), serial number, and unless brief the page
// counters, toner levels (a box keeps its text when its level is unanswered or empty) and
// remaining life of drums, fuser and belt ("--" when a life counter is 0 or less). Returns the
// probe state (0 found, 1 not found); on 1 only Status (and possibly Address Method) changed.
int readPrinterDetails(PrinterReadout& window, const std::string& address, bool brief,
                       const NetPorts& ports = {}, UserInterface* ui = nullptr);

// Remaining life text "##.#%" of a unit with used and life counters: (1 - used/life) x 100,
// 0 when negative; "--" when life is 0 or less.
std::string remainingLifeText(double used, double life);
