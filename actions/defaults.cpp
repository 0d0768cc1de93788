#include "actions/defaults.h"

#include "core/app_state.h"
#include "core/texts.h"
#include "core/tone_curves.h"
#include "image/paper.h"
#include "model/models.h"
#include "settings/settings.h"

#include <sys/stat.h>
#include <unistd.h>

void createDefaultSettings(AppState& state) {
    if (!state.locations.userFolder.empty()) ::mkdir(state.locations.userFolder.c_str(), 0700);
    writeSetting(state, "INI_INF", "Version", "1.0");
    writeSetting(state, "Active", "Tray", "AUTO");
    writeSetting(state, "Active", "PaperSize", "A4");
    writeSettingNumber(state, "Active", "TraySwitch", 0);
    writeSetting(state, "Active", "White Mask %", "100");
    writeSetting(state, "Active", "White Overlay %", "2");
    writeSettingNumber(state, "Active", "Mirror", 1);
    writeSettingNumber(state, "Active", "Display", 1);
    writeSettingNumber(state, "Active", "TonerOn", 1);
    writeSetting(state, "Active", "ICM Profile Out",
                 state.locations.programFolder +
                     defaultOutputProfile(state.target.targetModel, true));
    writeSetting(state, "Active", "ICM Profile In", "sRGB.icm");
    writeSetting(state, "Active", "Unit", "M");
    writeSetting(state, "Active", "MPT Offset", "0");
    writeSetting(state, "Active", "Tray1 Offset", "0");
    writeSetting(state, "KYMC", "Profile", defaultColourAdjustText(state));
}

void ensureSettings(AppState& state) {
    if (reportOversizedSettings(state)) {
        readSettingsRecord(state);
        return;
    }
    if (::access(state.locations.settingsPath.c_str(), F_OK) != 0) {
        createDefaultSettings(state);
        readSettingsRecord(state);
        return;
    }
    readSettingsRecord(state);
    if (1.0f > state.record.settingsVersion) {
        createDefaultSettings(state);
        readSettingsRecord(state);
    }
}

void writeModelMargins(AppState& state) {
    const ModelMargins m = modelMargins(state);
    writeSettingNumber(state, "Active", "Top Margin", m.top);
    writeSettingNumber(state, "Active", "Left Margin", m.left);
    writeSettingNumber(state, "Active", "Right Margin", m.right);
    writeSettingNumber(state, "Active", "Bottom Margin", m.bottom);
}

void loadDefaults(AppState& state) {
    setColourAdjustFromText(state, defaultColourAdjustText(state));
    rebuildColourCurveTable(state);
    state.layout.brightness = 0;
    state.layout.contrast = 0;
    state.window.copiesText = "1";
    writeModelMargins(state);
    writeSetting(state, "Others", "RightHand", "1");
    writeSetting(state, "Others", "LeftHand", "0");
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
    restoreMargins(state);
    createDefaultSettings(state);
    writeSetting(state, "Active", "ICM Profile In", state.locations.programFolder + "sRGB.ICM");
    writeSetting(state, "Active", "ICM Profile Out",
                 state.locations.programFolder +
                     loadDefaultsOutputProfile(state.target.targetModel));
}
