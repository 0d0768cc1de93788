#include "job/job.h"

#include "core/texts.h"
#include "job/job_text.h"
#include "core/strings.h"
#include "model/media.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

namespace {

bool oneOf(int n, std::initializer_list<int> set) {
    return std::find(set.begin(), set.end(), n) != set.end();
}

void weightBlock(JobText& w, std::string_view name, int weight) {
    const std::string body =
        " null globaldict /OK@MediaType 2 copy known{get}{pop pop (Plain)}ifelse";
    const std::string custom =
        " null " + plainNumber(weight) + " false dup 7 -1 roll /custsetpd get exec";
    w.line("featurebegin{");
    if (name == "MEDIUMLIGHT") {
        // This block has no empty line and trailing blanks where the others have none.
        w.line("%%BeginFeature: *OKMediaType MEDIUMLIGHT ");
        w.line("/DriverOps /ProcSet 2 copy resourcestatus{");
        w.line(" pop pop findresource");
        w.line(body + " ");
        w.line(custom);
    } else if (name == "MEDIUM") {
        w.line("%%BeginFeature: *OKMediaType MEDIUM ");
        w.line(" ");
        w.line("/DriverOps /ProcSet 2 copy resourcestatus{ ");
        w.line(" pop pop findresource ");
        w.line(body + " ");
        w.line(custom + " ");
    } else {
        w.line("%%BeginFeature: *OKMediaType " + std::string(name));
        w.empty();
        w.line("/DriverOps /ProcSet 2 copy resourcestatus{");
        w.line(" pop pop findresource");
        w.line(body);
        w.line(name == "ULTRAHEAVY1" ? custom + " " : custom);
    }
    w.line(name == "MEDIUM" ? "}{pop pop}ifelse " : "}{pop pop}ifelse");
    w.line("%%EndFeature");
    w.line("}featurecleanup ");
}

void linesBlock(JobText& w, std::string_view name, std::initializer_list<std::string_view> lines) {
    w.line("featurebegin{");
    w.line("%%BeginFeature: *OKMediaType " + std::string(name));
    w.empty();
    w.line("/DriverOps /ProcSet 2 copy resourcestatus{");
    w.line(" pop pop findresource");
    for (auto l : lines)
        w.line(l);
    w.line("}{pop pop}ifelse");
    w.line("%%EndFeature");
    w.line("}featurecleanup ");
}

void printerDefaultBlock(JobText& w) {
    w.line("featurebegin{");
    w.line("%%BeginFeature: *OKMediaType PRINTERDEFAULT");
    w.empty(2);
    w.line("%%EndFeature");
    w.line("}featurecleanup ");
}

void userTypeBlock(JobText& w, int n) {
    const std::string num = plainNumber(n);
    w.line("featurebegin{");
    w.line("%%BeginFeature: *MediaType USERTYPE" + num);
    w.empty();
    w.line("(USERTYPE" + num +
           ")  true setglobal 20 string copy globaldict /OK@MediaType 3 -1 roll put false "
           "setglobal");
    w.line("%%EndFeature");
    w.line(n >= 16 ? "}featurecleanup " : "}featurecleanup");
}

} // namespace

int firstFamilyMediaIndex(const JobInputs& in) {
    const int media = in.page.mediaId;
    const std::string_view model = in.target.targetModel;
    // Model classes: a later hit overrides an earlier one.
    char abc = 0;
    if (contains(model, "C33") || contains(model, "C32")) abc = 'A';
    if (contains(model, "C8")) abc = 'B';
    if (contains(model, "C650")) abc = 'C';
    char de = 0;
    if (contains(model, "C834") || contains(model, "C843")) de = 'D';
    if (contains(model, "C844")) de = 'E';

    int index = isPrinterSettingMedium(media) ? media - 100 : 0;
    const int t = index ? 0 : transferMediaNumber(media);
    switch (t) {
    case 2:
        index = abc == 'A' ? 20 : 13;
        break;
    case 3:
        index = abc == 'A' ? 13 : 14;
        break;
    case 13:
        index = 15;
        break;
    case 16: {
        // A language file may name the foil entry "... Dark" to choose the dark foil setting.
        index = contains(lowerAscii(mediaLabel(in.texts, media)), "dark") ? 30 : 16;
        break;
    }
    case 5:
        index = abc == 'B' ? 30 : 17;
        break;
    case 15:
        index = 18;
        break;
    case 11:
        index = 19;
        break;
    case 6:
        index = 20;
        break;
    case 17:
        index = 21;
        break;
    case 14:
        index = 22;
        break;
    case 4:
        index = 23;
        break;
    case 8:
        index = 24;
        break;
    case 1:
        index = 25;
        break;
    case 9:
        index = abc == 'A' ? 13 : 26;
        break;
    case 10:
        index = 27;
        break;
    default:
        break; // 07 and 12 are not recognised
    }
    if (!index && !t) {
        if (int u = userTypeNumber(media)) index = 32 + u;
    }

    if (de == 'D') {
        if (oneOf(t, {13, 16, 11, 12, 15, 10, 6, 17, 14, 4, 8, 1, 9})) index = 31;
        if (oneOf(t, {2, 3, 5, 7})) index = 32;
    }
    if (de == 'E' && oneOf(t, {16, 11, 12, 15, 6, 17, 4, 8, 9, 2, 3, 5, 7})) index = 35;
    if (abc == 'C' && index > 12) index = 7;
    return index;
}

std::string buildFirstFamilyMediaFeature(const JobInputs& in) {
    std::string block;
    JobText w(block);
    const bool c8 = contains(in.target.targetModel, "C8");
    const int index = firstFamilyMediaIndex(in);
    switch (index) {
    case 0:
    case 1:
        printerDefaultBlock(w);
        break;
    case 2:
        weightBlock(w, "LIGHT", 74);
        break;
    case 3:
        weightBlock(w, "MEDIUMLIGHT", 82);
        break;
    case 4:
    case 20:
    case 21:
    case 22:
        weightBlock(w, "MEDIUM", 104);
        break;
    case 5:
    case 13:
    case 24:
        weightBlock(w, "HEAVY", 120);
        break;
    case 15:
    case 16:
        if (c8)
            weightBlock(w, "ULTRAHEAVY1", 188);
        else
            weightBlock(w, "HEAVY", 120);
        break;
    case 6:
    case 14:
    case 26:
        weightBlock(w, "ULTRAHEAVY1", 188);
        break;
    case 7:
        weightBlock(w, "ULTRAHEAVY2", 220);
        break;
    case 8:
    case 30:
        weightBlock(w, "ULTRAHEAVY3", 250);
        break;
    case 9:
    case 23:
    case 27:
        linesBlock(w, "Labels1",
                   {" null (Labels) null 120 false true 7 -1 roll /custsetpd get exec"});
        break;
    case 10:
    case 17:
        linesBlock(w, "Labels2",
                   {" null (Labels) null 188 false true 7 -1 roll /custsetpd get exec"});
        break;
    case 18:
    case 19:
        if (c8)
            linesBlock(w, "Labels2",
                       {" null (Labels) null 188 false true 7 -1 roll /custsetpd get exec"});
        else
            linesBlock(w, "Labels1",
                       {" null (Labels) null 120 false true 7 -1 roll /custsetpd get exec"});
        break;
    case 11:
        linesBlock(w, "GLOSSY",
                   {" null (Glossy) null 188 false dup 7 -1 roll /custsetpd get exec"});
        break;
    case 12:
        linesBlock(w, "Transparency",
                   {" null (Transparency) null dup false",
                    " statusdict /papertray 2 copy known{get exec dup 4 eq exch 1 eq or not}{pop "
                    "pop false}ifelse ",
                    " 7 -1 roll /custsetpd get exec"});
        break;
    case 31:
        printerDefaultBlock(w);
        userTypeBlock(w, 16);
        break;
    case 32:
        printerDefaultBlock(w);
        userTypeBlock(w, 18);
        break;
    case 33:
    case 34:
    case 35:
        userTypeBlock(w, index - 32);
        printerDefaultBlock(w);
        break;
    default:
        break; // 25 and anything else: no block
    }
    return block;
}

int secondFamilyMediaIndex(const JobInputs& in) {
    const int media = in.page.mediaId;
    const std::string_view model = in.target.targetModel;
    if (media >= 101 && media <= 111) return media - 100;
    const int t = transferMediaNumber(media);
    const bool c360 = contains(model, "C360");
    const bool pc30x = contains(model, "PC300W") || contains(model, "PC301W");
    if (c360 || pc30x) {
        if (oneOf(t, {2, 3, 13, 16, 17, 5, 7, 11, 12, 15, 6, 14, 4, 8, 1, 9})) return 7;
        if (t == 10) return c360 ? 7 : 10;
    }
    return 0;
}

std::string buildSecondFamilyMediaFeature(const JobInputs& in) {
    struct Row {
        const char* option;
        const char* deviceType;
    };
    static constexpr std::array<Row, 12> rows = {{{"", ""},
                                                  {"PlainRecycled", "PlainRecycled"},
                                                  {"Bond", "Bond"},
                                                  {"Color", "Color"},
                                                  {"Thinner", "Lighter"},
                                                  {"Thin", "Light"},
                                                  {"Plain", "MiddleThick"},
                                                  {"PlainP", "Heavy"},
                                                  {"Thick", "Thick"},
                                                  {"Cardstock", "CardStock"},
                                                  {"Labels", "Labels"},
                                                  {"Glossy", "Glossy"}}};
    std::string block;
    JobText w(block);
    auto feature = [&](std::string_view option, std::string_view deviceType) {
        w.line("%%BeginFeature: *MediaType " + std::string(option));
        w.line("<< /MediaType (" + std::string(deviceType) +
               ") /DeferredMediaSelection true >> setpagedevice");
    };
    const int index = secondFamilyMediaIndex(in);
    w.line("featurebegin{");
    if (index > 0) {
        const Row& r = rows[static_cast<std::size_t>(index)];
        feature(r.option, r.deviceType);
        if (index == 5) feature("Coated", "Coated");
    }
    w.line("%%EndFeature");
    w.line("}featurecleanup");
    return block;
}
