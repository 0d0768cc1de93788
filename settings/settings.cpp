#include "settings/settings.h"
#include "settings/settings_testing.h"

#include "core/numbers.h"
#include "core/state.h"
#include "core/tone_curves.h"
#include "core/ui.h"

#include <algorithm>
#include <string>

namespace {

std::string indexedName(const SettingKey& family, int index) {
    return std::string(family.name) + std::to_string(index);
}

double heldInRange(const SettingKey& key, double v) {
    if (key.minimum > key.maximum) return v;
    return std::clamp(v, key.minimum, key.maximum);
}

} // namespace

const std::vector<const SettingKey*>& settingKeys() {
    using namespace keys;
    static const std::vector<const SettingKey*> all = {
        &kTargetModel,
        &kProfileIn,
        &kProfileOut,
        &kUnit,
        &kLanguage,
        &kLanguageCopied,
        &kCrop,
        &kMirror,
        &kTray,
        &kTraySwitch,
        &kPaperSize,
        &kWhiteMask,
        &kWhiteOverlay,
        &kDisplayWhite,
        &kTonerOn,
        &kMptOffset,
        &kTray1Offset,
        &kPrinter,
        &kTopMargin,
        &kLeftMargin,
        &kRightMargin,
        &kBottomMargin,
        &kTopMarginBackup,
        &kLeftMarginBackup,
        &kRightMarginBackup,
        &kBottomMarginBackup,
        &kShapeLibrary,
        &kWindowX,
        &kWindowY,
        &kWindowWidth,
        &kWindowHeight,
        &kPreviewWidth,
        &kVersion,
        &kColourAdjust,
        &kLeftHand,
        &kRightHand,
        &kLastConfig,
        &kCustomPaperCount,
        &kCustomPaper,
        &kPatternShape,
        &kPatternSizeX,
        &kPatternSizeY,
        &kPatternGap,
        &kPatternScreen,
        &kPatternMask,
        &kImportFolder,
        &kUtilityModel,
        &kUtilityPort,
    };
    return all;
}

std::string readSetting(const ProfileFile& file, const SettingKey& key) {
    return file.read(key.section, key.name, key.fallback);
}

std::string readSetting(const ProfileFile& file, const SettingKey& key, std::string_view fallback) {
    return file.read(key.section, key.name, fallback);
}

double readSettingNumber(const ProfileFile& file, const SettingKey& key) {
    return heldInRange(key, settingValue(readSetting(file, key)));
}

bool writeSetting(ProfileFile& file, const SettingKey& key, std::string_view value) {
    return file.write(key.section, key.name, value) == 0;
}

bool writeSettingNumber(ProfileFile& file, const SettingKey& key, long long value) {
    return writeSetting(file, key, settingNumber(value));
}

bool deleteSetting(ProfileFile& file, const SettingKey& key) {
    return file.remove(key.section, key.name) == 0;
}

std::string readSetting(const ProfileFile& file, const SettingKey& family, int index) {
    return file.read(family.section, indexedName(family, index), family.fallback);
}

bool writeSetting(ProfileFile& file, const SettingKey& family, int index, std::string_view value) {
    return file.write(family.section, indexedName(family, index), value) == 0;
}

bool deleteSetting(ProfileFile& file, const SettingKey& family, int index) {
    return file.remove(family.section, indexedName(family, index)) == 0;
}

std::string settingNumber(long long value) {
    return value < 0 ? std::to_string(value) : " " + std::to_string(value);
}

double settingValue(std::string_view s) {
    return leadingNumber(s);
}

void readSettingsRecord(const ProfileFile& file, SettingsRecord& record, ColourAdjustment& colour,
                        TextTable& texts) {
    auto byte = [&](const SettingKey& key) {
        return static_cast<std::uint8_t>(readSettingNumber(file, key));
    };
    record.settingsVersion = static_cast<float>(readSettingNumber(file, keys::kVersion));
    record.whiteMaskPercent = byte(keys::kWhiteMask);
    record.whiteOverlayPercent = byte(keys::kWhiteOverlay);
    record.displayWhite = byte(keys::kDisplayWhite);
    record.tonerOn = byte(keys::kTonerOn);
    setColourAdjustFromText(colour, readSetting(file, keys::kColourAdjust));
    rebuildColourCurveTable(colour);

    texts.languageFile = readSetting(file, keys::kLanguage);
    record.unit = unitFromSetting(readSetting(file, keys::kUnit));
    record.leftHand = static_cast<int>(readSettingNumber(file, keys::kLeftHand));
    record.rightHand = static_cast<int>(readSettingNumber(file, keys::kRightHand));
}

bool reportOversizedSettings(const ProfileFile& file, UserInterface* ui) {
    if (!file.oversized()) return false;
    // Damaged beyond use: reported once, with its path; the program runs on the defaults and
    // leaves the file as it is (it is never rewritten).
    if (firstReportOfOversize(file.path()) && ui)
        ui->showMessage(MessageIcon::Error, "Lumivane",
                        file.path() + "\r\nis larger than " +
                            std::to_string(kMaxSettingsFileBytes >> 20) +
                            " MB and was not read; the defaults are used");
    return true;
}
