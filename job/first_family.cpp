#include "job/job.h"

#include "core/texts.h"
#include "core/ui.h"
#include "job/job_internal.h"
#include "core/strings.h"
#include "model/media.h"

#include <algorithm>
#include <cmath>

using namespace jobparts;

namespace {

struct PageSize {
    bool custom = false;
    std::string customLine; // size line of the custom block
    bool customTrailingBlank = true;
    std::string region;
    int regionIndex = 0;
    std::string origin;
};

PageSize firstFamilyPageSize(const JobInputs& in, bool blankJob) {
    const std::string key = paperKey(in.page.paperText);
    PageSize p;
    auto region = [&](const char* name, int index, const char* origin) {
        p.region = name;
        p.regionIndex = index;
        p.origin = origin;
    };
    auto custom = [&](std::string line, std::string origin) {
        p.custom = true;
        p.customLine = std::move(line);
        p.origin = std::move(origin);
    };
    if (key == "A4") {
        region("A4", 0, "12.99968 829.00067");
    } else if (key == "A3") {
        region("A3", 26, "12.99968 1177.99938");
    } else if (key == "A4 SEF" && !blankJob) {
        custom("595 842 0 0 1", "12.99968 828.89007");
        p.customTrailingBlank = false;
    } else if (key == "A5 SEF") {
        region("A5", 5, "12.9997 582.00097");
    } else if (key == "A6 SEF") {
        region("A6", 20, "12.99968 407.00125");
    } else if (key == "A4BC 2") {
        custom("612 907 0 0 1", "12.99968 894");
    } else if (key == "A4XL 2") {
        custom("612 1190 0 0 1", "12.99968 1177.99938");
    } else {
        custom(jobNumber(in.page.paperWidthPt) + jobNumber(in.page.paperHeightPt) + " 0 0 1",
               formatFixed(12.99968, 4) + " " + formatFixed(in.page.paperHeightPt - 13.0, 4));
    }
    return p;
}

void pageSizeFeature(JobText& w, const JobInputs& in, const PageSize& p) {
    if (p.custom) {
        w.line("featurebegin{");
        w.line("%%BeginFeature: *CustomPageSize");
        w.empty();
        w.line(p.customLine);
        w.line("/DriverOps /ProcSet 2 copy resourcestatus{");
        w.line("pop pop findresource /setcustompage get exec");
        w.line(p.customTrailingBlank ? "}{pop pop}ifelse " : "}{pop pop}ifelse");
        w.empty(2);
        w.line("%%EndFeature");
        w.line("}featurecleanup");
        return;
    }
    w.line("featurebegin{");
    w.line("%%BeginFeature: *PageRegion " + p.region);
    w.empty();
    w.line(" /OK@setpageregion where{ pop " + plainNumber(p.regionIndex) + " OK@setpageregion");
    w.line(" }{");
    w.line("  <<");
    w.line("   /PageSize [" + plainNumber(in.page.paperWidthPt) + " " +
           plainNumber(in.page.paperHeightPt) + "]");
    w.line("   /MediaType globaldict /OK@MediaType 2 copy known{get}{pop pop null}ifelse");
    w.line("  >> setpagedevice");
    w.line(" }ifelse");
    w.line("%%EndFeature");
    w.line("}featurecleanup");
}

void paperSourceFeature(JobText& w, const JobInputs& in) {
    const std::string& tray = in.page.trayText;
    int slot = -1, custTray = 0;
    const char* name = nullptr;
    if (contains(tray, textOr(in.texts, kTextTrayAuto, "AUTO"))) {
        return; // AUTO: the printer chooses
    } else if (contains(tray, textOr(in.texts, kTextTrayMultiPurpose, "MultiPurpose Tray"))) {
        slot = 4, custTray = 3, name = "FRONT";
    } else if (contains(tray, textOr(in.texts, kTextTray1, "Tray 1"))) {
        slot = 1, custTray = 0, name = "UPPER";
    } else {
        return;
    }
    const std::string line2 =
        " pop pop findresource " + plainNumber(slot) + " exch /setinputslot get exec";
    const std::string line3 =
        " }{pop pop}ifelse globaldict /OK@_CustTray " + plainNumber(custTray) + " put";
    feature(w, std::string("*InputSlot ") + name,
            {" /DriverOps /ProcSet 2 copy resourcestatus{", line2, line3});
}

// The colour features: colour matching off for the device colours the job sends. Each body
// reaches the printer's driver operations only when they are there.
void colourFeatures(JobText& w, const JobInputs& in, bool blankJob) {
    const bool c650 = !blankJob && contains(in.target.targetModel, "C650");
    {
        w.line("featurebegin{");
        w.line(blankJob ? "%%BeginFeature: *OKControl Graph" : "%%BeginFeature: *OKControl NoPrCm");
        w.empty();
        w.line(" /DriverOps /ProcSet 2 copy resourcestatus{");
        w.line(" pop pop findresource");
        w.line(" globaldict /OK@ColorMono 2 copy known{get}{pop pop 2}ifelse 2 eq{");
        if (blankJob) {
            w.line("   1 2 false <</SelectColorMode 2 /SelectHalftone 1>> false 6 -1 roll");
        } else {
            w.line("   4 3 false <</SelectColorMode 0 /SelectColorMatching 0 /SelectHalftone 1>>");
            w.line("   true 6 -1 roll");
        }
        w.line(" }{");
        w.line("   1 1 false <</SelectColorMode 1 /SelectHalftone 1>> false 6 -1 roll");
        w.line(" }ifelse");
        w.line(" /setcolmode get exec");
        w.line(" }{pop pop}ifelse");
        w.line("%%EndFeature");
        w.line("}featurecleanup");
    }
    feature(w, "*OKTargetColor None", {" globaldict /OK@_ColorSelect 0 put"});
    feature(w, "*OKColorICMS ICCPro", {" globaldict /OK@_ICMS 1 put"});
    feature(w, "*OKBlackSubGra Glossy",
            {" /DriverOps /ProcSet 2 copy resourcestatus{",
             " pop pop findresource 1 exch /setdri_bk get exec", " }{pop pop}ifelse"});
    feature(w, "*OKColorRenderStyle Natural",
            {" globaldict /OK@_ColorSelect 2 copy known{get 0 eq{",
             " /DriverOps /ProcSet 2 copy resourcestatus{",
             " pop pop findresource 0 exch /setdrinfo get exec", " }{pop pop}ifelse",
             " }if }{pop pop}ifelse"});
    feature(w, "*OKColorRenderDict Perceptual",
            {" /ColorRendering /ProcSet 2 copy resourcestatus{",
             " pop pop findresource dup /Perceptual exch /setcrd get exec",
             " /Perceptual exch /setrenderingintent get exec", " }{pop pop}ifelse"});
    if (c650) {
        w.line("featurebegin{");
        w.line("%%BeginFeature: *OKCMYKProfile Link ");
        w.empty();
        w.raw(" /DriverOps /ProcSet 2 copy resourcestatus{");
        w.line(" globaldict /OK@_CMYK_IN_LN 2 put");
        w.line(" }{pop pop}ifelse ");
        w.line("%%EndFeature");
        w.line("}featurecleanup");
    } else {
        feature(w, "*OKCMYKProfile Link",
                {" globaldict /OK@_ICMS 2 copy known{get 1 eq{",
                 " globaldict /OK@_CMYK_IN_LN 2 put",
                 blankJob ? " }if }{pop pop}ifelse" : "  }if }{pop pop}ifelse"});
    }
    feature(w, "*OKRGBProfile OutType1",
            {" globaldict /OK@_ICMS 2 copy known{get 1 eq{",
             " /DriverOps /ProcSet 2 copy resourcestatus{",
             " pop pop findresource 1 exch /setrgbuserprofile get exec", " }{pop pop}ifelse",
             " }if }{pop pop}ifelse"});
    feature(w, "*OKCMYKInputProfile InputType4",
            {" globaldict /OK@_ICMS 2 copy known{get 1 eq{",
             " /DriverOps /ProcSet 2 copy resourcestatus{",
             " pop pop findresource 4 exch /setcmykuserprofile get exec", " }{pop pop}ifelse",
             " }if }{pop pop}ifelse"});
    feature(w, "*OKCMYKLinkProfile None",
            {" /DriverOps /ProcSet 2 copy resourcestatus{",
             " pop pop findresource 0 exch /setoklinkprof get exec", " }{pop pop}ifelse"});
    feature(w, "*OKOutProfile Auto", {""});
    feature(w, "*OKSimProfile None",
            {" /DriverOps /ProcSet 2 copy resourcestatus{",
             " pop pop findresource 0 exch /setcmout get exec", " }{pop pop}ifelse"});
    feature(w, "*OKPureBlack True",
            {" /DriverOps /ProcSet 2 copy resourcestatus{",
             " pop pop findresource true exch /setdri_cm get exec", " }{pop pop}ifelse"});
    feature(w, "*OKPreserveBlack True",
            {" /DriverOps /ProcSet 2 copy resourcestatus{",
             " pop pop findresource true exch /setblackpreservation get exec",
             " }{pop pop}ifelse"});
}

void writeFirstFamily(const JobInputs& in, PrintJobParts& job, bool blankJob,
                      const SeparatedRows& source, const Feedback& feedback) {
    feedback.status(kStatusCreatingPrint);
    feedback.progress(0);
    const int copies = in.layout.copies;

    ImagePlacement placement;
    if (blankJob) {
        job.imageData.assign(2000, '\0');
        placement.rows = placement.cols = 20;
        placement.translateLine = "268 393 translate";
        placement.scaleLine = jobNumber(72) + jobNumber(72) + " scale";
    } else {
        TilePlan plan;
        job.problem = attachTiledImage(in, job, source, plan);
        if (!job.ok()) return;
        const float sx = plan.sx, sy = plan.sy;
        placement.rows = plan.rows;
        placement.cols = plan.cols;
        placement.translateLine = jobNumber(std::max(0.0f, in.layout.imagePosX - 13)) +
                                  jobNumber(std::max(0.0f, in.layout.imagePosY - 13)) +
                                  " translate";
        placement.scaleLine = jobNumber(sx) + jobNumber(sy) + " scale";
    }
    feedback.progress(0);

    const std::string& model = in.target.targetModel;
    const PageSize page = firstFamilyPageSize(in, blankJob);
    std::string& h = job.header;
    h.clear();
    JobText w(h);

    w.line("%!PS-Adobe-3.0");
    w.line("%%Title: " +
           (blankJob ? std::string("LVN - blank") : titleWithoutProgramName(in.texts, in.title)));
    w.line("%%Creator: PScript5.dll Version 5.2.2");
    w.line("%%CreationDate: " + creationDate('-'));
    w.line("%%For: LVN");
    w.line("%%BoundingBox: (atend)");
    w.line("%%DocumentNeededResources: (atend)");
    w.line("%%DocumentSuppliedResources: (atend)");
    w.line("%%P8BIT");
    w.line("%%DocumentData: Clean8Bit");
    w.line("%%TargetDevice: (C610) (3017) 6");
    w.line("%%LanguageLevel: 3");
    w.line("%%EndComments");
    w.empty();
    w.line("%%BeginDefaults");
    w.line("%%ViewingOrientation: 1 0 0 1");
    w.line("%%EndDefaults");
    w.empty();

    w.line("[{");
    w.line("%%BeginFeature: *JobPatchFile 0");
    w.line("%%BeginProcSet: OKI_Default_Color_Setting 1.1 0");
    w.block(okiDefaultColorSetting());
    w.line("%%EndProcSet");
    w.line("%%EndFeature");
    w.line("} stopped cleartomark");

    w.line("%%BeginProlog");
    w.line("%%BeginResource: OKI_Driver_Procedure_Patch_Resource 1.0 0");
    w.block(okiProcedurePatch());
    w.line("%%EndResource");
    w.line("%%BeginProcSet: OKI_InitLoad_ProcSet 1.0 0");
    w.block(okiInitLoad());
    w.line("%%EndProcSet");
    // Each of these three lines ends CR LF LF.
    w.line("globaldict /OK@NupNumber 1 put ").raw("\n");
    w.line("globaldict /OK@Orientation 0 put ").raw("\n");
    w.line("globaldict /OK@ColorMono 2 put ").raw("\n");
    standardProlog(w, "Pscript_WinNT_ErrorHandler");
    w.line("end");
    w.line("%%EndProlog");
    feedback.progress(25);

    w.line("%%BeginSetup");
    w.line("statusdict begin (%%[ ProductName: ) print product print ( ]%%)= flush end");
    w.line("[ 1 0 0 1 0 0 ] false Pscript_WinNT_Incr dup /initialize get exec");
    w.empty();
    timeoutFeatures(w, 300);

    w.line("featurebegin{");
    w.line("%%BeginFeature: *TraySwitch False");
    w.line("1 dict dup /TraySwitch false put setpagedevice");
    w.line("%%EndFeature");
    w.line("}featurecleanup");
    w.empty();

    copiesFeature(w, copies, true);

    feature(w, "*OKJob_Type Normal", {" globaldict /OK@_Type 0 put"});
    feature(w, "*OKCollate False", {" << /Collate false >> setpagedevice"});
    paperSourceFeature(w, in);
    pageSizeFeature(w, in, page);
    if (contains(model, "920") || contains(model, "9420"))
        feature(w, "*OutputBin Stacker", {" << /OutputType (Upper) >> setpagedevice"});
    feature(w, "*OKScreenObo True", {" globaldict /OK@bscreenobo true put"});
    feature(w, "*OKResolution FINE",
            {" /DriverOps /ProcSet 2 copy resourcestatus{",
             " pop pop findresource dup /headresolution get 600 eq {[600 1200]}{[1200 1200]}ifelse",
             "  600 0 1 2 6 -1 roll /setokresolution get exec", " }{pop pop}ifelse"});
    if (!blankJob && contains(model, "844")) {
        const bool small =
            in.page.mediaId == kMediaTransfer07 || in.page.mediaId == kMediaTransfer05;
        w.line("featurebegin{");
        w.line(small ? "%%BeginFeature: *OKOutputMode Small"
                     : "%%BeginFeature: *OKOutputMode Intermediate");
        w.empty();
        w.line("<< /PostRenderingEnhance true >> setpagedevice");
        w.line(small ? "35 /DriverOps /ProcSet 2 copy resourcestatus{"
                     : "15 /DriverOps /ProcSet 2 copy resourcestatus{");
        w.line("pop pop findresource /settonersavevalue get exec}");
        w.raw("{pop pop}ifelse");
        w.line("%%EndFeature");
        w.line("}featurecleanup");
    }
    feature(w, "*OKHairLine True",
            {" globaldict /OK@bstrokeadj true put", " true setstrokeadjust"});
    w.raw(buildFirstFamilyMediaFeature(in));
    w.empty();
    feature(w, "*OKManualFeed False", {" 1 dict dup /ManualFeed false put setpagedevice"});
    feature(w, "*Duplex None",
            {"<<", " /Duplex false /Tumble false /Policies << /Duplex 2 >>", ">> setpagedevice"});
    feature(w, "*OKSeparationorder OFF", {" << /Separations false >> setpagedevice"});

    // Written without the feature wrapper, so every step is guarded here.
    w.line("%%BeginFeature: *OKPageSizeCheck False");
    w.empty();
    w.line(
        "statusdict /setpapersizecheck known { statusdict begin false setpapersizecheck end } if");
    w.line("/languagelevel where { pop languagelevel 2 ge } { false } ifelse {");
    w.line(" /DriverOps /ProcSet resourcestatus { pop pop /DriverOps /ProcSet findresource");
    w.line(" dup /setpapersizecheckmode known { 0 exch /setpapersizecheckmode get exec } { pop } "
           "ifelse } if");
    w.line("} if");
    w.line("%%EndFeature");

    colourFeatures(w, in, blankJob);
    feature(w,
            !blankJob && contains(model, "650") ? "*OKImageSmoothing True"
                                                : "*OKImageSmoothing False",
            {!blankJob && contains(model, "650") ? " globaldict /OK@b_ISmooth true put"
                                                 : " globaldict /OK@b_ISmooth false put"});
    feature(w, "*OKColorMatch Normal", {" globaldict /OK@_ColorMatch 0 put"});
    feature(w, "*OKAlwaysPrnHT True", {" globaldict /OK@_AlwaysPrnHT true put"});
    feature(w, "*OKOverPrint False", {" globaldict /OK@_K_OVP false put"});
    feature(w, "*OKDrumClean OFF", {});
    feature(w, "*OKHDDSpool False", {});

    w.line("1 setlinecap 1 setlinejoin");
    w.line("/mysetup [ 72 600 V 0 0 -72 600 V " + page.origin + " ] def");
    w.empty();
    w.line("%%EndSetup");
    w.empty();
    w.line("userdict begin /ehsave save def end");
    w.line("%%EndPageComments");
    w.line("%%BeginPageSetup");
    if (!blankJob && contains(model, "C650")) feature(w, "*OKHighGlossMode True ", {});
    feature(w, "*OKEnvRotate False",
            {" /DriverOps /ProcSet 2 copy resourcestatus{",
             " pop pop findresource false exch /winpagerotate get exec", " }{pop pop}ifelse"});
    feature(w, "*OKOverlay NotUse", {" globaldict /OK@_Overlay 0 put"});
    feature(w, "*Resolution 600dpi", {});
    feature(w, "*OKOptionTray 0", {});
    feature(w, "*OKOptionDuplex False", {});
    feature(w, "*OKHDD False", {});
    feature(w, "*InstalledMemory 256MB", {});
    feature(w, "*OKJobLimit False", {});
    w.line("/DeviceRGB dup setcolorspace /colspABC exch def");
    w.line("mysetup concat colspRefresh");
    w.line("%%EndPageSetup");
    w.empty();
    compatibilitySection(w);
    w.line("%%BeginDocument: Pscript_Win_PassThrough");
    w.lineLf("600 72 div 600 72 div scale");
    imageSection(w, ImageDialect::First, placement);
    w.line("beginimage");

    std::string& t = job.trailer;
    t.clear();
    JobText tw(t);
    tw.empty();
    tw.line("grestore end % Image Trailer grestore");
    tw.line("grestore % Print PostScript grestore");
    tw.empty();
    tw.line("%%EndDocument");
    tw.empty();
    pageAndDocumentTrailer(tw, {});
    tw.line("(%%[LastPage]%%) = ");
    tw.line("%%EOF");
    tw.raw("\x1b%-12345X");
    tw.line("\x1b%-12345X@PJL EOJ");
    feedback.progress(75);
    feedback.progress(100);
}

} // namespace

void jobparts::buildFirstFamilyJobFrom(const JobInputs& in, PrintJobParts& job,
                                       const SeparatedRows& source, const Feedback& feedback) {
    writeFirstFamily(in, job, false, source, feedback);
}

void buildBlankPageJob(const JobInputs& in, PrintJobParts& job, const Feedback& feedback) {
    writeFirstFamily(in, job, true, {}, feedback);
}
