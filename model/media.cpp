#include "model/media.h"

#include "core/app_state.h"
#include "core/strings.h"
#include "core/texts.h"
#include "model/models.h"

#include <algorithm>
#include <array>

namespace {

// Interface text numbers of "Transfer media 01" .. "Transfer media 17".
constexpr std::array<int, 17> kTransferMediaTexts = {113, 114, 115, 116, 117, 118, 119, 120, 140,
                                                     141, 142, 170, 194, 195, 196, 198, 199};

void setText(AppState& state, int n, const char* value) {
    if (state.language.texts.size() <= static_cast<std::size_t>(n))
        state.language.texts.resize(static_cast<std::size_t>(n) + 1);
    state.language.texts[static_cast<std::size_t>(n)] = value;
}

} // namespace

std::vector<int> buildMediaIds(AppState& state) {
    const bool second = isSecondFamily(state);
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

    std::vector<int> ids = {
        kMediaPrinterSetting, 114, 115, 194, 196, 198, 117, 118, 195, 116, 120, 113, 141};
    for (int n = 102; n <= 111; ++n)
        ids.push_back(n);
    if (!second) ids.push_back(112);
    if (contains(state.target.targetModel, "C844"))
        for (int u = 1; u <= 3; ++u)
            ids.push_back(kUserTypeMedia + u);
    return ids;
}

std::string mediaLabel(const AppState& state, int mediaId) {
    if (int u = userTypeNumber(mediaId)) return "Usertype" + std::to_string(u);
    if (mediaId <= 0 || mediaId >= kUserTypeMedia) return {};
    return text(state.language, mediaId);
}

void fillMediaList(AppState& state) {
    state.page.mediaIds = buildMediaIds(state);
    state.window.mediaList.clear();
    for (int id : state.page.mediaIds)
        state.window.mediaList.push_back(mediaLabel(state, id));
}

bool selectMedium(AppState& state, int mediaId) {
    if (std::find(state.page.mediaIds.begin(), state.page.mediaIds.end(), mediaId) ==
        state.page.mediaIds.end())
        return false;
    state.page.mediaId = mediaId;
    return true;
}

int findMedium(const AppState& state, std::string_view name) {
    if (name.empty()) return 0;
    for (int id : state.page.mediaIds)
        if (mediaLabel(state, id) == name) return id;
    for (int id : state.page.mediaIds)
        if (id < kUserTypeMedia && builtInText(id) == name) return id;
    return 0;
}

int transferMediaNumber(int mediaId) {
    for (std::size_t i = 0; i < kTransferMediaTexts.size(); ++i)
        if (kTransferMediaTexts[i] == mediaId) return static_cast<int>(i) + 1;
    return 0;
}

bool isPrinterSettingMedium(int mediaId) {
    return mediaId >= 101 && mediaId <= 112;
}

int userTypeNumber(int mediaId) {
    return mediaId > kUserTypeMedia && mediaId <= kUserTypeMedia + 3 ? mediaId - kUserTypeMedia : 0;
}
