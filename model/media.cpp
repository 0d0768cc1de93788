#include "model/media.h"

#include "core/strings.h"
#include "core/texts.h"
#include "model/models.h"

#include <algorithm>
#include <array>

namespace {

// Interface text numbers of "Transfer media 01" .. "Transfer media 17".
constexpr std::array<int, 17> kTransferMediaTexts = {113, 114, 115, 116, 117, 118, 119, 120, 140,
                                                     141, 142, 170, 194, 195, 196, 198, 199};

void setText(TextTable& texts, int n, const char* value) {
    if (texts.texts.size() <= static_cast<std::size_t>(n))
        texts.texts.resize(static_cast<std::size_t>(n) + 1);
    texts.texts[static_cast<std::size_t>(n)] = value;
}

} // namespace

std::vector<int> buildMediaIds(const TargetPrinter& target, TextTable& texts) {
    const bool second = isSecondFamily(target);
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
            setText(texts, 101 + i, secondNames[i]);
    else
        for (int i = 0; i < 12; ++i)
            setText(texts, 101 + i, firstNames[i]);

    std::vector<int> ids = {
        kMediaPrinterSetting, 114, 115, 194, 196, 198, 117, 118, 195, 116, 120, 113, 141};
    for (int n = 102; n <= 111; ++n)
        ids.push_back(n);
    if (!second) ids.push_back(112);
    if (contains(target.targetModel, "C844"))
        for (int u = 1; u <= 3; ++u)
            ids.push_back(kUserTypeMedia + u);
    return ids;
}

std::string mediaLabel(const TextTable& texts, int mediaId) {
    if (int u = userTypeNumber(mediaId)) return "Usertype" + std::to_string(u);
    if (mediaId <= 0 || mediaId >= kUserTypeMedia) return {};
    return text(texts, mediaId);
}

void fillMediaList(const TargetPrinter& target, TextTable& texts, PageSetup& page) {
    page.mediaIds = buildMediaIds(target, texts);
}

bool selectMedium(PageSetup& page, int mediaId) {
    if (std::find(page.mediaIds.begin(), page.mediaIds.end(), mediaId) == page.mediaIds.end())
        return false;
    page.mediaId = mediaId;
    return true;
}

int findMedium(const PageSetup& page, const TextTable& texts, std::string_view name) {
    if (name.empty()) return 0;
    for (int id : page.mediaIds)
        if (mediaLabel(texts, id) == name) return id;
    for (int id : page.mediaIds)
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
