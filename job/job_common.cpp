#include "job/job_internal.h"

#include "core/texts.h"

#include <charconv>
#include <cstdlib>
#include <ctime>

// The PostScript blocks, embedded at build time.
extern const unsigned char kPsOkiDefaultColorSetting[];
extern const std::size_t kPsOkiDefaultColorSetting_size;
extern const unsigned char kPsOkiProcedurePatch[];
extern const std::size_t kPsOkiProcedurePatch_size;
extern const unsigned char kPsOkiInitLoad[];
extern const std::size_t kPsOkiInitLoad_size;
extern const unsigned char kPsErrorHandler[];
extern const std::size_t kPsErrorHandler_size;
extern const unsigned char kPsFatalError[];
extern const std::size_t kPsFatalError_size;
extern const unsigned char kPsWinBasic[];
extern const std::size_t kPsWinBasic_size;
extern const unsigned char kPsWinUtilsL2[];
extern const std::size_t kPsWinUtilsL2_size;
extern const unsigned char kPsWinNtCompat[];
extern const std::size_t kPsWinNtCompat_size;
extern const unsigned char kPsImageProbe[];
extern const std::size_t kPsImageProbe_size;
extern const unsigned char kPsImageProcedures[];
extern const std::size_t kPsImageProcedures_size;
extern const unsigned char kPsDefgColourSpace[];
extern const std::size_t kPsDefgColourSpace_size;

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

std::string_view okiDefaultColorSetting() {
    return view(kPsOkiDefaultColorSetting, kPsOkiDefaultColorSetting_size);
}
std::string_view okiProcedurePatch() {
    return view(kPsOkiProcedurePatch, kPsOkiProcedurePatch_size);
}
std::string_view okiInitLoad() {
    return view(kPsOkiInitLoad, kPsOkiInitLoad_size);
}
std::string_view errorHandler() {
    return view(kPsErrorHandler, kPsErrorHandler_size);
}
std::string_view fatalError() {
    return view(kPsFatalError, kPsFatalError_size);
}
std::string_view winBasic() {
    return view(kPsWinBasic, kPsWinBasic_size);
}
std::string_view winUtilsL2() {
    return view(kPsWinUtilsL2, kPsWinUtilsL2_size);
}
std::string_view winNtCompat() {
    return view(kPsWinNtCompat, kPsWinNtCompat_size);
}
std::string_view imageProbe() {
    return view(kPsImageProbe, kPsImageProbe_size);
}
std::string_view imageProcedures() {
    return view(kPsImageProcedures, kPsImageProcedures_size);
}
std::string_view defgColourSpace() {
    return view(kPsDefgColourSpace, kPsDefgColourSpace_size);
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

void timeoutFeatures(JobText& w, int waitSeconds) {
    nonPpdFeature(w, "JobTimeout 0",
                  {"0 /languagelevel where {pop languagelevel}{1} ifelse",
                   "2 ge { 1 dict dup /JobTimeout 4 -1 roll put setuserparams }",
                   "{ statusdict /setjobtimeout get exec } ifelse"});
    w.empty();
    const std::string seconds = plainNumber(waitSeconds);
    nonPpdFeature(w, "WaitTimeout " + seconds,
                  {seconds + " /languagelevel where {pop languagelevel}{1} ifelse",
                   "2 ge { 1 dict dup /WaitTimeout 4 -1 roll put setuserparams }",
                   "{ statusdict /waittimeout 3 -1 roll put } ifelse"});
    w.empty();
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

void standardProlog(JobText& w, std::string_view errorHandlerName) {
    w.line("%%BeginResource: file " + std::string(errorHandlerName) + " 5.0 0");
    w.block(errorHandler());
    w.line("%%EndResource");
    w.line("userdict /Pscript_WinNT_Incr 230 dict dup begin put");
    w.line("%%BeginResource: file Pscript_FatalError 5.0 0 ");
    w.block(fatalError());
    w.line("%%EndResource");
    w.line("105000 VM?");
    w.line("%%BeginResource: file Pscript_Win_Basic 5.0 0");
    w.block(winBasic());
    w.line("%%EndResource");
    w.line("%%BeginResource: file Pscript_Win_Utils_L2 5.0 0");
    w.block(winUtilsL2());
    w.line("%%EndResource");
}

void compatibilitySection(JobText& w) {
    w.line("30000 VM?");
    w.line("Pscript_WinNT_Incr begin");
    w.line("%%BeginResource: file Pscript_WinNT_Compat 5.0 0");
    w.block(winNtCompat());
    w.line("%%EndResource");
    w.line("end reinitialize");
    w.line("Pscript_WinNT_Compat begin /$x mysetup def end");
    w.line("Pscript_WinNT_Incr dup /suspend get exec");
    w.line("Pscript_WinNT_Compat dup /initialize get exec");
}

void imageSection(JobText& w, ImageDialect dialect, const ImagePlacement& placement) {
    const bool first = dialect == ImageDialect::First;
    auto num = [first](int v) { return first ? jobNumber(v) : plainNumber(v); };
    w.line("gsave %% Print PostScript gsave");
    w.block(imageProbe());
    w.line("gsave % Image Header gsave");
    w.line("/rows " + num(placement.rows) + " def");
    w.line("/cols " + num(placement.cols) + " def");
    w.line(placement.translateLine);
    w.line(placement.scaleLine);
    w.line("level2 {");
    w.line("band 0 eq {");
    if (first) {
        w.line("/DeviceCMYK");
    } else {
        w.line("level3 {");
        w.line("/CIEBasedDEFG /ColorSpaceFamily resourcestatus {pop pop");
        w.line("[/CIEBasedDEFG");
        w.block(defgColourSpace());
        w.line("]} {[/DeviceCMYK]} ifelse");
        w.line("} {/DeviceCMYK} ifelse");
    }
    w.line("} {/DeviceGray} ifelse");
    w.line("setcolorspace currentdict /PhotoshopDuotoneColorSpace undef currentdict "
           "/PhotoshopDuotoneAltColorSpace undef } if");
    if (!first)
        w.line("level3 {/RelativeColorimetric findcolorrendering {/ColorRendering findresource "
               "setcolorrendering} {pop} ifelse} if");
    const std::string len = num(placement.cols);
    for (int i = 1; i <= 5; ++i)
        w.line("/picstr" + plainNumber(i) + " " + len + " string def");
    w.line("/_rowpadstr " + len + " string def");
    w.line("/rawreaddata {currentfile exch readstring pop} def");
    w.block(imageProcedures());
    w.line("/readdata /rawreaddata load bind def");
    w.line("12 dict begin");
    w.line("/ImageType 1 def");
    w.line("/Width cols def");
    w.line("/Height rows def");
    w.line("/ImageMatrix [cols 0 0 rows 0 0] def");
    w.line("/BitsPerComponent 8 def");
    w.line("band 0 eq");
    w.line("{/Decode [0 1 0 1 0 1 0 1] def}");
    w.line("{/Decode [0 1] def} ifelse");
    w.line("band 0 eq {");
    w.line("/MultipleDataSources true def");
    w.line("/DataSource [");
    w.line("{picstr1 readdata}");
    w.line("{picstr2 readdata}");
    w.line("{picstr3 readdata}");
    w.line("{picstr4 readdata picstr5 readdata pop}");
    w.line("] def} if");
    // A separation plate (bands 1 to 4) or a grey device (band 5 and above) reads every
    // plane row in order and keeps one.
    for (int band = 1; band <= 5; ++band) {
        w.line(band < 5 ? "band " + plainNumber(band) + " eq {" : std::string("band 5 ge {"));
        w.line("/DataSource {");
        for (int p = 1; p <= 5; ++p)
            w.line("picstr" + plainNumber(p) + " readdata" + (p == band ? "" : " pop"));
        w.line("} def} if");
    }
    w.line("currentdict end");
}

void pageAndDocumentTrailer(JobText& w, std::string_view boundingBox) {
    w.line("Pscript_WinNT_Compat dup /suspend get exec");
    w.line("Pscript_WinNT_Incr dup /resume get exec");
    w.line("LH");
    w.line("(%%[Page: 1]%%) = ");
    w.line("%%PageTrailer");
    w.empty();
    w.line("%%Trailer");
    if (!boundingBox.empty()) w.line("%%BoundingBox: 12 12 " + std::string(boundingBox));
    w.line("%%DocumentNeededResources: ");
    w.line("%%DocumentSuppliedResources: ");
    w.line("%%+ procset Pscript_WinNT_VMErrorHandler 5.0 0");
    w.line("%%+ procset Pscript_FatalError 5.0 0");
    w.line("%%+ procset Pscript_Win_Basic 5.0 0");
    w.line("%%+ procset Pscript_Win_Utils_L2 5.0 0");
    w.line("%%+ procset Pscript_WinNT_Compat 5.0 0");
    w.line("Pscript_WinNT_Incr dup /terminate get exec");
    w.line("ehsave restore");
}

} // namespace jobparts
