#include "job/job.h"

#include "core/numbers.h"
#include "core/texts.h"
#include "core/ui.h"
#include "job/job_internal.h"
#include "core/strings.h"
#include "model/media.h"

#include <algorithm>
#include <cmath>

using namespace jobparts;

namespace {

// "featurebegin{", the begin line, the body, "%%EndFeature", "}featurecleanup": this family's
// frame has no empty line after the begin line.
void hqFeature(JobText& w, std::string_view keyOption,
               std::initializer_list<std::string_view> body) {
    w.line("featurebegin{");
    w.line("%%BeginFeature: " + std::string(keyOption));
    for (auto l : body)
        w.line(l);
    w.line("%%EndFeature");
    w.line("}featurecleanup");
}

struct SecondPage {
    std::string origin;
    std::string pageBox;     // page bounding box corner
    std::string documentBox; // document bounding box corner
};

void customPageBlock(JobText& w, const JobInputs& in) {
    w.line("featurebegin{");
    w.line("%%BeginFeature: *CustomPageSize");
    w.empty();
    w.line(formatFixed(in.page.paperWidthPt, 1) + " " + formatFixed(in.page.paperHeightPt, 1) +
           " 0 0 1");
    w.line("        pop pop pop");
    w.line("        <<            /DeferredMediaSelection true");
    w.line("            /PageSize [ 7 -2 roll ]");
    w.line("            /ImagingBBox null");
    w.empty();
    w.line("        >> setpagedevice");
    w.empty();
    w.line("%%EndFeature");
    w.line("}featurecleanup");
}

// Writes the page size block and returns the paper's three texts.
SecondPage pageSizeBlock(JobText* w, const JobInputs& in) {
    const std::string key = paperKey(in.page.paperText);
    if (key == "A4") {
        if (w) {
            w->line("featurebegin{");
            w->line("%%BeginFeature: *PageRegion A4");
            w->line("<< /PageSize [ 595 842 ] /ImagingBBox null >> setpagedevice ");
            w->line("%%EndFeature");
            w->line("}featurecleanup");
        }
        return {"11.99905 830.00128", "571 818", "583 830"};
    }
    if (key == "A5 SEF") {
        if (w) {
            w->line("featurebegin{  ");
            w->line("%%BeginFeature: *PageRegion A5 ");
            w->line("<< /PageSize [ 420 595 ] /ImagingBBox null >> setpagedevice");
            w->line("%%EndFeature");
            w->line("}featurecleanup");
            w->empty();
        }
        return {"11.99905 582.99871", "396 571", "408 583"};
    }
    if (key == "A6 SEF") {
        if (w) {
            w->line("featurebegin{  ");
            w->line("%%BeginFeature: *PageRegion A6");
            w->line("<< /PageSize [297 420] /ImagingBBox null >> setpagedevice");
            w->line("%%EndFeature");
            w->line("}featurecleanup");
            w->empty();
        }
        return {"11.99905 407.99905", "273 396", "285 408"};
    }
    if (w) customPageBlock(*w, in);
    if (key == "A4XL 2") return {"11.99905 1179", "588 1166.8", "600 1179"};
    const int pw = in.page.paperWidthPt, ph = in.page.paperHeightPt;
    return {"11.99905" + jobNumberDouble(ph - 11.99905), plainNumber(pw - 12) + jobNumber(ph - 12),
            plainNumber(pw) + jobNumber(ph)};
}

void paperSourceFrame(JobText& w, const JobInputs& in) {
    const std::string& tray = in.page.trayText;
    w.line("featurebegin{");
    auto slot = [&](const char* name, int position) {
        w.line(std::string("%%BeginFeature: *InputSlot ") + name);
        w.line("<< /MediaPosition " + plainNumber(position) + " >> setpagedevice");
    };
    if (contains(tray, textOr(in.texts, kTextTrayAuto, "AUTO")))
        slot("Tray1", 1);
    else if (contains(tray, textOr(in.texts, kTextTrayMultiPurpose, "MultiPurpose Tray")))
        slot("Manual", 0);
    else if (contains(tray, textOr(in.texts, kTextTray1, "Tray 1")))
        slot("Tray1", 1);
    else if (contains(tray, "Tray 2"))
        slot("Tray2", 2);
    w.line("%%EndFeature");
    w.line("}featurecleanup");
}

void deviceFeatures(JobText& w) {
    hqFeature(w, "*HQFrontCoverPage OFF", {"<< /FrontCoverPrint 0 >> setsystemparams"});
    hqFeature(w, "*HQFrontCoverPaperSource TRAY1", {"<< /FrontCoverTray 1 >> setsystemparams"});
    hqFeature(w, "*HQTonerSave OFF", {"globaldict /settonersave known {false settonersave} if"});
    hqFeature(w, "*Option1 Mem256", {});
    hqFeature(w, "*Option2 True", {});
    hqFeature(w, "*HQBlankPage On", {"globaldict /printblankpage known {true printblankpage} if"});
    hqFeature(w, "*HQColorMode COLOR", {"<< /ProcessColorModel /DeviceCMYK >> setpagedevice"});
    hqFeature(w, "*HQColorRendering POPDISPLAY",
              {"",
               "currentpagedevice /BrightColorTextColorTreatment known { << "
               "/BrightColorTextColorTreatment /ctPOP >> setpagedevice } if",
               "currentpagedevice /BrightColorGraphicsColorTreatment known { << "
               "/BrightColorGraphicsColorTreatment /ctPOP >> setpagedevice } if",
               "currentpagedevice /BrightColorImageColorTreatment known { << "
               "/BrightColorImageColorTreatment /ctPOP >> setpagedevice } if"});
    hqFeature(w, "*HQColorSimul OFF",
              {"", "currentpagedevice /BrightColorInkSimulation known { << "
                   "/BrightColorInkSimulation /isOff >> setpagedevice } if"});
    hqFeature(w, "*HQBlackTextOverprint Text",
              {"", "/setblackoverprint where { pop", "     true setblackoverprint ", "} if"});
    hqFeature(w, "*HQScreenMode Auto",
              {"",
               "currentpagedevice /TextHalftone known { << /TextHalftone /htHighLPI >> "
               "setpagedevice } if",
               "currentpagedevice /GraphicsHalftone known { << /GraphicsHalftone /htLowLPI >> "
               "setpagedevice } if",
               "currentpagedevice /ImageHalftone known { << /ImageHalftone /htLowLPI >> "
               "setpagedevice } if"});
    hqFeature(w, "*HQGrayMode Black",
              {"",
               "currentpagedevice /TextNeutralAxis known { << /TextNeutralAxis /naTonerBlack >> "
               "setpagedevice } if",
               "currentpagedevice /GraphicsNeutralAxis known { << /GraphicsNeutralAxis "
               "/naTonerBlack >> setpagedevice } if",
               "currentpagedevice /ImageNeutralAxis known { << /ImageNeutralAxis "
               "/naProcessBlack >> setpagedevice } if"});
    hqFeature(w, "*HQPrintMode 661", {"<< /PixelDepth 1 >> setpagedevice"});
    hqFeature(w, "*HQwtrmrkType Outline", {"statusdict /HQwtrmrkType (Outline) put"});
    hqFeature(w, "*HQwtrmrkString Confidential", {"statusdict /HQwtrmrkString (CONFIDENTIAL) put"});
    hqFeature(w, "*HQwtrmrkFontSize pt60", {"statusdict /HQwtrmrkFontSize 60 put"});
    hqFeature(w, "*HQwtrmrkFontName Helvetica", {"statusdict /HQwtrmrkFontName (Helvetica) put"});
    hqFeature(w, "*HQwtrmrkShading Shading20", {"statusdict /HQwtrmrkShading 80 put"});
    hqFeature(w, "*HQwtrmrkLocationX CenterX0", {"statusdict /HQwtrmrkLocationX 0 put"});
    hqFeature(w, "*HQwtrmrkLocationY CenterY0", {"statusdict /HQwtrmrkLocationY 0 put"});
    hqFeature(w, "*HQwtrmrkAngle Deg45", {"statusdict /HQwtrmrkAngle 45 put"});
    hqFeature(w, "*HQwtrmrkMode None", {"statusdict /HQwtrmrkMode (None) put"});
    hqFeature(w, "*Duplex None", {"<< /Duplex false >> setpagedevice "});
}

} // namespace

void jobparts::buildSecondFamilyJobFrom(const JobInputs& in, PrintJobParts& job,
                                        const SeparatedRows& source, const Feedback& feedback) {
    feedback.status(kStatusCreatingPrint);
    feedback.progress(0);
    const int copies = in.layout.copies;

    TilePlan plan;
    job.problem = attachTiledImage(in, job, source, plan);
    if (!job.ok()) return;
    const float sx = plan.sx, sy = plan.sy;
    ImagePlacement placement;
    placement.rows = plan.rows;
    placement.cols = plan.cols;
    placement.translateLine = plainFloat(std::max(0.0f, in.layout.imagePosX - 12)) + " " +
                              plainFloat(std::max(0.0f, in.layout.imagePosY - 12)) + " translate";
    placement.scaleLine =
        plainNumber(roundHalfEven(sx)) + " " + plainNumber(roundHalfEven(sy)) + " scale";

    const SecondPage page = pageSizeBlock(nullptr, in);
    std::string& h = job.header;
    h.clear();
    JobText w(h);
    w.lineLf("\x1b%-12345X@PJL JOB");
    w.lineLf("@PJL ENTER LANGUAGE=POSTSCRIPT");
    w.line("%!PS-Adobe-3.0");
    w.line("%%Title: " + titleWithoutProgramName(in.texts, in.title));
    w.line("%%Creator: PScript5.dll Version 5.2.2");
    w.line("%%CreationDate: " + creationDate('/'));
    w.line("%%For: LVN");
    w.line("%%BoundingBox: (atend)");
    w.line("%%Pages: (atend)");
    w.line("%%Orientation: Portrait");
    w.line("%%PageOrder: Special");
    w.line("%%DocumentNeededResources: (atend)");
    w.line("%%DocumentSuppliedResources: (atend)");
    w.line("%%DocumentData: Clean7Bit");
    w.line("%%TargetDevice: (C300W_C301W) (3010) 1");
    w.line("%%LanguageLevel: 3");
    w.line("%%EndComments");
    w.empty();
    w.line("%%BeginDefaults");
    w.line("%%PageBoundingBox: 12 12 " + page.pageBox);
    w.line("%%ViewingOrientation: 1 0 0 1");
    w.line("%%EndDefaults");
    w.empty(2);

    w.line("%%BeginProlog");
    standardProlog(w, "Pscript_WinNT_VMErrorHandler");
    w.line("end");
    w.line("%%EndProlog");
    w.empty();

    w.line("%%BeginSetup");
    w.line("statusdict begin (%%[ ProductName: ) print product print ( ]%%)= flush end");
    w.line("[ 1 0 0 1 0 0 ] false Pscript_WinNT_Incr dup /initialize get exec");
    w.empty();
    timeoutFeatures(w, 120);
    copiesFeature(w, copies, false);
    deviceFeatures(w);
    feedback.progress(0);
    pageSizeBlock(&w, in);
    paperSourceFrame(w, in);
    w.raw(buildSecondFamilyMediaFeature(in));
    hqFeature(w, "*HQCyan On", {"<< /TwoColorPrintCyan true >> setsystemparams"});
    hqFeature(w, "*HQMagenta On", {"<< /TwoColorPrintMagenta true >> setsystemparams"});
    hqFeature(w, "*HQYellow On", {"<< /TwoColorPrintYellow true >> setsystemparams"});
    hqFeature(w, "*HQBlack On", {"<< /TwoColorPrintBlack true >> setsystemparams"});
    hqFeature(w, "*Resolution 600dpi", {""});

    w.line("1 setlinecap 1 setlinejoin");
    w.line("/mysetup [ 72 600 V 0 0 -72 600 V " + page.origin + " ] def ");
    w.line("%%EndSetup");
    w.empty();
    w.line("userdict begin /ehsave save def end");
    w.line("%%Page: 1 1");
    w.line("%%PageBoundingBox: 12 12 " + page.pageBox);
    w.line("%%EndPageComments");
    w.line("%%BeginPageSetup");
    w.line("/DeviceRGB dup setcolorspace /colspABC exch def");
    w.line("mysetup concat colspRefresh");
    w.line("%%EndPageSetup");
    w.empty();
    compatibilitySection(w);
    w.line("%%BeginDocument: Pscript_Win_PassThrough");
    w.line("600 72 div 600 72 div scale");
    imageSection(w, ImageDialect::Second, placement);
    w.lineCr("beginimage");
    feedback.progress(20);

    std::string& t = job.trailer;
    t.clear();
    JobText tw(t);
    tw.empty();
    tw.line("grestore % Pop clipping grestore");
    tw.line("grestore end % Image Trailer grestore");
    tw.line("grestore % Print PostScript grestore");
    tw.empty();
    tw.line("%%EndDocument");
    tw.empty();
    pageAndDocumentTrailer(tw, page.documentBox);
    tw.line("%%Pages: 1");
    tw.line("(%%[LastPage]%%) = ");
    tw.line("%%EOF");
    tw.byte(4);
    tw.lineLf("\x1b%-12345X@PJL EOJ");
    tw.raw("\x1b%-12345X");
    feedback.progress(75);
    feedback.progress(100);
}
