// The settings layer: every section and key the program keeps in its settings file, named
// once in a table with its type, its default and its range, and the reads and writes through
// it. The file itself is a private-profile file (core/profile_file.h), parsed once and read
// from memory until it changes.
#pragma once

#include "core/profile_file.h"

#include <string>
#include <string_view>
#include <vector>

struct SettingsRecord;
struct ColourAdjustment;
struct TextTable;
struct UserInterface;

// What a key holds.
enum class SettingType {
    Text,   // free text
    Number, // decimal number ("settingValue" rules: what the text starts with)
    Flag,   // "1" on, anything else off
    Path,   // a file or folder path
    Hex,    // hexadecimal digits
    Record, // a record of fields joined by '^'
};

// One key of the settings file.
struct SettingKey {
    std::string_view section;
    std::string_view name;
    SettingType type;
    // What a read gives when the key is missing.
    std::string_view fallback;
    // The range of a number (minimum > maximum: any number).
    double minimum = 1.0;
    double maximum = 0.0;
};

namespace keys {
// Section "Active".
inline constexpr SettingKey kTargetModel{"Active", "Target Model", SettingType::Text, "C711WT"};
inline constexpr SettingKey kProfileIn{"Active", "ICM Profile In", SettingType::Path, ""};
inline constexpr SettingKey kProfileOut{"Active", "ICM Profile Out", SettingType::Path, ""};
inline constexpr SettingKey kUnit{"Active", "Unit", SettingType::Text, "M"};
inline constexpr SettingKey kLanguage{"Active", "Language", SettingType::Text, ""};
// The same key as start-up spells it when it copies the shared choice into a new line.
inline constexpr SettingKey kLanguageCopied{"Active", "language", SettingType::Text, ""};
inline constexpr SettingKey kCrop{"Active", "Crop", SettingType::Flag, ""};
inline constexpr SettingKey kMirror{"Active", "Mirror", SettingType::Flag, "1"};
inline constexpr SettingKey kTray{"Active", "Tray", SettingType::Text, "AUTO"};
inline constexpr SettingKey kTraySwitch{"Active", "TraySwitch", SettingType::Number, "0"};
inline constexpr SettingKey kPaperSize{"Active", "PaperSize", SettingType::Text, "A4"};
inline constexpr SettingKey kWhiteMask{"Active", "White Mask %", SettingType::Number, "100", 0,
                                       255};
inline constexpr SettingKey kWhiteOverlay{"Active", "White Overlay %", SettingType::Number, "2", 0,
                                          255};
inline constexpr SettingKey kDisplayWhite{"Active", "Display", SettingType::Number, "1", 0, 255};
inline constexpr SettingKey kTonerOn{"Active", "TonerOn", SettingType::Number, "1", 0, 255};
inline constexpr SettingKey kMptOffset{"Active", "MPT Offset", SettingType::Number, "0"};
inline constexpr SettingKey kTray1Offset{"Active", "Tray1 Offset", SettingType::Number, "0"};
inline constexpr SettingKey kPrinter{"Active", "Printer", SettingType::Text, ""};
// Margins in hundredths of a point, and the copies the margins dialog keeps of them.
inline constexpr SettingKey kTopMargin{"Active", "Top Margin", SettingType::Number, ""};
inline constexpr SettingKey kLeftMargin{"Active", "Left Margin", SettingType::Number, ""};
inline constexpr SettingKey kRightMargin{"Active", "Right Margin", SettingType::Number, ""};
inline constexpr SettingKey kBottomMargin{"Active", "Bottom Margin", SettingType::Number, ""};
inline constexpr SettingKey kTopMarginBackup{"Active", "Top Margin Backup", SettingType::Number,
                                             ""};
inline constexpr SettingKey kLeftMarginBackup{"Active", "Left Margin Backup", SettingType::Number,
                                              ""};
inline constexpr SettingKey kRightMarginBackup{"Active", "Right Margin Backup", SettingType::Number,
                                               ""};
inline constexpr SettingKey kBottomMarginBackup{"Active", "Bottom Margin Backup",
                                                SettingType::Number, ""};
inline constexpr SettingKey kShapeLibrary{"Active", "Shape Library", SettingType::Path, ""};
// The main window's last place and size, and the preview's width, in pixels.
inline constexpr SettingKey kWindowX{"Active", "L_Used_X", SettingType::Number, ""};
inline constexpr SettingKey kWindowY{"Active", "L_Used_Y", SettingType::Number, ""};
inline constexpr SettingKey kWindowWidth{"Active", "L_Used_W", SettingType::Number, ""};
inline constexpr SettingKey kWindowHeight{"Active", "L_Used_H", SettingType::Number, ""};
inline constexpr SettingKey kPreviewWidth{"Active", "T_Used_W", SettingType::Number, ""};
// Other sections.
inline constexpr SettingKey kVersion{"INI_INF", "Version", SettingType::Number, "OKI C711"};
inline constexpr SettingKey kColourAdjust{"KYMC", "Profile", SettingType::Hex, "0"};
inline constexpr SettingKey kLeftHand{"Others", "LeftHand", SettingType::Flag, ""};
inline constexpr SettingKey kRightHand{"Others", "RightHand", SettingType::Flag, ""};
inline constexpr SettingKey kLastConfig{"Directory", "Last Config", SettingType::Path, ""};
// Custom paper sizes: "Number" of them, each "Custom" + its number (1 ..).
inline constexpr SettingKey kCustomPaperCount{"Papers", "Number", SettingType::Number, ""};
inline constexpr SettingKey kCustomPaper{"Papers", "Custom", SettingType::Record, ""};
// Pattern print, lengths in millimetres.
inline constexpr SettingKey kPatternShape{"RIP Patten Setup", "Shape", SettingType::Text,
                                          "Ellipse"};
inline constexpr SettingKey kPatternSizeX{"RIP Patten Setup", "SizeX", SettingType::Number, ""};
inline constexpr SettingKey kPatternSizeY{"RIP Patten Setup", "SizeY", SettingType::Number, ""};
inline constexpr SettingKey kPatternGap{"RIP Patten Setup", "Gap", SettingType::Number, ""};
inline constexpr SettingKey kPatternScreen{"RIP Patten Setup", "Screen", SettingType::Number, "45"};
inline constexpr SettingKey kPatternMask{"RIP Patten Setup", "Mask", SettingType::Flag, "0"};
inline constexpr SettingKey kImportFolder{"Pattern", "AIPath", SettingType::Path, ""};
// The network utility's choice, in the shared settings file.
inline constexpr SettingKey kUtilityModel{"Printer", "Model", SettingType::Text, ""};
inline constexpr SettingKey kUtilityPort{"Printer", "Port", SettingType::Text, ""};
// The four margins and their backups, in the order top, left, right, bottom.
inline constexpr const SettingKey* kMargins[4] = {&kTopMargin, &kLeftMargin, &kRightMargin,
                                                  &kBottomMargin};
inline constexpr const SettingKey* kMarginBackups[4] = {&kTopMarginBackup, &kLeftMarginBackup,
                                                        &kRightMarginBackup, &kBottomMarginBackup};
} // namespace keys

// The key's value, or the table's fallback when it is missing.
std::string readSetting(const ProfileFile& file, const SettingKey& key);
// The same with another fallback (a snapshot's own defaults, say).
std::string readSetting(const ProfileFile& file, const SettingKey& key, std::string_view fallback);
// The number the value (or the fallback) starts with, 0 when it starts with none, held in the
// key's range when it has one.
double readSettingNumber(const ProfileFile& file, const SettingKey& key);
// Writes the key; a failure is reported through the file's failure handler and the value is
// simply not stored. True on success.
bool writeSetting(ProfileFile& file, const SettingKey& key, std::string_view value);
// writeSetting with settingNumber(value).
bool writeSettingNumber(ProfileFile& file, const SettingKey& key, long long value);
// Removes the key; true on success (also when it was not there).
bool deleteSetting(ProfileFile& file, const SettingKey& key);

// Keys numbered within a family (kCustomPaper: "Custom1", "Custom2" ...).
std::string readSetting(const ProfileFile& file, const SettingKey& family, int index);
bool writeSetting(ProfileFile& file, const SettingKey& family, int index, std::string_view value);
bool deleteSetting(ProfileFile& file, const SettingKey& family, int index);

// Decimal text of a number as the program writes it into settings: a leading blank when the
// number is not negative (" 0", " 12", "-3").
std::string settingNumber(long long value);

// Numeric value of a setting text as the platform reads numbers: leading blanks skipped, then
// an optional sign and decimal digits with an optional fraction; anything else ends the number.
// Returns 0 when the text does not start with a number.
double settingValue(std::string_view text);

// Fills the settings record, the colour adjustment (and its curves) and the language file
// name from the settings file.
void readSettingsRecord(const ProfileFile& file, SettingsRecord& record, ColourAdjustment& colour,
                        TextTable& texts);

// True when the settings file is larger than kMaxSettingsFileBytes: it is reported once per
// path (with the path) through ui and never read or rewritten; the caller runs on the
// defaults.
bool reportOversizedSettings(const ProfileFile& file, UserInterface* ui);
