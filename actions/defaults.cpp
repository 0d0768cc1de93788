#include "actions/defaults.h"

#include "actions/app_state.h"
#include "core/texts.h"
#include "core/tone_curves.h"
#include "image/placement.h"
#include "model/paper.h"
#include "model/models.h"
#include "settings/recent_files.h"
#include "settings/settings.h"

#include <sys/stat.h>
#include <unistd.h>

void createDefaultSettings(AppState& state) {
    if (!state.locations.userFolder.empty()) ::mkdir(state.locations.userFolder.c_str(), 0700);
    writeSetting(state.settings, keys::kVersion, "1.0");
    writeSetting(state.settings, keys::kTray, "AUTO");
    writeSetting(state.settings, keys::kPaperSize, "A4");
    writeSettingNumber(state.settings, keys::kTraySwitch, 0);
    writeSetting(state.settings, keys::kWhiteMask, "100");
    writeSetting(state.settings, keys::kWhiteOverlay, "2");
    writeSettingNumber(state.settings, keys::kMirror, 1);
    writeSettingNumber(state.settings, keys::kDisplayWhite, 1);
    writeSettingNumber(state.settings, keys::kTonerOn, 1);
    writeSetting(state.settings, keys::kProfileOut,
                 state.locations.programFolder +
                     defaultOutputProfile(state.target.targetModel, true));
    writeSetting(state.settings, keys::kProfileIn, "sRGB.icm");
    writeSetting(state.settings, keys::kUnit, "M");
    writeSetting(state.settings, keys::kMptOffset, "0");
    writeSetting(state.settings, keys::kTray1Offset, "0");
    writeSetting(state.settings, keys::kColourAdjust, defaultColourAdjustText(state.target));
}

namespace {

// The settings record with the recent-file record read with it.
void readRecord(AppState& state) {
    readSettingsRecord(state.settings, state.record, state.colour, state.language);
    readRecentFiles(state.recent, state.locations.recentFilesPath, state.ui);
}

} // namespace

void ensureSettings(AppState& state) {
    if (reportOversizedSettings(state.settings, state.ui)) {
        readRecord(state);
        return;
    }
    if (::access(state.locations.settingsPath.c_str(), F_OK) != 0) {
        createDefaultSettings(state);
        readRecord(state);
        return;
    }
    readRecord(state);
    if (1.0f > state.record.settingsVersion) {
        createDefaultSettings(state);
        readRecord(state);
    }
}

void writeModelMargins(AppState& state) {
    const ModelMargins m = modelMargins(state.target);
    writeSettingNumber(state.settings, keys::kTopMargin, m.top);
    writeSettingNumber(state.settings, keys::kLeftMargin, m.left);
    writeSettingNumber(state.settings, keys::kRightMargin, m.right);
    writeSettingNumber(state.settings, keys::kBottomMargin, m.bottom);
}

void loadDefaults(AppState& state) {
    setColourAdjustFromText(state.colour, defaultColourAdjustText(state.target));
    rebuildColourCurveTable(state.colour);
    state.layout.brightness = 0;
    state.layout.contrast = 0;
    state.window.copiesText = "1";
    state.layout.copies = 1;
    writeModelMargins(state);
    writeSetting(state.settings, keys::kRightHand, "1");
    writeSetting(state.settings, keys::kLeftHand, "0");
    state.record.rightHand = 1;
    state.record.leftHand = 0;
    // The tray box selects "MultiPurpose Tray", or its first entry when that is missing.
    const std::string& mpt = text(state.language, kTextTrayMultiPurpose);
    bool found = false;
    for (const auto& t : state.page.trayList)
        if (t == mpt) found = true;
    if (found || state.page.trayList.empty())
        state.page.trayText = mpt;
    else
        state.page.trayText = state.page.trayList.front();
    restoreMargins(state.settings, state.page);
    handleOversize(state.layout, state.page, state.picture);
    createDefaultSettings(state);
    writeSetting(state.settings, keys::kProfileIn, state.locations.programFolder + "sRGB.ICM");
    writeSetting(state.settings, keys::kProfileOut,
                 state.locations.programFolder +
                     loadDefaultsOutputProfile(state.target.targetModel));
}
