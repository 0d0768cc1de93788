// The printer model table and the rules derived from the target model.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct AppState;

struct PrinterModel {
    const char* modelCode; // substring tested against the target model
    const char* brand;     // "OKI", "HP" or "RICOH"
    const char* usbVendor; // lower-case hex, 4 digits
    const char* usbProduct;
};

// The table in lookup order.
const std::vector<PrinterModel>& printerModels();

// First row whose model code is contained in targetModel (upper-cased); null when none.
const PrinterModel* findPrinterModel(std::string_view targetModel);

// "vid_06bc&pid_021a" for the row of targetModel, "nomodel" when no row matches.
std::string usbIdentifier(std::string_view targetModel);

// True for the second family's models ("C300W", "C301W", "C311W", "C251FW").
bool isSecondFamilyModel(std::string_view targetModel);

// Default output profile file name for the model; with844 selects the table variant that
// has the "844" row (settings defaults) or not (start-up).
std::string defaultOutputProfile(std::string_view targetModel, bool with844);

// The profile "Load Defaults" writes: "OKC332P2.ICM" for any model containing "WT", else the
// table with the "844" row.
std::string loadDefaultsOutputProfile(std::string_view targetModel);

// The family default colour adjustment text (48 hex digits).
std::string defaultColourAdjustText(bool secondFamily);

// Full model codes offered to the user, each carrying the substrings the rules test.
const std::vector<std::string>& offeredModelCodes();

// Sets targetModel (upper-cased; a Ricoh long form "PC300W" … is stored without the "P") and
// targetBrand from its table row ("OKI" when no row matches).
void setTargetPrinter(AppState& state, std::string_view modelCode);

// Reads the target model from section "Active" key "Target Model" (default "C711WT").
void loadTargetPrinter(AppState& state);

// The found record of a USB-attached printer.
struct UsbPrinter {
    std::string found;      // "1" when found, else empty
    std::string connection; // "USB"
    std::string modelCode;  // model code of the matching table row
    std::string serial;
    std::string identifier; // "VID_06BC&PID_021A"
};

// Looks through sysfsRoot + "/bus/usb/devices/*/" (idVendor, idProduct, serial) for a device
// of the target model's table row. Not found (found empty) when no row matches or nothing
// can be read.
UsbPrinter findUsbPrinter(std::string_view targetModel, const std::string& sysfsRoot = "/sys");
