// SNMP readouts against a private snmpd on 127.0.0.1 whose answers each test chooses.
#include "netutil/snmp.h"

#include "tests/support/cups_fixture.h"
#include "tests/support/snmp_fixture.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <memory>

using testsupport::PrivateSnmpd;
using testsupport::SnmpAnswer;
using testsupport::TempDir;
using testsupport::WakeListener;

namespace {

std::string oidN(std::string_view prefix, int n) {
    return std::string(prefix) + std::to_string(n);
}

SnmpValue octets(std::string bytes) {
    SnmpValue v;
    v.type = 4;
    v.bytes = std::move(bytes);
    return v;
}

// ---------------------------------------------------------------- value rendering

struct FormatCase {
    const char* name;
    SnmpValue value;
    std::string expected;
};

SnmpValue make(int type, long long integer, std::string bytes = {}, bool hasData = true,
               std::vector<std::uint32_t> oid = {}) {
    SnmpValue v;
    v.type = type;
    v.integer = integer;
    v.bytes = std::move(bytes);
    v.hasData = hasData;
    v.oid = std::move(oid);
    return v;
}

TEST(FormatSnmpValue, EveryTypeOfTheTable) {
    const std::vector<FormatCase> cases = {
        {"integer", make(2, -2), "-2"},
        {"integer max", make(2, 2147483647), "2147483647"},
        {"counter", make(65, 4294967295LL), "4294967295"},
        {"gauge", make(66, 77), "77"},
        {"timeticks", make(67, 123456), "123456"},
        {"octet plain", octets("plain text"), "plain text"},
        {"octet padded model", octets(std::string(" C711WT \0", 9)), "C711WT"},
        {"octet control chars trimmed", octets(std::string("\x01\n\x0c\x15 AK12\x00\n", 11)),
         "AK12"},
        {"octet inner bytes kept", octets(std::string("A\0B\tC\r", 6)),
         std::string("A\0B\tC\r", 6)},
        {"octet empty", octets(""), ""},
        {"octet only trim chars", octets(std::string("\0\0 \n", 4)), ""},
        {"octet no data", make(4, 0, "", false), "Invalid pointer on ASN_OCTETSTRING value"},
        {"sequence kept untrimmed", make(48, 0, " ab\0", true), std::string(" ab")},
        {"sequence no data", make(48, 0, "", false), "Invalid pointer on ASN_SEQUENCE value"},
        {"opaque", make(68, 0, std::string("\0x ", 3)), std::string("\0x ", 3)},
        {"opaque no data", make(68, 0, "", false), "Invalid pointer on ASN_RFC1155_OPAQUE value"},
        {"ipaddress", make(64, 0, std::string("\x7f\x00\x00\x01", 4)), "127.0.0.1"},
        {"ipaddress high bytes", make(64, 0, "\xc0\xa8\xff\xfe"), "192.168.255.254"},
        {"ipaddress empty", make(64, 0, ""), ""},
        {"oid", make(6, 0, "", true, {1, 3, 6, 1, 4, 1, 2001, 4294967295u}),
         "1.3.6.1.4.1.2001.4294967295"},
        {"oid empty", make(6, 0), ""},
        {"counter64", make(70, 5), "Unknown Type(70)"},
        {"null", make(5, 0), "Unknown Type(5)"},
        {"exception", make(129, 0), "Unknown Type(129)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatSnmpValue(c.value), c.expected) << c.name;
}

TEST(ParseOid, NumericTextsOnly) {
    std::vector<std::uint32_t> ids;
    EXPECT_TRUE(parseOid(".1.3.6.1.2.1.1.5.0", ids));
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{1, 3, 6, 1, 2, 1, 1, 5, 0}));
    EXPECT_TRUE(parseOid("1.3.4294967295", ids));
    EXPECT_EQ(ids.back(), 4294967295u);
    for (const char* bad : {"", ".", "1", "1..3", "1.3.", ".1.3.x", "1.3.4294967296", "sysName.0",
                            "1.3.-1", "1.3. 6", "1.3.99999999999"})
        EXPECT_FALSE(parseOid(bad, ids)) << bad;
    std::string tooLong = "1";
    for (int i = 0; i < 128; ++i)
        tooLong += ".1";
    EXPECT_FALSE(parseOid(tooLong, ids));
}

TEST(RemainingLife, PictureAndMends) {
    EXPECT_EQ(remainingLifeText(5000, 10000), "50.0%");
    EXPECT_EQ(remainingLifeText(12000, 10000), "0.0%"); // used above life is clamped
    EXPECT_EQ(remainingLifeText(0, 10000), "100.0%");   // a full unit
    EXPECT_EQ(remainingLifeText(1, 3), "66.7%");
    EXPECT_EQ(remainingLifeText(9999, 10000), "0.0%");
    EXPECT_EQ(remainingLifeText(9994, 10000), "0.1%");
    EXPECT_EQ(remainingLifeText(100, 0), "--"); // no life counter: no number at all
    EXPECT_EQ(remainingLifeText(0, 0), "--");
    EXPECT_EQ(remainingLifeText(5, -10), "--");
}

// ---------------------------------------------------------------- against a private agent

const std::string kSysName = std::string(snmpoid::kSystemName);
const std::string kSerial1 = std::string(snmpoid::kSerialFirst);
const std::string kSerial2 = std::string(snmpoid::kSerialSecond);
const std::string kPanel = std::string(snmpoid::kPanelStatus);
const std::string kMethod = std::string(snmpoid::kAddressMethod);

SnmpAnswer ans(std::string oid, std::string type, std::string value) {
    return SnmpAnswer{std::move(oid), std::move(type), std::move(value), {}, false};
}

class SnmpAgent : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = std::make_unique<TempDir>();
        agent_ = std::make_unique<PrivateSnmpd>(dir_->path);
        ok_ = agent_->start(error_);
    }
    static void TearDownTestSuite() {
        agent_.reset();
        dir_.reset();
    }
    void SetUp() override {
        ASSERT_TRUE(ok_) << "the private snmpd did not start: " << error_;
        agent_->setAwake(false);
        ports_.snmp = agent_->port();
        // Nothing listens here unless a test starts a WakeListener.
        ports_.web = testsupport::freeLoopbackPort(false);
    }
    static PrivateSnmpd& agent() { return *agent_; }

    NetPorts ports_;
    testsupport::RecordingUserInterface ui_;

    static inline std::unique_ptr<TempDir> dir_;
    static inline std::unique_ptr<PrivateSnmpd> agent_;
    static inline bool ok_ = false;
    static inline std::string error_;
};

TEST_F(SnmpAgent, GetTextRendersEachAnswerType) {
    const std::string base = ".1.3.6.1.4.1.2001.1.1.1.1.100.9.";
    agent().setAnswers({
        ans(base + "1", "integer", "-2"),
        ans(base + "2", "gauge", "4294967295"),
        ans(base + "3", "counter", "123456"),
        ans(base + "4", "timeticks", "99"),
        ans(base + "5", "ipaddress", "127.0.0.1"),
        ans(base + "6", "objectid", ".1.3.6.1.4.1.2001.9"),
        ans(base + "7", "octet", "20 43 37 31 31 57 54 20 00"),
        ans(base + "8", "octet", "0a 01 41 00 42 0d 15 0c"),
        ans(base + "9", "string", "  spaced  "),
        ans(base + "10", "string", ""),
    });
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"1", "-2"},        {"2", "4294967295"},
        {"3", "123456"},    {"4", "99"},
        {"5", "127.0.0.1"}, {"6", "1.3.6.1.4.1.2001.9"},
        {"7", "C711WT"},    {"8", std::string("A\0B\r", 4)},
        {"9", "spaced"},    {"10", ""},
    };
    SnmpSession s = openSnmpSession("127.0.0.1", ports_.snmp, &ui_);
    ASSERT_NE(s.handle, nullptr);
    for (const auto& [n, text] : expected) {
        std::string result = "previous";
        snmpGetText(s, base + n, result);
        EXPECT_EQ(result, text) << "OID " << base << n;
    }
    closeSnmpSession(s);
    EXPECT_EQ(s.handle, nullptr);
    EXPECT_TRUE(ui_.messages().empty());
}

TEST_F(SnmpAgent, GetTextLeavesResultOnEveryFailure) {
    agent().setAnswers({ans(kSysName, "string", "C711WT")});
    SnmpSession s = openSnmpSession("127.0.0.1", ports_.snmp, &ui_);
    std::string result = "kept";
    snmpGetText(s, kSerial1, result); // not answered: noSuchName
    EXPECT_EQ(result, "kept");
    snmpGetText(s, "not.an.oid", result);
    EXPECT_EQ(result, "kept");
    ASSERT_EQ(ui_.messages().size(), 1u);
    EXPECT_EQ(ui_.messages()[0].text, "Failed to convert MIB string to OID structure");
    EXPECT_EQ(ui_.messages()[0].caption, "Lumivane");
    snmpGetText(s, kSysName, result);
    EXPECT_EQ(result, "C711WT");
    closeSnmpSession(s);

    // A session that could not be opened: every GET fails quietly.
    SnmpSession none = openSnmpSession("??", ports_.snmp, &ui_);
    EXPECT_EQ(none.handle, nullptr);
    std::string r2 = "kept";
    snmpGetText(none, kSysName, r2);
    EXPECT_EQ(r2, "kept");
    closeSnmpSession(none);
}

struct ProbeCase {
    const char* name;
    std::vector<SnmpAnswer> answers;
    int mode;
    int state;
    std::string status;
    std::string method;
};

TEST_F(SnmpAgent, ProbeStatesAndTexts) {
    const std::vector<ProbeCase> cases = {
        {"no system name", {ans(kSerial1, "string", "AK1")}, 0, 1, "Printer not found", "---"},
        {"empty system name",
         {ans(kSysName, "string", ""), ans(kSerial1, "string", "AK1")},
         0,
         1,
         "Printer not found",
         "---"},
        {"ready, no panel status: the serial text stands",
         {ans(kSysName, "string", "OKI"), ans(kSerial1, "octet", "20 41 4b 31 32 20 00")},
         0,
         0,
         "AK12",
         "Automatic (DHCP)"},
        {"panel status of an HP printer",
         {ans(kSysName, "string", "HP"), ans(kSerial1, "string", "CN1"),
          ans(kPanel, "string", "  READY TO PRINT "), ans(kMethod, "string", "DHCP ON")},
         0,
         0,
         "READY TO PRINT",
         "Automatic (DHCP)"},
        {"static address",
         {ans(kSysName, "string", "OKI"), ans(kSerial1, "string", "AK1"),
          ans(kMethod, "string", "DHCP OFF")},
         0,
         0,
         "AK1",
         "Manual (Static)"},
        {"dhcp through a dnssd port",
         {ans(kSysName, "string", "OKI"), ans(kSerial1, "string", "AK1"),
          ans(kMethod, "integer", "1")},
         3,
         0,
         "AK1",
         "Automatic with WSD (DHCP)"},
        {"static wins over mode 3",
         {ans(kSysName, "string", "OKI"), ans(kSerial1, "string", "AK1"),
          ans(kMethod, "string", "OFF")},
         3,
         0,
         "AK1",
         "Manual (Static)"},
        {"serial of the wrong type still counts",
         {ans(kSysName, "string", "OKI"), ans(kSerial1, "integer", "4711")},
         0,
         0,
         "4711",
         "Automatic (DHCP)"},
    };
    for (const auto& c : cases) {
        agent().setAnswers(c.answers);
        PrinterReadout r;
        EXPECT_EQ(probePrinter(&r, "127.0.0.1", c.mode, ports_, &ui_), c.state) << c.name;
        EXPECT_EQ(r.status, c.status) << c.name;
        EXPECT_EQ(r.addressMethod, c.method) << c.name;
        // Without a window the state is the same and nothing else is touched.
        EXPECT_EQ(probePrinter(nullptr, "127.0.0.1", c.mode, ports_, &ui_), c.state) << c.name;
    }
    EXPECT_TRUE(ui_.messages().empty());
}

TEST_F(SnmpAgent, AsleepPrinterIsWokenAndAskedAgain) {
    WakeListener web(agent().awakeFlagPath());
    ASSERT_TRUE(web.ok());
    ports_.web = web.port();
    SnmpAnswer serial = ans(kSerial1, "string", "");
    serial.awakeValue = "AK77";
    serial.hasAwakeValue = true;
    agent().setAnswers({ans(kSysName, "string", "OKI"), serial});

    PrinterReadout r;
    EXPECT_EQ(probePrinter(&r, "127.0.0.1", 0, ports_, &ui_), 0);
    EXPECT_EQ(web.connections(), 1);
    // The status box was not set to "Ready" on this path; the serial text stands after it.
    EXPECT_EQ(r.status, "AK77");

    // Awake now: no second wake-up.
    EXPECT_EQ(probePrinter(&r, "127.0.0.1", 0, ports_, &ui_), 0);
    EXPECT_EQ(web.connections(), 1);
}

TEST_F(SnmpAgent, PrinterThatStaysAsleepIsNotReady) {
    WakeListener web; // sees the connection but wakes nothing
    ASSERT_TRUE(web.ok());
    ports_.web = web.port();
    agent().setAnswers({ans(kSysName, "string", "OKI"), ans(kSerial1, "string", "")});
    PrinterReadout r;
    EXPECT_EQ(probePrinter(&r, "127.0.0.1", 0, ports_, &ui_), 1);
    EXPECT_EQ(web.connections(), 1);
    EXPECT_EQ(r.status, "");
}

TEST_F(SnmpAgent, WakeWithNothingListeningIsHarmless) {
    // A closed port on loopback refuses at once; the call must simply return.
    wakePrinter("127.0.0.1", ports_.web);
    wakePrinter("", 80);
    wakePrinter("no-such-host.invalid", 0);
    SUCCEED();
}

std::vector<SnmpAnswer> fullPrinter() {
    std::vector<SnmpAnswer> a = {
        ans(kSysName, "string", "OKI C711WT"), ans(kSerial1, "string", "AK-FIRST"),
        ans(kSerial2, "octet", "20 41 4b 2d 53 45 43 4f 4e 44 00"),
        ans(kMethod, "string", "DHCP ON"),
        ans(std::string(snmpoid::kTray1Pages), "counter", "1234"),
        ans(std::string(snmpoid::kMpTrayPages), "counter", "56"),
        ans(oidN(snmpoid::kTonerPrefix, 1), "integer", "10"),
        ans(oidN(snmpoid::kTonerPrefix, 2), "integer", "20"),
        ans(oidN(snmpoid::kTonerPrefix, 3), "integer", "30"),
        // supply 4 is not answered
        ans(oidN(snmpoid::kDrumUsedPrefix, 1), "integer", "5000"),
        ans(oidN(snmpoid::kDrumLifePrefix, 1), "integer", "10000"),
        ans(oidN(snmpoid::kDrumUsedPrefix, 2), "integer", "0"),
        ans(oidN(snmpoid::kDrumLifePrefix, 2), "integer", "20000"),
        ans(oidN(snmpoid::kDrumUsedPrefix, 3), "integer", "25000"),
        ans(oidN(snmpoid::kDrumLifePrefix, 3), "integer", "20000"),
        ans(oidN(snmpoid::kDrumUsedPrefix, 4), "integer", "100"),
        ans(oidN(snmpoid::kDrumLifePrefix, 4), "integer", "0"),
        ans(std::string(snmpoid::kFuserUsed), "gauge", "15000"),
        ans(std::string(snmpoid::kFuserLife), "gauge", "60000"),
        // the belt answers nothing
    };
    return a;
}

TEST_F(SnmpAgent, DetailsReadout) {
    agent().setAnswers(fullPrinter());
    PrinterReadout r;
    EXPECT_EQ(readPrinterDetails(r, " 127.0.0.1 ", false, ports_, &ui_), 0);
    EXPECT_EQ(r.serialNumber, "AK-SECOND"); // the second location wins
    EXPECT_EQ(r.addressMethod, "Automatic with WSD (DHCP)");
    EXPECT_EQ(r.pageCount, " 1290");
    EXPECT_EQ(r.tray1, " 1234");
    EXPECT_EQ(r.mpTray, " 56");
    // Columns: cyan = supply 2, magenta = 3, yellow = 4, black and white = 1.
    EXPECT_EQ(r.toner[0], "20%");
    EXPECT_EQ(r.toner[1], "30%");
    EXPECT_EQ(r.toner[2], "--"); // unanswered: the box keeps its content
    EXPECT_EQ(r.toner[3], "10%");
    EXPECT_EQ(r.drum[0], "100.0%"); // drum 2: nothing used
    EXPECT_EQ(r.drum[1], "0.0%");   // drum 3: used above its life
    EXPECT_EQ(r.drum[2], "--");     // drum 4: life 0
    EXPECT_EQ(r.drum[3], "50.0%");  // drum 1
    EXPECT_EQ(r.fuser, "75.0%");
    EXPECT_EQ(r.transferBelt, "--");
    EXPECT_TRUE(ui_.messages().empty());
}

TEST_F(SnmpAgent, SerialNumberPrecedenceAndBriefReadout) {
    struct Case {
        const char* name;
        std::vector<SnmpAnswer> serials;
        int state;
        std::string serial;
    };
    const std::vector<Case> cases = {
        {"both",
         {ans(kSerial1, "string", "FIRST"), ans(kSerial2, "string", "SECOND")},
         0,
         "SECOND"},
        {"only the first", {ans(kSerial1, "string", "FIRST")}, 0, "FIRST"},
        // The probe needs the first location, so a printer with only the second is not ready.
        {"only the second", {ans(kSerial2, "string", "SECOND")}, 1, "---"},
    };
    for (const auto& c : cases) {
        auto answers = c.serials;
        answers.push_back(ans(kSysName, "string", "OKI"));
        answers.push_back(ans(std::string(snmpoid::kTray1Pages), "counter", "9"));
        agent().setAnswers(answers);
        PrinterReadout r;
        r.pageCount = "earlier";
        EXPECT_EQ(readPrinterDetails(r, "127.0.0.1", true, ports_, &ui_), c.state) << c.name;
        EXPECT_EQ(r.serialNumber, c.serial) << c.name;
        EXPECT_EQ(r.pageCount, "earlier") << c.name; // brief: counters untouched
    }
}

TEST_F(SnmpAgent, WrongTypesAndEmptyAnswersGiveClearTexts) {
    agent().setAnswers({
        ans(kSysName, "string", "OKI"),
        ans(kSerial1, "octet", "00 00 00"), // only NULs: empty serial, printer not ready
    });
    PrinterReadout r;
    WakeListener web;
    ports_.web = web.port();
    EXPECT_EQ(readPrinterDetails(r, "127.0.0.1", false, ports_, &ui_), 1);
    EXPECT_EQ(r.pageCount, "---");

    agent().setAnswers({
        ans(kSysName, "string", "OKI"),
        ans(kSerial1, "objectid", ".1.3.6.1"),
        ans(std::string(snmpoid::kTray1Pages), "string", "many"),
        ans(std::string(snmpoid::kMpTrayPages), "ipaddress", "10.0.0.1"),
        ans(oidN(snmpoid::kTonerPrefix, 2), "string", ""),
        ans(oidN(snmpoid::kDrumUsedPrefix, 2), "string", "abc"),
        ans(oidN(snmpoid::kDrumLifePrefix, 2), "octet", "31 30 30"),
        ans(oidN(snmpoid::kDrumUsedPrefix, 3), "timeticks", "50"),
        ans(oidN(snmpoid::kDrumLifePrefix, 3), "counter", "200"),
    });
    PrinterReadout d;
    EXPECT_EQ(readPrinterDetails(d, "127.0.0.1", false, ports_, &ui_), 0);
    EXPECT_EQ(d.serialNumber, "1.3.6.1");
    EXPECT_EQ(d.tray1, " 0");   // non-numeric text counts as 0
    EXPECT_EQ(d.mpTray, " 10"); // "10.0.0.1" reads as far as it is a number
    EXPECT_EQ(d.pageCount, " 10");
    EXPECT_EQ(d.toner[0], "--"); // an empty level is no level
    EXPECT_EQ(d.drum[0], "100.0%");
    EXPECT_EQ(d.drum[1], "75.0%");
    EXPECT_EQ(d.fuser, "--");
}

// What a printer sends is shown as printable text only (an escape sequence or a line break
// would drive a terminal or break a field) and cut to a line's worth.
TEST_F(SnmpAgent, PrinterTextsArePrintableAndCut) {
    agent().setAnswers({
        ans(kSysName, "string", "OKI"),
        ans(kSerial1, "string", "AK1"),
        ans(kSerial2, "octet", "1b 5b 32 4a 41 0d 42 9b"),
        ans(std::string(snmpoid::kPanelStatus), "string", std::string(400, 'x')),
        ans(oidN(snmpoid::kTonerPrefix, 2), "octet", "35 30 07"),
    });
    PrinterReadout r;
    EXPECT_EQ(readPrinterDetails(r, "127.0.0.1", false, ports_, &ui_), 0);
    EXPECT_EQ(r.serialNumber, "?[2JA?B?");
    EXPECT_EQ(r.status, std::string(kMaxPrinterTextBytes, 'x'));
    EXPECT_EQ(r.toner[0], "50?%");
}

TEST_F(SnmpAgent, PrinterThatDoesNotAnswerIsNotFound) {
    // 127.0.0.2: nothing listens there, so every attempt runs into the timeout.
    PrinterReadout r;
    r.serialNumber = "earlier";
    EXPECT_EQ(readPrinterDetails(r, "127.0.0.2", false, ports_, &ui_), 1);
    EXPECT_EQ(r.status, "Printer not found");
    EXPECT_EQ(r.serialNumber, "earlier");
    EXPECT_EQ(r.pageCount, "---");
    PrinterReadout q;
    EXPECT_EQ(readPrinterDetails(q, "", false, ports_, &ui_), 1);
    EXPECT_EQ(q.status, "Printer not found");
    EXPECT_EQ(readPrinterDetails(q, "??", false, ports_, &ui_), 1);
}

} // namespace
