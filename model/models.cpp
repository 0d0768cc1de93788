#include "model/models.h"

#include "core/strings.h"
#include "settings/settings.h"

#include <algorithm>
#include <dirent.h>
#include <fstream>

namespace {

std::string readFirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\n'))
        line.pop_back();
    return line;
}

} // namespace

const std::vector<PrinterModel>& printerModels() {
    static const std::vector<PrinterModel> table = {
        {"C321", "OKI", "06bc", "02ec"},    {"C331", "OKI", "06bc", "02da"},
        {"C332", "OKI", "06bc", "037e"},    {"MC363", "OKI", "06bc", "0382"},
        {"C650", "OKI", "06bc", "03a8"},    {"C612", "OKI", "06bc", "038a"},
        {"C610", "OKI", "06bc", "0214"},    {"C711", "OKI", "06bc", "021a"},
        {"C843", "OKI", "06bc", "038e"},    {"C844", "OKI", "06bc", "03a4"},
        {"C831", "OKI", "06bc", "02b0"},    {"C833", "OKI", "06bc", "038f"},
        {"C834", "OKI", "06bc", "03a2"},    {"M277", "HP", "03f0", "3b2a"},
        {"C300W", "RICOH", "05ca", "046f"}, {"C301W", "RICOH", "05ca", "046f"},
        {"C311W", "RICOH", "05ca", "047e"}, {"C251FW", "RICOH", "05ca", "047f"},
    };
    return table;
}

const PrinterModel* findPrinterModel(std::string_view targetModel) {
    const std::string m = upperAscii(targetModel);
    for (const auto& row : printerModels())
        if (contains(m, row.modelCode)) return &row;
    return nullptr;
}

std::string usbIdentifier(std::string_view targetModel) {
    const PrinterModel* row = findPrinterModel(targetModel);
    if (!row) return "nomodel";
    return std::string("vid_") + row->usbVendor + "&pid_" + row->usbProduct;
}

bool isSecondFamilyModel(std::string_view targetModel) {
    const std::string m = upperAscii(targetModel);
    const PrinterModel* row = findPrinterModel(m);
    // "C360" has no table row but is a second-family printer.
    return row ? std::string_view(row->brand) == "RICOH" : contains(m, "C360");
}

bool isSecondFamily(const TargetPrinter& target) {
    return contains(upperAscii(target.targetBrand), "RICOH") ||
           isSecondFamilyModel(target.targetModel);
}

int printerClass(const TargetPrinter& target) {
    return printerClassOf(target.targetModel, "8432");
}

int printerClassOf(std::string_view model, std::string_view proCode) {
    if (contains(model, proCode)) return 3;
    if (contains(model, "C650")) return 4;
    if (contains(model, "C300W") || contains(model, "C301W") || contains(model, "C311W")) return 5;
    if (contains(model, "C8")) return 2;
    return 0;
}

std::array<MarginMinimum, 4> marginMinimums(const TargetPrinter& target) {
    if (contains(target.targetModel, "C650"))
        return {{{1301, "1296"}, {1301, "1296"}, {1301, "1296"}, {1296, "1307"}}};
    if (isSecondFamily(target))
        return {{{1200, "1200"}, {1284, "1284"}, {1236, "1236"}, {1213, "1213"}}};
    return {{{1296, "1296"}, {1296, "1296"}, {1296, "1296"}, {1308, "1307"}}};
}

ModelMargins modelMargins(const TargetPrinter& target) {
    if (contains(target.targetModel, "C650")) return {1301, 1301, 1301, 1296};
    if (isSecondFamily(target)) return {1200, 1284, 1236, 1213};
    return {1296, 1296, 1296, 1307};
}

std::string defaultOutputProfile(std::string_view targetModel, bool with844) {
    const std::string m = upperAscii(targetModel);
    struct Row {
        const char* code;
        const char* profile;
    };
    static const Row rows[] = {
        {"332", "OKC332P2.ICM"}, {"331", "OKC331P2.ICM"}, {"711", "OKC711P2.ICM"},
        {"712", "OKC833P2.ICM"}, {"831", "OKC831P2.ICM"}, {"833", "OKC833P2.ICM"},
        {"844", "OKC833P2.ICM"}, {"610", "OKC610P2.ICM"}, {"612", "OKC612P2.ICM"},
        {"650", "OKC650P2.ICM"},
    };
    for (const auto& r : rows) {
        if (!with844 && std::string_view(r.code) == "844") continue;
        if (contains(m, r.code)) return r.profile;
    }
    if (isSecondFamilyModel(m)) return "RCSPC11E1C.icm";
    return "OKC332P2.ICM";
}

std::string loadDefaultsOutputProfile(std::string_view targetModel) {
    if (contains(upperAscii(targetModel), "WT")) return "OKC332P2.ICM";
    return defaultOutputProfile(targetModel, true);
}

std::string defaultColourAdjustText(const TargetPrinter& target) {
    return defaultColourAdjustText(isSecondFamily(target));
}

std::string defaultColourAdjustText(bool secondFamily) {
    return secondFamily ? "FFFFBCF4460C0000FFFFBCF4460C0000FFFFBCF4460C0000"
                        : "FFFDA5A557560000FFFDA5A557560000FFFDA5A557560000";
}

const std::vector<std::string>& offeredModelCodes() {
    static const std::vector<std::string> codes = {
        "C711WT",    "PRO8432WT", "C711",  "C712",  "C610",  "C612",  "C650",   "C332",
        "C331",      "C321",      "MC363", "C831",  "C833",  "C834",  "C843",   "C844",
        "PRO9420WT", "PRO920WT",  "M277",  "C300W", "C301W", "C311W", "C251FW", "C360",
    };
    return codes;
}

void setTargetPrinter(TargetPrinter& target, std::string_view modelCode) {
    std::string m = upperAscii(modelCode);
    while (!m.empty() && m.back() == ' ')
        m.pop_back();
    for (const char* longForm : {"PC300W", "PC301W", "PC311W", "PC251FW"})
        if (m == longForm) m.erase(0, 1);
    if (m.empty()) m = "C711WT";
    target.targetModel = m;
    const PrinterModel* row = findPrinterModel(m);
    if (row)
        target.targetBrand = row->brand;
    else
        target.targetBrand = isSecondFamilyModel(m) ? "RICOH" : "OKI";
}

void loadTargetPrinter(TargetPrinter& target, const ProfileFile& settings) {
    setTargetPrinter(target, readSetting(settings, keys::kTargetModel));
}

UsbPrinter findUsbPrinter(std::string_view targetModel, const std::string& sysfsRoot) {
    UsbPrinter result;
    const PrinterModel* row = findPrinterModel(targetModel);
    if (!row) return result; // "nomodel" finds nothing
    const std::string devices = sysfsRoot + "/bus/usb/devices";
    DIR* dir = ::opendir(devices.c_str());
    if (!dir) return result;
    // Directory order is arbitrary; sorting keeps the first match the same on every run.
    std::vector<std::string> names;
    while (dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    for (const auto& name : names) {
        const std::string base = devices + "/" + name + "/";
        const std::string vid = lowerAscii(readFirstLine(base + "idVendor"));
        const std::string pid = lowerAscii(readFirstLine(base + "idProduct"));
        if (vid != row->usbVendor || pid != row->usbProduct) continue;
        result.found = "1";
        result.connection = "USB";
        result.modelCode = row->modelCode;
        result.serial = readFirstLine(base + "serial");
        result.identifier = "VID_" + upperAscii(vid) + "&PID_" + upperAscii(pid);
        break;
    }
    return result;
}
