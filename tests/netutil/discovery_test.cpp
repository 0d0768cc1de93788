// Queue discovery over the queues of a private cupsd, with a private snmpd answering for the
// printers on 127.0.0.1 and a sysfs fixture tree for the USB printer.
#include "netutil/discovery.h"

#include "model/models.h"
#include "actions/printer_box.h"
#include "settings/settings.h"
#include "tests/support/cups_fixture.h"
#include "tests/support/snmp_fixture.h"
#include "tests/support/test_support.h"

#include <cups/cups.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>

using testsupport::PrivateCupsd;
using testsupport::PrivateSnmpd;
using testsupport::SnmpAnswer;
using testsupport::TempDir;
using testsupport::TestState;

namespace {

// ---------------------------------------------------------------- device URIs

struct UriCase {
    std::string uri;
    PortKind kind;
    std::string address; // resolveQueueAddress
    std::string dnssd;   // resolveDnssdAddress
    bool passes;         // the address (or the dnssd result) passes the address test
};

TEST(DeviceUri, KindsAndAddresses) {
    const std::vector<UriCase> cases = {
        {"socket://127.0.0.1:9100/?snmp=false", PortKind::Network, "127.0.0.1", "", true},
        {"ipp://10.1.2.3/ipp/print", PortKind::Network, "10.1.2.3", "", true},
        {"ipps://10.1.2.4:443/ipp/print", PortKind::Network, "10.1.2.4", "", true},
        {"lpd://192.168.7.8/queue", PortKind::Network, "192.168.7.8", "", true},
        {"http://10.0.0.9:631/printers/x", PortKind::Network, "10.0.0.9", "", true},
        {"https://10.0.0.10/ipp", PortKind::Network, "10.0.0.10", "", true},
        {"IPP://10.0.0.11/", PortKind::Network, "10.0.0.11", "", true},
        {"socket://printer-name.invalid:9100", PortKind::Network, "printer-name.invalid", "",
         false},
        {"socket://[::1]:9100", PortKind::Network, "::1", "", false},
        {"socket:///", PortKind::Network, "", "", false},
        {"socket://", PortKind::Network, "", "", false},
        {"usb://OKI/C711WT?serial=AB12", PortKind::Usb, "", "", false},
        {"dnssd://localhost/", PortKind::DnsSd, "", "127.0.0.1", true},
        {"dnssd://127.0.0.5/", PortKind::DnsSd, "", "127.0.0.5", true},
        {"dnssd://OKI%20C711WT._ipp._tcp.local/?uuid=1", PortKind::DnsSd, "", "not found", false},
        {"dnssd:///", PortKind::DnsSd, "", "not found", false},
        {"file:///dev/null", PortKind::Other, "", "", false},
        {"failing://x/", PortKind::Other, "", "", false},
        {"", PortKind::Other, "", "", false},
        {"no uri at all", PortKind::Other, "", "", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(portKind(c.uri), c.kind) << c.uri;
        EXPECT_EQ(resolveQueueAddress(c.uri), c.address) << c.uri;
        testsupport::RecordingUserInterface ui;
        EXPECT_EQ(resolveDnssdAddress(c.uri, &ui), c.dnssd) << c.uri;
        const std::string address = c.kind == PortKind::DnsSd ? c.dnssd : c.address;
        EXPECT_EQ(passesAddressTest(address), c.passes) << c.uri;
        // A resolved dnssd address is shown on the status line.
        if (c.kind == PortKind::DnsSd && c.passes) {
            ASSERT_EQ(ui.calls.size(), 1u) << c.uri;
            EXPECT_EQ(ui.calls[0].text, "WSD >> " + c.dnssd);
        } else {
            EXPECT_TRUE(ui.calls.empty()) << c.uri;
        }
    }
}

TEST(DeviceUri, AddressTestAndUsbMarker) {
    for (const char* good : {"127.0.0.1", "0.0.0.0", "999.1.2.3", "..."})
        EXPECT_TRUE(passesAddressTest(good)) << good;
    for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "a.b.c.d", "192.168.1.20:80", " 1.2.3.4",
                            "1.2.3.4 ", "not found"})
        EXPECT_FALSE(passesAddressTest(bad)) << bad;
    EXPECT_TRUE(isUsbColumn("usb://OKI/C711WT"));
    EXPECT_TRUE(isUsbColumn("USB001"));
    EXPECT_TRUE(isUsbColumn("Socket"));
    EXPECT_FALSE(isUsbColumn("127.0.0.1"));
    EXPECT_FALSE(isUsbColumn(""));
}

// ---------------------------------------------------------------- live discovery

const std::string kSysName = std::string(snmpoid::kSystemName);
const std::string kSerial1 = std::string(snmpoid::kSerialFirst);
const std::string kSerial2 = std::string(snmpoid::kSerialSecond);

SnmpAnswer ans(std::string oid, std::string type, std::string value) {
    return SnmpAnswer{std::move(oid), std::move(type), std::move(value), {}, false};
}

struct QueueDef {
    std::string name, uri;
};

// Never enabled: cupsd lists them but never opens their devices.
const std::vector<QueueDef> kQueues = {
    {"OKI_C711WT_A_SOCKET", "socket://127.0.0.1:9100/?snmp=false"},
    {"OKI_C711WT_B_IPP", "ipp://127.0.0.1:631/ipp/print"},
    {"OKI_C711WT_C_IPPS", "ipps://127.0.0.1/ipp/print"},
    {"OKI_C711WT_D_LPD", "lpd://127.0.0.1/queue"},
    {"OKI_C711WT_E_HTTP", "http://127.0.0.1:631/printers/x"},
    {"OKI_C711WT_F_NAMED", "socket://printer-name.invalid:9100"},
    {"OKI_C711WT_G_USB", "usb://OKI/C711WT?serial=USB123"},
    {"OKI_C711WT_H_DNSSD", "dnssd://localhost/"},
    {"OKI_C711WT_I_BONJOUR", "dnssd://OKI%20C711WT._ipp._tcp.local/?uuid=1"},
    {"OKI_C711WT_J_NOHOST", "socket:///"},
    {"oki_c711wt_lower", "ipp://127.0.0.1/ipp/print"},
    {"OKI_C844_SOCKET", "socket://127.0.0.1:9100/?snmp=false"},
    {"HP_M277_SOCKET", "socket://127.0.0.1:9100/?snmp=false"},
};
const std::string kClass = "OKI_C711WT_K_CLASS";

class Discovery : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = std::make_unique<TempDir>();
        agent_ = std::make_unique<PrivateSnmpd>(dir_->path);
        cupsd_ = std::make_unique<PrivateCupsd>(dir_->path);
        if (!agent_->start(error_) || !cupsd_->start(error_)) return;
        for (const auto& q : kQueues)
            if (!cupsd_->addQueue(q.name, q.uri, false, error_)) return;
        if (!cupsd_->addToClass("OKI_C711WT_A_SOCKET", kClass, error_)) return;
        // A USB printer of the C711 row is attached.
        sysfs_ = dir_->path + "/sys";
        const std::string dev = sysfs_ + "/bus/usb/devices/1-1";
        std::filesystem::create_directories(dev);
        testsupport::writeFile(dev + "/idVendor", "06bc\n");
        testsupport::writeFile(dev + "/idProduct", "021a\n");
        testsupport::writeFile(dev + "/serial", "USB-SER-9\n");
        ok_ = true;
    }
    static void TearDownTestSuite() {
        cupsd_.reset();
        agent_.reset();
        dir_.reset();
    }
    void SetUp() override {
        ASSERT_TRUE(ok_) << "the private services could not be set up: " << error_;
        agent_->setAnswers({ans(kSysName, "string", "OKI C711WT"), ans(kSerial1, "string", "AK-1"),
                            ans(kSerial2, "string", "AK-2")});
        options_.ports.snmp = agent_->port();
        options_.ports.web = testsupport::freeLoopbackPort(false);
        options_.sysfsRoot = sysfs_;
        options_.ui = &ts_.ui;
        ts_.state.target.targetBrand = "OKI";
        ts_.state.target.targetModel = "C711WT";
    }

    // Names of the spooler's queues in its order, upper case, that are among wanted.
    static std::vector<std::string> inSpoolerOrder(const std::set<std::string>& wanted) {
        std::vector<std::string> out;
        for (const auto& q : spoolerQueues()) {
            std::string up = q.name;
            std::transform(up.begin(), up.end(), up.begin(), ::toupper);
            if (wanted.count(up)) out.push_back(up);
        }
        return out;
    }

    TestState ts_;
    DiscoveryOptions options_;
    static inline std::unique_ptr<TempDir> dir_;
    static inline std::unique_ptr<PrivateSnmpd> agent_;
    static inline std::unique_ptr<PrivateCupsd> cupsd_;
    static inline std::string sysfs_;
    static inline bool ok_ = false;
    static inline std::string error_;
};

TEST_F(Discovery, SpoolerQueuesCarryTheirDeviceUris) {
    const auto queues = spoolerQueues();
    ASSERT_EQ(queues.size(), kQueues.size() + 1);
    for (const auto& def : kQueues) {
        auto it = std::find_if(queues.begin(), queues.end(),
                               [&](const SpoolerQueue& q) { return q.name == def.name; });
        ASSERT_NE(it, queues.end()) << def.name;
        EXPECT_EQ(it->deviceUri, def.uri) << def.name;
    }
    auto cls = std::find_if(queues.begin(), queues.end(),
                            [](const SpoolerQueue& q) { return q.name == kClass; });
    ASSERT_NE(cls, queues.end());
    EXPECT_EQ(portKind(cls->deviceUri), PortKind::Other) << cls->deviceUri;
}

TEST_F(Discovery, NetworkUtilityListsEveryReachableKind) {
    const auto entries =
        listPrinterQueues(ts_.state.target, QueueListKind::NetworkUtility, nullptr, options_);
    const std::vector<std::string> expectedOrder =
        inSpoolerOrder({"OKI_C711WT_A_SOCKET", "OKI_C711WT_B_IPP", "OKI_C711WT_C_IPPS",
                        "OKI_C711WT_D_LPD", "OKI_C711WT_E_HTTP", "OKI_C711WT_G_USB",
                        "OKI_C711WT_H_DNSSD", "OKI_C711WT_LOWER", "OKI_C844_SOCKET"});
    ASSERT_EQ(expectedOrder.size(), 9u);
    std::vector<std::string> names;
    for (const auto& e : entries)
        names.push_back(e.queueName);
    EXPECT_EQ(names, expectedOrder);
    for (const auto& e : entries) {
        if (e.queueName == "OKI_C711WT_G_USB") {
            EXPECT_EQ(e.column1, "usb://OKI/C711WT?serial=USB123");
            EXPECT_TRUE(isUsbColumn(e.column1));
            EXPECT_EQ(e.column2, "");
            EXPECT_EQ(e.serial, "USB-SER-9");
        } else {
            // Two printers reporting the same serial number are both listed.
            EXPECT_EQ(e.column1, "127.0.0.1") << e.queueName;
            EXPECT_EQ(e.column2, "127.0.0.1") << e.queueName;
            EXPECT_EQ(e.serial, "AK-2") << e.queueName;
        }
    }
    // The dnssd queue's address was shown on the status line.
    bool wsd = false;
    for (const auto& c : ts_.ui.calls)
        wsd = wsd || c.text == "WSD >> 127.0.0.1";
    EXPECT_TRUE(wsd);
    EXPECT_TRUE(ts_.ui.messages().empty());
}

TEST_F(Discovery, PrinterBoxPassKeepsNameAndSerialOfTheModel) {
    agent_->setAnswers({ans(kSysName, "string", "OKI"), ans(kSerial1, "string", "AK-1")});
    const auto entries =
        listPrinterQueues(ts_.state.target, QueueListKind::PrinterBox, nullptr, options_);
    std::vector<std::string> names;
    for (const auto& e : entries) {
        names.push_back(e.queueName);
        EXPECT_EQ(e.column1, "") << e.queueName;
        EXPECT_EQ(e.column2, "") << e.queueName;
        EXPECT_EQ(e.serial, e.queueName == "OKI_C711WT_G_USB" ? "USB-SER-9" : "AK-1");
    }
    EXPECT_EQ(names, inSpoolerOrder({"OKI_C711WT_A_SOCKET", "OKI_C711WT_B_IPP", "OKI_C711WT_C_IPPS",
                                     "OKI_C711WT_D_LPD", "OKI_C711WT_E_HTTP", "OKI_C711WT_G_USB",
                                     "OKI_C711WT_H_DNSSD", "OKI_C711WT_LOWER"}));
}

TEST_F(Discovery, PrinterBoxSelectsTheSavedPrinter) {
    ASSERT_TRUE(writeSetting(ts_.state.settings, keys::kPrinter, "oki_c711wt_h"));
    PrinterBoxContents box = listPrinterBox(printerBoxRequest(ts_.state), options_);
    ASSERT_EQ(box.items.size(), 8u);
    ASSERT_GE(box.selected, 0);
    EXPECT_EQ(box.items[static_cast<std::size_t>(box.selected)], "OKI_C711WT_H_DNSSD");
    applyPrinterBox(ts_.state, box);
    EXPECT_EQ(ts_.state.window.printerChoice, "OKI_C711WT_H_DNSSD");
    EXPECT_EQ(ts_.state.window.printerList, box.items);

    // A saved printer that is gone: the first item.
    ASSERT_TRUE(writeSetting(ts_.state.settings, keys::kPrinter, "OKI_C711WT_REMOVED"));
    box = listPrinterBox(printerBoxRequest(ts_.state), options_);
    EXPECT_EQ(box.selected, 0);

    // Without an attached USB printer its queue has no serial number and is not offered.
    DiscoveryOptions noUsb = options_;
    noUsb.sysfsRoot = dir_->path + "/no-sys";
    box = listPrinterBox(printerBoxRequest(ts_.state), noUsb);
    EXPECT_EQ(box.items.size(), 7u);
    EXPECT_EQ(std::count(box.items.begin(), box.items.end(), "OKI_C711WT_G_USB"), 0);

    // A model with no queue: an empty box and no selection.
    ts_.state.target.targetModel = "C332";
    box = listPrinterBox(printerBoxRequest(ts_.state), options_);
    EXPECT_TRUE(box.items.empty());
    EXPECT_EQ(box.selected, -1);
    applyPrinterBox(ts_.state, box);
    EXPECT_EQ(ts_.state.window.printerChoice, "");
}

TEST_F(Discovery, UtilityWindowGetsListsAndTheFirstReadout) {
    NetworkUtilityView view;
    const auto entries =
        listPrinterQueues(ts_.state.target, QueueListKind::NetworkUtility, &view, options_);
    ASSERT_FALSE(entries.empty());
    ASSERT_EQ(view.printerList.size(), entries.size());
    ASSERT_EQ(view.addressList.size(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(view.printerList[i], entries[i].queueName);
        EXPECT_EQ(view.addressList[i], entries[i].column1);
    }
    EXPECT_EQ(view.selected, 0);
    EXPECT_TRUE(view.detailsEnabled);
    EXPECT_EQ(view.readout.ipAddress, entries[0].column1);
    EXPECT_EQ(view.readout.serialNumber, "AK-2");
    EXPECT_EQ(view.readout.status, "AK-1");
    EXPECT_EQ(view.readout.addressMethod, "Automatic with WSD (DHCP)");
    EXPECT_EQ(view.readout.pageCount, "---"); // brief readout
}

TEST_F(Discovery, UsbQueueFirstShowsTheUsbView) {
    const std::vector<SpoolerQueue> queues = {{"OKI_C711WT_USB", "usb://OKI/C711WT?serial=1"},
                                              {"OKI_C711WT_NET", "ipp://127.0.0.1/"}};
    NetworkUtilityView view;
    auto entries =
        listPrinterQueues(ts_.state.target, QueueListKind::NetworkUtility, &view, queues, options_);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_FALSE(view.detailsEnabled);
    EXPECT_EQ(view.readout.ipAddress, "usb://OKI/C711WT?serial=1");
    EXPECT_EQ(view.readout.status, "OnLine");
    EXPECT_EQ(view.readout.serialNumber, "USB-SER-9");
    EXPECT_EQ(view.readout.pageCount, "----");
    EXPECT_EQ(view.readout.addressMethod, "----");
    EXPECT_EQ(view.readout.toner[0], "----");
    EXPECT_EQ(view.readout.drum[3], "----");

    // Not attached: OffLine; a Ricoh target shows its model code as the serial number.
    DiscoveryOptions noUsb = options_;
    noUsb.sysfsRoot = dir_->path + "/no-sys";
    setTargetPrinter(ts_.state.target, "C301W");
    ASSERT_EQ(ts_.state.target.targetBrand, "RICOH");
    NetworkUtilityView ricoh;
    const std::vector<SpoolerQueue> ricohQueues = {{"RICOH_C301W_USB", "usb://Ricoh/C301W"}};
    entries = listPrinterQueues(ts_.state.target, QueueListKind::NetworkUtility, &ricoh,
                                ricohQueues, noUsb);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].serial, "");
    EXPECT_EQ(ricoh.readout.status, "OffLine");
    EXPECT_EQ(ricoh.readout.serialNumber, "C301W");
}

TEST_F(Discovery, NothingFoundLeavesEmptyListsAndNotFound) {
    ts_.state.target.targetBrand = "IMEX";
    NetworkUtilityView view;
    const auto entries =
        listPrinterQueues(ts_.state.target, QueueListKind::NetworkUtility, &view, options_);
    EXPECT_TRUE(entries.empty());
    EXPECT_TRUE(view.printerList.empty());
    EXPECT_TRUE(view.addressList.empty());
    EXPECT_EQ(view.selected, -1);
    EXPECT_EQ(view.readout.ipAddress, "");
    EXPECT_EQ(view.readout.status, "Printer not found");
}

// A print server that does not answer is reported in the Status box, not shown as an empty
// list of printers.
TEST_F(Discovery, UnreachableServerIsReportedToTheUtilityWindow) {
    const std::string server = std::getenv("CUPS_SERVER");
    cupsSetServer(dir_->file("no-such-cupsd.sock").c_str());
    NetworkUtilityView view;
    const auto entries =
        listPrinterQueues(ts_.state.target, QueueListKind::NetworkUtility, &view, options_);
    cupsSetServer(server.c_str());
    EXPECT_TRUE(entries.empty());
    EXPECT_TRUE(view.printerList.empty());
    EXPECT_NE(view.readout.status.find("cannot be reached"), std::string::npos)
        << view.readout.status;
}

TEST_F(Discovery, EntryLimitsOfBothCallers) {
    std::vector<SpoolerQueue> many;
    for (int i = 0; i < 35; ++i)
        many.push_back({"OKI_C711WT_N" + std::to_string(100 + i), "ipp://127.0.0.1/ipp/print"});
    const auto all =
        listPrinterQueues(ts_.state.target, QueueListKind::NetworkUtility, nullptr, many, options_);
    ASSERT_EQ(all.size(), 30u);
    EXPECT_EQ(all.front().queueName, "OKI_C711WT_N100");
    EXPECT_EQ(all.back().queueName, "OKI_C711WT_N129");
    const auto box =
        listPrinterQueues(ts_.state.target, QueueListKind::PrinterBox, nullptr, many, options_);
    ASSERT_EQ(box.size(), 10u);
    EXPECT_EQ(box.back().queueName, "OKI_C711WT_N109");
}

TEST_F(Discovery, SilentOrNamelessPrintersAreSkipped) {
    // 127.0.0.2 does not answer (one SNMP timeout); the agent without serial number is not
    // ready; the others are skipped before any request.
    const std::vector<SpoolerQueue> queues = {
        {"OKI_C711WT_FAR", "socket://127.0.0.2:9100"},
        {"OKI_C711WT_NAMED", "socket://printer.invalid:9100"},
        {"OKI_C711WT_NOURI", ""},
        {"OKI_C711WT_NOHOST", "lpd:///queue"},
        {"OKI_C711WT_OTHER", "beh:/1/3/5/socket://127.0.0.1:9100"},
        {"OKI_C711WT_OK", "socket://127.0.0.1:9100"},
    };
    const auto entries = listPrinterQueues(ts_.state.target, QueueListKind::NetworkUtility, nullptr,
                                           queues, options_);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].queueName, "OKI_C711WT_OK");

    agent_->setAnswers({ans(kSysName, "string", "OKI")});
    EXPECT_TRUE(listPrinterQueues(ts_.state.target, QueueListKind::NetworkUtility, nullptr,
                                  {{"OKI_C711WT_OK", "socket://127.0.0.1:9100"}}, options_)
                    .empty());
}

} // namespace
