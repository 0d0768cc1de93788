// printconv-cli queues and status against a private cupsd and snmpd on loopback.
#include "netutil/snmp.h"
#include "settings/settings.h"
#include "tests/support/cups_fixture.h"
#include "tests/support/snmp_fixture.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

using namespace testsupport;

namespace {

struct CliOutput {
    int code = -1;
    std::string out;
};

// Runs printconv-cli with the test's XDG folders; stdout only (messages go to stderr).
CliOutput cli(TestState& t, std::vector<std::string> args) {
    std::vector<std::string> argv{std::string(PRINTCONV_BINARY_DIR) + "/bin/printconv-cli"};
    argv.insert(argv.end(), args.begin(), args.end());
    const std::string outFile = t.dir.file("stdout.txt");
    // runProgram merges stderr; keep stdout apart with a shell redirection.
    std::string cmd;
    for (const auto& a : argv)
        cmd += "'" + a + "' ";
    CliOutput r;
    r.code = runProgram({"/bin/sh", "-c", cmd + ">'" + outFile + "' 2>/dev/null"});
    r.out = readFile(outFile);
    return r;
}

SnmpAnswer ans(std::string_view oid, std::string type, std::string value) {
    return SnmpAnswer{std::string(oid), std::move(type), std::move(value), {}, false};
}
std::string oidN(std::string_view prefix, int n) {
    return std::string(prefix) + std::to_string(n);
}

class CliNet : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = std::make_unique<TempDir>();
        agent_ = std::make_unique<PrivateSnmpd>(dir_->path);
        cupsd_ = std::make_unique<PrivateCupsd>(dir_->path);
        if (!agent_->start(error_) || !cupsd_->start(error_)) return;
        for (const char* name : {"OKI_C711WT_FRONT", "OKI_C711WT_BACK", "OKI_C844_HALL"})
            if (!cupsd_->addQueue(name, "ipp://127.0.0.1/ipp/print", false, error_)) return;
        if (!cupsd_->addQueue("OKI_C711WT_NAMED", "socket://printer.invalid:9100", false, error_))
            return;
        ok_ = true;
    }
    static void TearDownTestSuite() {
        cupsd_.reset();
        agent_.reset();
        dir_.reset();
    }
    void SetUp() override {
        ASSERT_TRUE(ok_) << "the private services could not be set up: " << error_;
        agent_->setAnswers({
            ans(snmpoid::kSystemName, "string", "OKI C711WT"),
            ans(snmpoid::kSerialFirst, "string", "AK-1"),
            ans(snmpoid::kSerialSecond, "string", "AK-2"),
            ans(snmpoid::kAddressMethod, "string", "OFF"),
            ans(snmpoid::kTray1Pages, "counter", "100"),
            ans(snmpoid::kMpTrayPages, "counter", "23"),
            ans(oidN(snmpoid::kTonerPrefix, 1), "integer", "11"),
            ans(oidN(snmpoid::kTonerPrefix, 2), "integer", "22"),
            ans(oidN(snmpoid::kTonerPrefix, 3), "integer", "33"),
            ans(oidN(snmpoid::kTonerPrefix, 4), "integer", "44"),
            ans(oidN(snmpoid::kDrumUsedPrefix, 2), "integer", "250"),
            ans(oidN(snmpoid::kDrumLifePrefix, 2), "integer", "1000"),
            ans(snmpoid::kFuserUsed, "integer", "0"),
            ans(snmpoid::kFuserLife, "integer", "5000"),
        });
        port_ = std::to_string(agent_->port());
        web_ = std::to_string(freeLoopbackPort(false));
    }

    std::string port_, web_;
    static inline std::unique_ptr<TempDir> dir_;
    static inline std::unique_ptr<PrivateSnmpd> agent_;
    static inline std::unique_ptr<PrivateCupsd> cupsd_;
    static inline bool ok_ = false;
    static inline std::string error_;
};

TEST_F(CliNet, QueuesListsTheBoxWithTheSelectionFirst) {
    TestState t;
    CliOutput r =
        cli(t, {"queues", "--printer", "C711WT", "--snmp-port", port_, "--web-port", web_});
    EXPECT_EQ(r.code, 0);
    // Spooler order is by name; nothing saved selects the first.
    EXPECT_EQ(r.out, "* OKI_C711WT_BACK\nOKI_C711WT_FRONT\n");

    ASSERT_TRUE(writeSetting(t.state.settings, keys::kPrinter, "OKI_C711WT_FRONT"));
    r = cli(t, {"queues", "--printer", "C711WT", "--snmp-port", port_, "--web-port", web_});
    EXPECT_EQ(r.out, "* OKI_C711WT_FRONT\nOKI_C711WT_BACK\n");
}

TEST_F(CliNet, QueuesForTheBrand) {
    TestState t;
    CliOutput r = cli(t, {"queues", "--brand", "--snmp-port", port_, "--web-port", web_});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "OKI_C711WT_BACK\t127.0.0.1\tAK-2\n"
                     "OKI_C711WT_FRONT\t127.0.0.1\tAK-2\n"
                     "OKI_C844_HALL\t127.0.0.1\tAK-2\n");
}

TEST_F(CliNet, StatusReadout) {
    TestState t;
    CliOutput r =
        cli(t, {"status", "127.0.0.1", "--details", "--snmp-port", port_, "--web-port", web_});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "IP Address: 127.0.0.1\n"
                     "Address Method: Manual (Static)\n"
                     "Serial Number: AK-2\n"
                     "Status: AK-1\n"
                     "Page Count:  123\n"
                     "Tray 1:  100\n"
                     "MP Tray:  23\n"
                     "Toner 1: 22%\n"
                     "Toner 2: 33%\n"
                     "Toner 3: 44%\n"
                     "Toner 4: 11%\n"
                     "Image Drum 1: 75.0%\n"
                     "Image Drum 2: --\n"
                     "Image Drum 3: --\n"
                     "Image Drum 4: --\n"
                     "Fuser Remaining: 100.0%\n"
                     "Transfer Belt: --\n");

    r = cli(t, {"status", "127.0.0.1", "--snmp-port", port_, "--web-port", web_});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("Serial Number: AK-2\n"), std::string::npos);
    EXPECT_NE(r.out.find("Page Count: ---\n"), std::string::npos);
}

TEST_F(CliNet, StatusOfAMissingPrinterFails) {
    TestState t;
    agent_->setAnswers({}); // the agent answers nothing a printer has
    CliOutput r = cli(t, {"status", "127.0.0.1", "--details", "--snmp-port", port_});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("Status: Printer not found\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Serial Number: ---\n"), std::string::npos) << r.out;
    EXPECT_EQ(cli(t, {"status", "??"}).code, 1);
}

// A printer's answer reaches the terminal as printable text only (a lone 0x9B is a control
// sequence introducer to many terminals) and cut to a line's worth.
TEST_F(CliNet, StatusShowsPrintableTextOnly) {
    std::string hex = "41 9B 32 4A 1B 5D 32 C2 9B 43 C3 A9";
    for (int i = 0; i < 3000; ++i)
        hex += " 5A";
    agent_->setAnswers({
        ans(snmpoid::kSystemName, "string", "OKI C711WT"),
        ans(snmpoid::kSerialFirst, "octet", hex),
    });
    TestState t;
    CliOutput r =
        cli(t, {"status", "127.0.0.1", "--details", "--snmp-port", port_, "--web-port", web_});
    EXPECT_EQ(r.code, 0);
    const std::string shown = "A?2J?]2??C\xC3\xA9" + std::string(256 - 12, 'Z');
    EXPECT_NE(r.out.find("Serial Number: " + shown + "\n"), std::string::npos) << r.out;
    for (const char c : r.out) {
        const auto b = static_cast<unsigned char>(c);
        EXPECT_TRUE(b >= 0x20 || c == '\n') << int(b);
        EXPECT_NE(b, 0x9B);
    }
}

TEST_F(CliNet, QueuesWithoutAServerSayWhy) {
    TempDir d;
    CliRun r = runCli(d, "queues", "CUPS_SERVER=" + d.file("no-such-socket"));
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_NE(r.err.find("cannot be reached"), std::string::npos) << r.err;
}

TEST_F(CliNet, BadUsage) {
    TestState t;
    EXPECT_EQ(cli(t, {"status"}).code, 2);
    EXPECT_EQ(cli(t, {"status", "127.0.0.1", "--snmp-port", "x"}).code, 2);
    EXPECT_EQ(cli(t, {"status", "127.0.0.1", "--snmp-port"}).code, 2);
    EXPECT_EQ(cli(t, {"queues", "--bogus"}).code, 2);
    EXPECT_EQ(cli(t, {"queues", "--printer"}).code, 2);
}

} // namespace
