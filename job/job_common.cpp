#include "job/job_internal.h"

#include "core/texts.h"

#include <charconv>
#include <stdexcept>
#include <cstdlib>
#include <ctime>

// The PostScript of the jobs, embedded at build time.
struct EmbeddedFile {
    const char* name;
    const unsigned char* data;
    std::size_t size;
};
extern const EmbeddedFile kJobResources[];

namespace jobparts {

namespace {

std::string_view view(const unsigned char* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

void two(std::string& s, int v) {
    s.push_back(static_cast<char>('0' + v / 10 % 10));
    s.push_back(static_cast<char>('0' + v % 10));
}

} // namespace

std::string_view jobResource(std::string_view fileName) {
    for (const EmbeddedFile* f = kJobResources; f->name; ++f)
        if (fileName == f->name) return view(f->data, f->size);
    return {};
}

namespace {

struct TemplateRun {
    const std::vector<JobSlot>& slots;
    std::vector<bool> used;
};

void expand(JobText& w, std::string_view fileName, TemplateRun& run, int depth) {
    const std::string_view text = jobResource(fileName);
    if (text.empty() || depth > 8)
        throw std::logic_error("job template " + std::string(fileName) + " is missing");
    for (std::string_view rest = text; !rest.empty();) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (line.size() >= 2 && line[0] == '@' && line[1] == '@') continue; // a note
        if (line.size() < 3 || line.front() != '@' || line.back() != '@') {
            w.line(line);
            continue;
        }
        const std::string_view name = line.substr(1, line.size() - 2);
        if (name.size() > 3 && name.substr(name.size() - 3) == ".ps") {
            expand(w, name, run, depth + 1);
            continue;
        }
        std::size_t i = 0;
        while (i < run.slots.size() && run.slots[i].name != name)
            ++i;
        if (i == run.slots.size())
            throw std::logic_error("job template " + std::string(fileName) + " has no slot " +
                                   std::string(name));
        run.used[i] = true;
        if (run.slots[i].write) run.slots[i].write(w);
    }
}

} // namespace

void writeTemplate(JobText& w, std::string_view fileName, const std::vector<JobSlot>& slots) {
    TemplateRun run{slots, std::vector<bool>(slots.size(), false)};
    expand(w, fileName, run, 0);
    for (std::size_t i = 0; i < slots.size(); ++i)
        if (!run.used[i])
            throw std::logic_error("job template " + std::string(fileName) + " has no line @" +
                                   std::string(slots[i].name) + "@");
}

std::string textOr(const TextTable& texts, int n, std::string_view fallback) {
    const std::string& t = text(texts, n);
    return t.empty() ? std::string(fallback) : t;
}

std::string creationDate(char sep) {
    std::tm tm{};
    bool fixed = false;
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch && *epoch) {
        long long seconds = 0;
        const char* end = epoch + std::char_traits<char>::length(epoch);
        auto res = std::from_chars(epoch, end, seconds);
        if (res.ec == std::errc() && res.ptr == end && seconds >= 0) {
            const std::time_t t = static_cast<std::time_t>(seconds);
            fixed = gmtime_r(&t, &tm) != nullptr;
        }
    }
    if (!fixed) {
        const std::time_t now = std::time(nullptr);
        localtime_r(&now, &tm);
    }
    std::string s;
    two(s, tm.tm_mon + 1);
    s.push_back(sep);
    two(s, tm.tm_mday);
    s.push_back(sep);
    const int year = tm.tm_year + 1900;
    two(s, year / 100);
    two(s, year % 100);
    s.push_back(' ');
    two(s, tm.tm_hour);
    s.push_back(':');
    two(s, tm.tm_min);
    s.push_back(':');
    two(s, tm.tm_sec);
    return s;
}

std::string titleWithoutProgramName(const TextTable& texts, std::string_view title) {
    std::string name = text(texts, 0);
    if (name.empty()) name = "Lumivane Basic";
    name += " - ";
    std::string out;
    out.reserve(title.size());
    std::size_t pos = 0;
    while (true) {
        const std::size_t hit = title.find(name, pos);
        if (hit == std::string_view::npos) break;
        out.append(title.substr(pos, hit - pos));
        pos = hit + name.size();
    }
    out.append(title.substr(pos));
    return jobLineText(out);
}

std::string paperKey(std::string_view paperText) {
    const std::size_t first = paperText.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const std::size_t last = paperText.find_last_not_of(' ');
    return std::string(paperText.substr(first, last - first + 1).substr(0, 6));
}

void feature(JobText& w, std::string_view keyOption, std::initializer_list<std::string_view> body) {
    w.line("featurebegin{");
    w.line("%%BeginFeature: " + std::string(keyOption));
    w.empty();
    for (auto l : body)
        w.line(l);
    w.line("%%EndFeature");
    w.line("}featurecleanup");
}

void nonPpdFeature(JobText& w, std::string_view keyOption,
                   std::initializer_list<std::string_view> body) {
    w.line("featurebegin{");
    w.line("%%BeginNonPPDFeature: " + std::string(keyOption));
    for (auto l : body)
        w.line(l);
    w.line("%%EndNonPPDFeature");
    w.line("}featurecleanup");
}

void copiesFeature(JobText& w, int copies, bool binary) {
    if (copies <= 1) return;
    w.line("featurebegin{");
    w.line("%%BeginNonPPDFeature: NumCopies " + plainNumber(copies));
    if (binary) {
        // Binary token 133: a 32-bit integer, low-order byte first.
        w.byte(133).byte(static_cast<unsigned char>(copies)).byte(0).byte(0).byte(0);
        w.line(" /languagelevel where {pop languagelevel}{1} ifelse");
    } else {
        w.line(plainNumber(copies) + "  /languagelevel where {pop languagelevel}{1} ifelse");
    }
    w.line("2 ge { 1 dict dup /NumCopies 4 -1 roll put setpagedevice }{ userdict /#copies 3 -1 "
           "roll put } ifelse");
    w.line("%%EndNonPPDFeature");
    w.line("}featurecleanup");
    w.empty();
}

JobSlot waitTimeoutSlot(int waitSeconds) {
    return {"wait_timeout", [waitSeconds](JobText& w) {
                const std::string seconds = plainNumber(waitSeconds);
                nonPpdFeature(w, "WaitTimeout " + seconds,
                              {seconds + " /languagelevel where {pop languagelevel}{1} ifelse",
                               "2 ge { 1 dict dup /WaitTimeout 4 -1 roll put setuserparams }",
                               "{ statusdict /waittimeout 3 -1 roll put } ifelse"});
            }};
}

JobSlot boundingBoxSlot(std::string boundingBox) {
    return {"bounding_box", [boundingBox](JobText& w) {
                if (!boundingBox.empty()) w.line("%%BoundingBox: 12 12 " + boundingBox);
            }};
}

std::vector<JobSlot> imageSectionSlots(ImageDialect dialect, const ImagePlacement& placement) {
    const bool first = dialect == ImageDialect::First;
    auto num = [first](int v) { return first ? jobNumber(v) : plainNumber(v); };
    return {
        {"size",
         [=](JobText& w) {
             w.line("/rows " + num(placement.rows) + " def");
             w.line("/cols " + num(placement.cols) + " def");
             w.line(placement.translateLine);
             w.line(placement.scaleLine);
         }},
        {"colour_space",
         [first](JobText& w) {
             if (first)
                 w.line("/DeviceCMYK");
             else
                 writeTemplate(w, "defg_colour_space_choice.ps", {});
         }},
        {"rendering",
         [first](JobText& w) {
             if (!first)
                 w.line("level3 {/RelativeColorimetric findcolorrendering {/ColorRendering "
                        "findresource setcolorrendering} {pop} ifelse} if");
         }},
        {"strings",
         [=](JobText& w) {
             const std::string len = num(placement.cols);
             for (int i = 1; i <= 5; ++i)
                 w.line("/picstr" + plainNumber(i) + " " + len + " string def");
             w.line("/_rowpadstr " + len + " string def");
         }},
    };
}

} // namespace jobparts
