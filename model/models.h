// The printer model table and the rules derived from the target model.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "core/profile_file.h"
#include "core/state.h"

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

// True for a model of the second printer family (the Ricoh models "C300W", "C301W",
// "C311W", "C251FW" and "C360"): the brand setTargetPrinter gives it is "RICOH".
bool isSecondFamilyModel(std::string_view targetModel);

// The one test of the printer family: true when the target brand is "RICOH" or the target
// model is a second-family model. Job writer, colour adjustment defaults, margins by model,
// media and paper source lists all ask this.
bool isSecondFamily(const TargetPrinter& target);

// Printer class used to choose paper lists and custom size ranges: 3 for "8432", 4 for
// "C650", 5 for "C300W"/"C301W"/"C311W", 2 for any other "C8", else 0.
int printerClass(const TargetPrinter& target);
// The same rule for a model code, with the code that marks class 3 (the custom size ranges
// know the Pro8432WT only by its full code "8432WT").
int printerClassOf(std::string_view model, std::string_view proCode);

// The printer's minimum margin (hundredths of a point) and the text a margin below it is
// replaced with, in the order top, left, right, bottom.
struct MarginMinimum {
    int hundredths;
    std::string_view replacement;
};
std::array<MarginMinimum, 4> marginMinimums(const TargetPrinter& target);

// The margins of the target model in hundredths of a point: "C650" 1301, 1301, 1301, 1296;
// second family 1200, 1284, 1236, 1213; every other model 1296, 1296, 1296, 1307.
struct ModelMargins {
    int top, left, right, bottom;
};
ModelMargins modelMargins(const TargetPrinter& target);

// Default output profile file name for the model; with844 selects the table variant that
// has the "844" row (settings defaults) or not (start-up).
std::string defaultOutputProfile(std::string_view targetModel, bool with844);

// The profile "Load Defaults" writes: "OKC332P2.ICM" for any model containing "WT", else the
// table with the "844" row.
std::string loadDefaultsOutputProfile(std::string_view targetModel);

// The family default colour adjustment text (48 hex digits).
std::string defaultColourAdjustText(bool secondFamily);
// The default of the target printer's family.
std::string defaultColourAdjustText(const TargetPrinter& target);

// Full model codes offered to the user, each carrying the substrings the rules test.
const std::vector<std::string>& offeredModelCodes();

// Sets targetModel (upper-cased; a Ricoh long form "PC300W" … is stored without the "P") and
// targetBrand from its table row ("OKI" when no row matches).
void setTargetPrinter(TargetPrinter& target, std::string_view modelCode);

// Reads the target model from section "Active" key "Target Model" (default "C711WT").
void loadTargetPrinter(TargetPrinter& target, const ProfileFile& settings);

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
