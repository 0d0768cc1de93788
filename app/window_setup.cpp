#include "app/window_setup.h"

#include "app/app_state.h"
#include "app/texts.h"
#include "app/tone_curves.h"
#include "app/ui.h"
#include "image/paper.h"
#include "image/separation.h"
#include "settings/settings.h"

namespace {

void setText(AppState& state, int n, const char* value) {
    if (state.texts.size() <= static_cast<std::size_t>(n))
        state.texts.resize(static_cast<std::size_t>(n) + 1);
    state.texts[static_cast<std::size_t>(n)] = value;
}

void writeWhenMissing(AppState& state, const char* section, const char* key, const char* value) {
    if (readSetting(state, section, key).empty()) writeSetting(state, section, key, value);
}

} // namespace

std::vector<std::string> buildMediaList(AppState& state) {
    const bool second = state.targetBrand.find("RICOH") != std::string::npos;
    static const char* const firstNames[] = {
        "Printer Setting", "Light",         "Medium Light", "Medium",   "Heavy",  "Ultra Heavy 1",
        "Ultra Heavy 2",   "Ultra Heavy 3", "Labels 1",     "Labels 2", "Glossy", "Films"};
    static const char* const secondNames[] = {"Auto (Plain&Recycled)",
                                              "Bond",
                                              "Color",
                                              "Thin",
                                              "Plain 2",
                                              "Middle Thick",
                                              "Thick 1",
                                              "Thick 2",
                                              "CardStock",
                                              "Labels",
                                              "Glossy"};
    if (second)
        for (int i = 0; i < 11; ++i)
            setText(state, 101 + i, secondNames[i]);
    else
        for (int i = 0; i < 12; ++i)
            setText(state, 101 + i, firstNames[i]);

    std::vector<std::string> list;
    list.push_back(text(state, 101));
    for (int n : {114, 115, 194, 196, 198, 117, 118, 195, 116, 120, 113, 141})
        list.push_back(text(state, n));
    for (int n = 102; n <= 111; ++n)
        list.push_back(text(state, n));
    if (!second) list.push_back(text(state, 112));
    if (state.targetModel.find("C844") != std::string::npos)
        for (const char* u : {"Usertype1", "Usertype2", "Usertype3"})
            list.push_back(u);
    return list;
}

void setUpMainWindowState(AppState& state) {
    ensureSettings(state);
    writeWhenMissing(state, "RIP Patten Setup", "SizeX", "2");
    writeWhenMissing(state, "RIP Patten Setup", "SizeY", "2");
    writeWhenMissing(state, "RIP Patten Setup", "Gap", "1");
    writeWhenMissing(state, "RIP Patten Setup", "Screen", "45");
    writeWhenMissing(state, "RIP Patten Setup", "Shape", "Ellipse");

    state.windowTitle = text(state, 0);
    state.mediaList = buildMediaList(state);
    state.mediaText = state.mediaList.empty() ? std::string() : state.mediaList.front();
    fillTrayList(state);
    if (state.trayList.empty()) {
        state.trayList = {text(state, 121), text(state, 122), text(state, 123)};
        state.trayText = state.trayList.front();
    }

    // The paper starts as A4 whatever the list holds.
    state.paperWidthPt = 595;
    state.paperHeightPt = 842;
    buildPaperList(state);
    enforceMargins(state);
    if (!state.paperText.empty()) selectPaper(state, state.paperText);

    chooseInkThresholds(state);
    rebuildColourCurveTable(state);
    state.mirrorChecked = settingValue(readSetting(state, "Active", "Mirror", "1")) != 0.0;
    state.copiesText = "1";
    state.xCopiesText = state.yCopiesText = state.totalCopiesText = "1";
    state.brightness = state.contrast = 0;
    state.imageLoaded = 0;
    setStatus(state, 32);
}
