#include "model/paper.h"

#include "core/texts.h"
#include "core/numbers.h"
#include "core/strings.h"
#include "model/media.h"
#include "model/models.h"
#include "settings/settings.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string>

namespace {

// More keys than any user makes; a damaged "Number" must not make us read for ever.
constexpr int kMaxCustomPapers = 500;

std::string integerText(long long value) {
    std::array<char, 32> buffer{};
    auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

// which: "Top", "Left", "Right" or "Bottom".
std::size_t marginIndex(std::string_view which) {
    return which == "Top" ? 0 : which == "Left" ? 1 : which == "Right" ? 2 : 3;
}

const SettingKey& marginKey(std::string_view which) {
    return *keys::kMargins[marginIndex(which)];
}

const SettingKey& backupKey(std::string_view which) {
    return *keys::kMarginBackups[marginIndex(which)];
}

constexpr std::array<std::string_view, 4> kMarginNames = {"Top", "Left", "Right", "Bottom"};

// True when text starts (after blanks) like a number, so that "0" and garbage differ.
bool looksNumeric(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (i < text.size() && text[i] == '.') ++i;
    return i < text.size() && text[i] >= '0' && text[i] <= '9';
}

std::vector<std::string_view> splitFields(std::string_view record) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (true) {
        std::size_t end = record.find('^', start);
        if (end == std::string_view::npos) {
            fields.push_back(record.substr(start));
            break;
        }
        fields.push_back(record.substr(start, end - start));
        start = end + 1;
    }
    return fields;
}

int customCount(const ProfileFile& settings) {
    double n = readSettingNumber(settings, keys::kCustomPaperCount);
    if (!(n > 0)) return 0;
    if (n > kMaxCustomPapers) return kMaxCustomPapers;
    return static_cast<int>(n);
}

struct BuiltInPaper {
    std::string_view key;
    int width;
    int height;
};

constexpr std::array<BuiltInPaper, 10> kBuiltInPapers = {{
    {"A3", 842, 1191},
    {"A4", 595, 842},
    {"A4 SEF", 595, 842},
    {"A4 S4", 595, 842},
    {"A5 SEF", 420, 595},
    {"Mug 90", 255, 695},
    {"A6 SEF", 297, 420},
    {"A4BC 2", 612, 907},
    {"Busine", 156, 258},
    {"A4XL 2", 612, 1191},
}};

constexpr std::array<BuiltInPaper, 7> kSnapshotPapers = {{
    {"A4", 595, 842},
    {"A5 S", 420, 595},
    {"A6 S", 297, 420},
    {"A4BC", 623, 879},
    {"Lega", 612, 1008},
    {"Lett", 612, 792},
    {"A4XL", 612, 1191},
}};

bool findCustomPaper(const ProfileFile& settings, std::string_view name, CustomPaper& found) {
    for (const CustomPaper& paper : readCustomPapers(settings)) {
        if (paper.name == name) {
            found = paper;
            return true;
        }
    }
    return false;
}

} // namespace

std::vector<std::string> buildPaperList(const TargetPrinter& target, const ProfileFile& settings,
                                        PageSetup& page) {
    const int cls = printerClass(target);
    std::vector<std::string> list;
    if (cls == 2 || cls == 3) list.emplace_back("A3");
    if (cls != 5) list.emplace_back("A4XL 216x420mm");
    list.emplace_back("A4");
    if (cls == 2 || cls == 3) list.emplace_back("A4 SEF");
    list.emplace_back("A5 SEF");
    list.emplace_back("A6 SEF");
    if (cls == 4) list.emplace_back("Business Card 55*85mm");
    for (const CustomPaper& paper : readCustomPapers(settings)) {
        bool shown = cls == 2 || paper.tag == "0" || (cls == 3 && paper.tag == "5");
        if (shown) list.push_back(paper.name);
    }
    page.paperList = list;
    bool hasA4 = false;
    for (const std::string& name : list)
        hasA4 = hasA4 || name == "A4";
    page.paperText = hasA4 ? std::string("A4") : list.front();
    return list;
}

bool builtInPaperSize(std::string_view name, int& widthPt, int& heightPt) {
    std::string_view prefix = name.substr(0, 6);
    for (const BuiltInPaper& paper : kBuiltInPapers) {
        if (prefix == paper.key) {
            widthPt = paper.width;
            heightPt = paper.height;
            return true;
        }
    }
    return false;
}

bool snapshotPaperSize(const ProfileFile& settings, std::string_view name, int& widthPt,
                       int& heightPt) {
    std::string_view prefix = name.substr(0, 4);
    for (const BuiltInPaper& paper : kSnapshotPapers) {
        if (prefix == paper.key) {
            widthPt = paper.width;
            heightPt = paper.height;
            return true;
        }
    }
    CustomPaper custom;
    if (!findCustomPaper(settings, name, custom)) return false;
    widthPt = roundHalfEven(custom.widthPt);
    heightPt = roundHalfEven(custom.heightPt);
    return true;
}

bool selectPaper(PageSetup& page, ProfileFile& settings, std::string_view name) {
    page.paperText = std::string(name);
    int width = 0, height = 0;
    bool known = builtInPaperSize(name, width, height);
    if (known) {
        page.paperWidthPt = width;
        page.paperHeightPt = height;
    } else {
        CustomPaper custom;
        known = findCustomPaper(settings, name, custom);
        if (known) {
            page.paperWidthPt = roundHalfEven(custom.widthPt);
            page.paperHeightPt = roundHalfEven(custom.heightPt);
            if (custom.topPt != 0.0) {
                writeMargin(settings, "Top", custom.topPt * 100.0);
                writeMargin(settings, "Left", custom.leftPt * 100.0);
                writeMargin(settings, "Right", custom.rightPt * 100.0);
                writeMargin(settings, "Bottom", custom.bottomPt * 100.0);
            }
        }
    }
    computePrintableArea(settings, page);
    return known;
}

std::string customWidthTag(double widthPt) {
    if (widthPt < 612.29) return "0";
    if (widthPt < 842.0) return "5";
    return "9";
}

bool parseCustomPaper(std::string_view record, CustomPaper& paper) {
    std::vector<std::string_view> fields = splitFields(record);
    if (fields.size() < 3 || fields[0].empty()) return false;
    CustomPaper parsed;
    parsed.name = std::string(fields[0]);
    parsed.widthPt = settingValue(fields[1]);
    parsed.heightPt = settingValue(fields[2]);
    // A damaged record must not give a page without size (divisions by it follow).
    if (!(parsed.widthPt >= 1.0) || !(parsed.heightPt >= 1.0) || !std::isfinite(parsed.widthPt) ||
        !std::isfinite(parsed.heightPt) || parsed.widthPt > 1.0e6 || parsed.heightPt > 1.0e6)
        return false;
    parsed.tag = fields.size() > 3 ? std::string(fields[3]) : customWidthTag(parsed.widthPt);
    double* margins[4] = {&parsed.topPt, &parsed.leftPt, &parsed.rightPt, &parsed.bottomPt};
    for (std::size_t i = 0; i < 4; ++i) {
        if (fields.size() > 4 + i) {
            double v = settingValue(fields[4 + i]);
            *margins[i] = std::isfinite(v) ? v : 0.0;
        }
    }
    paper = parsed;
    return true;
}

std::string customPaperRecord(const CustomPaper& paper) {
    std::string_view sizePicture = paper.tag == "9" ? "####.#####" : "#.#####";
    std::string record = paper.name;
    record += '^' + formatPicture(paper.widthPt, sizePicture);
    record += '^' + formatPicture(paper.heightPt, sizePicture);
    record += '^' + paper.tag;
    for (double margin : {paper.topPt, paper.leftPt, paper.rightPt, paper.bottomPt})
        record += '^' + formatPicture(margin, "####.#####");
    return record;
}

std::vector<CustomPaper> readCustomPapers(const ProfileFile& settings) {
    std::vector<CustomPaper> papers;
    const int count = customCount(settings);
    for (int i = 1; i <= count; ++i) {
        CustomPaper paper;
        if (parseCustomPaper(readSetting(settings, keys::kCustomPaper, i), paper))
            papers.push_back(paper);
    }
    return papers;
}

CustomPaperError addCustomPaper(ProfileFile& settings, std::string_view name, double widthPt,
                                double heightPt, double topPt, double leftPt, double rightPt,
                                double bottomPt) {
    // The name is the first field of a "^"-joined line of the settings file and is shown and
    // selected by its text: separators and line breaks would corrupt the record or the file.
    if (name.empty() || name.find_first_of("^\r\n") != std::string_view::npos ||
        name.front() == ' ' || name.back() == ' ')
        return CustomPaperError::BadName;
    int w = 0, h = 0;
    if (builtInPaperSize(name, w, h)) return CustomPaperError::ReservedName;
    if (!std::isfinite(widthPt) || !std::isfinite(heightPt) || widthPt < 1.0 || heightPt < 1.0 ||
        widthPt > 1.0e6 || heightPt > 1.0e6)
        return CustomPaperError::BadSize;
    for (double m : {topPt, leftPt, rightPt, bottomPt})
        if (!std::isfinite(m) || m < 0.0 || m > 1.0e6) return CustomPaperError::BadMargin;

    CustomPaper paper;
    paper.name = std::string(name);
    paper.widthPt = widthPt;
    paper.heightPt = heightPt;
    paper.tag = customWidthTag(widthPt);
    paper.topPt = topPt;
    paper.leftPt = leftPt;
    paper.rightPt = rightPt;
    paper.bottomPt = bottomPt;
    std::string record = customPaperRecord(paper);
    if (record.size() > kMaxSettingLength) return CustomPaperError::TooLong;

    // Selection goes by the name, so a second record of the same name could never be chosen:
    // saving under an existing name replaces that size.
    const int count = customCount(settings);
    for (int i = 1; i <= count; ++i) {
        CustomPaper existing;
        if (parseCustomPaper(readSetting(settings, keys::kCustomPaper, i), existing) &&
            existing.name == name) {
            return writeSetting(settings, keys::kCustomPaper, i, record)
                       ? CustomPaperError::None
                       : CustomPaperError::WriteFailed;
        }
    }
    if (!writeSetting(settings, keys::kCustomPaper, count + 1, record))
        return CustomPaperError::WriteFailed;
    if (!writeSetting(settings, keys::kCustomPaperCount, integerText(count + 1)))
        return CustomPaperError::WriteFailed;
    return CustomPaperError::None;
}

bool deleteCustomPaper(ProfileFile& settings, std::string_view name) {
    const int count = customCount(settings);
    int found = 0;
    for (int i = 1; i <= count && found == 0; ++i) {
        CustomPaper paper;
        if (parseCustomPaper(readSetting(settings, keys::kCustomPaper, i), paper) &&
            paper.name == name)
            found = i;
    }
    if (found == 0) return false;
    for (int i = found; i < count; ++i) {
        if (!writeSetting(settings, keys::kCustomPaper, i,
                          readSetting(settings, keys::kCustomPaper, i + 1)))
            return false;
    }
    if (!deleteSetting(settings, keys::kCustomPaper, count)) return false;
    return writeSetting(settings, keys::kCustomPaperCount, integerText(count - 1));
}

CustomSizeRanges customSizeRanges(const TargetPrinter& target, Unit unit) {
    // [class row][unit: M, C, I] = {width, height}
    static const std::array<std::array<CustomSizeRanges, 3>, 5> table = {{
        {{{"(63...215.9)", "(127..1320.8)"},
          {"(6.3...21.59)", "(12.7..132.08)"},
          {"(2.52...8.50)", "(5.00...52.0)"}}},
        {{{"(76.2...328.08)", "(89.96..1200.15)"},
          {"(7.62...32.808)", "(8.996..120.015)"},
          {"(3.00...12.91)", "(3.55...47.25)"}}},
        {{{"(63.86...297.03)", "(89.61..431.80)"},
          {"(6.38...29.70)", "(8.96..43.18)"},
          {"(2.16...8.5)", "(3.58...52)"}}},
        {{{"(55...215.9)", "(91..1320.8)"},
          {"(5.5...21.59)", "(9.1..132.08)"},
          {"(2.52...11.69)", "(3.53...17.00)"}}},
        {{{"(90...216)", "(148..356)"},
          {"(9.0...21.6)", "(14.8..35.6)"},
          {"(3.54...8.50)", "(5.82...14.02)"}}},
    }};
    // The ranges know the Pro8432WT by its full code; the lists take any "8432".
    const int cls = printerClassOf(target.targetModel, "8432WT");
    std::size_t row = cls <= 1 ? 0 : static_cast<std::size_t>(cls - 1);
    std::size_t col = unit == Unit::Centimetre ? 1 : unit == Unit::Inch ? 2 : 0;
    return table[row][col];
}

double marginPt(const ProfileFile& settings, std::string_view which) {
    return settingValue(readSetting(settings, marginKey(which))) / 100.0;
}

Margins storedMargins(const ProfileFile& settings) {
    return {marginPt(settings, "Top"), marginPt(settings, "Left"), marginPt(settings, "Right"),
            marginPt(settings, "Bottom")};
}

bool writeMargin(ProfileFile& settings, std::string_view which, double hundredths) {
    return writeSetting(settings, marginKey(which), integerText(roundHalfEven(hundredths)));
}

MarginSums enforceMargins(const TargetPrinter& target, ProfileFile& settings, PageSetup& page) {
    const std::array<MarginMinimum, 4> minimum = marginMinimums(target); // top, left, right, bottom

    std::array<double, 4> used{};
    for (std::size_t i = 0; i < 4; ++i) {
        double stored = readSettingNumber(settings, *keys::kMargins[i]);
        if (stored < minimum[i].hundredths) {
            writeSetting(settings, *keys::kMargins[i], minimum[i].replacement);
            used[i] = minimum[i].hundredths / 100.0;
        } else {
            used[i] = stored / 100.0;
        }
    }
    MarginSums sums;
    sums.leftRight = static_cast<float>(used[1] + used[2]);
    sums.topBottom = static_cast<float>(used[0] + used[3]);
    page.margins = storedMargins(settings);
    page.printableWidthPt = static_cast<float>(page.paperWidthPt) - sums.leftRight;
    page.printableHeightPt = static_cast<float>(page.paperHeightPt) - sums.topBottom;
    return sums;
}

void restoreMargins(ProfileFile& settings, PageSetup& page) {
    for (std::string_view which : kMarginNames) {
        // The backups are only ever written by the margins dialog; without one the margin
        // stays rather than dropping to 0 (printing into the unprintable edge).
        std::string backup = readSetting(settings, backupKey(which));
        if (!looksNumeric(backup)) continue;
        double value = settingValue(backup) / 100.0;
        writeMargin(settings, which, value * 100.0);
    }
    computePrintableArea(settings, page);
}

void computePrintableArea(const ProfileFile& settings, PageSetup& page) {
    page.margins = storedMargins(settings);
    const Margins& m = page.margins;
    page.printableWidthPt = static_cast<float>(page.paperWidthPt - m.right - m.left);
    page.printableHeightPt = static_cast<float>(page.paperHeightPt - m.bottom - m.top);
}

TrayChoice trayListForMedia(const TargetPrinter& target, const TextTable& texts,
                            const PageSetup& page, int mediaId) {
    enum Pick { Auto, Mpt, Tray1, Tray2 };
    bool allowAuto = false, allowMpt = false, allowTray1 = false;
    Pick pick = Auto;
    TrayChoice choice;

    const bool secondFamily = isSecondFamily(target);
    const int transfer = transferMediaNumber(mediaId);
    if (isPrinterSettingMedium(mediaId)) {
        allowAuto = allowMpt = allowTray1 = true;
        pick = Auto;
        choice.changed = true;
    } else if (transfer != 0) {
        switch (transfer) {
        case 1:
        case 4:
        case 5:
        case 8:
        case 11:
        case 14:
        case 15:
            choice.changed = true;
            allowMpt = true;
            allowTray1 = secondFamily;
            pick = secondFamily ? Tray2 : Mpt;
            break;
        case 2:
        case 3:
        case 6:
            choice.changed = true;
            allowMpt = allowTray1 = true;
            pick = secondFamily ? Tray2 : Mpt;
            break;
        case 10:
            choice.changed = true;
            allowMpt = !secondFamily;
            allowTray1 = secondFamily;
            pick = secondFamily ? Tray1 : Mpt;
            break;
        case 13:
        case 16:
            choice.changed = true;
            allowTray1 = true;
            pick = Tray2;
            break;
        default:
            break;
        }
        if (contains(target.targetModel, "C844")) {
            choice.changed = true;
            allowAuto = allowTray1 = false;
            allowMpt = true;
            pick = Mpt;
        }
    }
    if (!choice.changed) return choice;

    if (allowAuto) choice.list.push_back(text(texts, kTextTrayAuto));
    if (allowMpt) choice.list.push_back(text(texts, kTextTrayMultiPurpose));
    if (allowTray1) choice.list.push_back(text(texts, kTextTray1));
    const bool hasTray2 = page.paperWidthPt == 595 && page.paperHeightPt == 842;
    if (hasTray2) choice.list.emplace_back("Tray 2");
    switch (pick) {
    case Auto:
        choice.selected = text(texts, kTextTrayAuto);
        break;
    case Mpt:
        choice.selected = text(texts, kTextTrayMultiPurpose);
        break;
    case Tray1:
        choice.selected = text(texts, kTextTray1);
        break;
    case Tray2:
        choice.selected = hasTray2 ? std::string("Tray 2") : text(texts, kTextTray1);
        break;
    }
    return choice;
}

void fillTrayList(const TargetPrinter& target, const TextTable& texts, PageSetup& page) {
    TrayChoice choice = trayListForMedia(target, texts, page, page.mediaId);
    if (!choice.changed) return;
    page.trayList = choice.list;
    page.trayText = choice.selected;
}
