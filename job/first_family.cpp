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

// The colour mode feature: colour matching off for the device colours the job sends (the
// blank page asks for graphics mode).
void colourModeFeature(JobText& w, bool blankJob) {
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

// The CMYK link profile feature: the C650 takes it unconditionally, the others when ICM is on.
void cmykProfileFeature(JobText& w, bool c650, bool blankJob) {
    if (c650) {
        w.line("featurebegin{");
        w.line("%%BeginFeature: *OKCMYKProfile Link ");
        w.empty();
        w.line(" /DriverOps /ProcSet 2 copy resourcestatus{ globaldict /OK@_CMYK_IN_LN 2 put");
        w.line(" }{pop pop}ifelse ");
        w.line("%%EndFeature");
        w.line("}featurecleanup");
        return;
    }
    feature(w, "*OKCMYKProfile Link",
            {" globaldict /OK@_ICMS 2 copy known{get 1 eq{", " globaldict /OK@_CMYK_IN_LN 2 put",
             blankJob ? " }if }{pop pop}ifelse" : "  }if }{pop pop}ifelse"});
}

// The output mode of the C844: small for the thin transfer media, intermediate otherwise.
void outputModeFeature(JobText& w, const JobInputs& in) {
    const bool small = in.page.mediaId == kMediaTransfer07 || in.page.mediaId == kMediaTransfer05;
    w.line("featurebegin{");
    w.line(small ? "%%BeginFeature: *OKOutputMode Small"
                 : "%%BeginFeature: *OKOutputMode Intermediate");
    w.empty();
    w.line("<< /PostRenderingEnhance true >> setpagedevice");
    w.line(small ? "35 /DriverOps /ProcSet 2 copy resourcestatus{"
                 : "15 /DriverOps /ProcSet 2 copy resourcestatus{");
    w.line("pop pop findresource /settonersavevalue get exec}");
    w.line("{pop pop}ifelse%%EndFeature");
    w.line("}featurecleanup");
}

// Where the picture goes: the blank page's 20 x 20 raster of zeros, or the tiled copies of
// the layout (the job then produces their rows when it is sent).
JobProblem placeImage(const JobInputs& in, PrintJobParts& job, bool blankJob,
                      const SeparatedRows& source, ImagePlacement& placement) {
    if (blankJob) {
        job.imageData.assign(2000, '\0');
        placement.rows = placement.cols = 20;
        placement.translateLine = "268 393 translate";
        placement.scaleLine = jobNumber(72) + jobNumber(72) + " scale";
        return JobProblem::None;
    }
    TilePlan plan;
    const JobProblem problem = attachTiledImage(in, job, source, plan);
    if (problem != JobProblem::None) return problem;
    placement.rows = plan.rows;
    placement.cols = plan.cols;
    placement.translateLine = jobNumber(std::max(0.0f, in.layout.imagePosX - 13)) +
                              jobNumber(std::max(0.0f, in.layout.imagePosY - 13)) + " translate";
    placement.scaleLine = jobNumber(plan.sx) + jobNumber(plan.sy) + " scale";
    return JobProblem::None;
}

// The comments and the prolog.
void writeProlog(JobText& w, const JobInputs& in, bool blankJob) {
    const std::string title =
        blankJob ? std::string("LVN - blank") : titleWithoutProgramName(in.texts, in.title);
    writeTemplate(
        w, "first_family_prolog.ps",
        {{"title", [&](JobText& t) { t.line("%%Title: " + title); }},
         {"creation_date", [](JobText& t) { t.line("%%CreationDate: " + creationDate('-')); }},
         {"error_handler_begin",
          [](JobText& t) { t.line("%%BeginResource: file Pscript_WinNT_ErrorHandler 5.0 0"); }},
         {"layout_globals", [](JobText& t) {
              // Each of these three lines ends CR LF LF.
              t.line("globaldict /OK@NupNumber 1 put ").raw("\n");
              t.line("globaldict /OK@Orientation 0 put ").raw("\n");
              t.line("globaldict /OK@ColorMono 2 put ").raw("\n");
          }}});
}

// The setup features, the page setup and the image section up to "beginimage".
void writeSetup(JobText& w, const JobInputs& in, bool blankJob, const ImagePlacement& placement) {
    const std::string& model = in.target.targetModel;
    const PageSize page = firstFamilyPageSize(in, blankJob);
    const bool c650 = !blankJob && contains(model, "C650");
    const bool smoothing = !blankJob && contains(model, "650");
    std::vector<JobSlot> slots = {
        waitTimeoutSlot(300),
        {"copies", [&](JobText& t) { copiesFeature(t, in.layout.copies, true); }},
        {"paper_source", [&](JobText& t) { paperSourceFeature(t, in); }},
        {"page_size", [&](JobText& t) { pageSizeFeature(t, in, page); }},
        {"output_bin",
         [&](JobText& t) {
             if (contains(model, "920") || contains(model, "9420"))
                 feature(t, "*OutputBin Stacker", {" << /OutputType (Upper) >> setpagedevice"});
         }},
        {"output_mode",
         [&](JobText& t) {
             if (!blankJob && contains(model, "844")) outputModeFeature(t, in);
         }},
        {"media", [&](JobText& t) { t.raw(buildFirstFamilyMediaFeature(in)); }},
        {"colour_mode", [&](JobText& t) { colourModeFeature(t, blankJob); }},
        {"cmyk_profile", [&](JobText& t) { cmykProfileFeature(t, c650, blankJob); }},
        {"image_smoothing",
         [&](JobText& t) {
             feature(t, smoothing ? "*OKImageSmoothing True" : "*OKImageSmoothing False",
                     {smoothing ? " globaldict /OK@b_ISmooth true put"
                                : " globaldict /OK@b_ISmooth false put"});
         }},
        {"mysetup",
         [&](JobText& t) {
             t.line("/mysetup [ 72 600 V 0 0 -72 600 V " + page.origin + " ] def");
         }},
        {"high_gloss",
         [&](JobText& t) {
             if (c650) feature(t, "*OKHighGlossMode True ", {});
         }},
        {"device_scale", [](JobText& t) { t.lineLf("600 72 div 600 72 div scale"); }},
    };
    for (JobSlot& slot : imageSectionSlots(ImageDialect::First, placement))
        slots.push_back(std::move(slot));
    writeTemplate(w, "first_family_setup.ps", slots);
}

void writeTrailer(JobText& w) {
    writeTemplate(w, "first_family_trailer.ps",
                  {boundingBoxSlot({}), {"end_of_job", [](JobText& t) {
                                             t.raw("\x1b%-12345X");
                                             t.line("\x1b%-12345X@PJL EOJ");
                                         }}});
}

void writeFirstFamily(const JobInputs& in, PrintJobParts& job, bool blankJob,
                      const SeparatedRows& source, const Feedback& feedback) {
    feedback.status(kStatusCreatingPrint);
    feedback.progress(0);
    ImagePlacement placement;
    job.problem = placeImage(in, job, blankJob, source, placement);
    if (!job.ok()) return;
    feedback.progress(0);

    job.header.clear();
    JobText w(job.header);
    writeProlog(w, in, blankJob);
    feedback.progress(25);
    writeSetup(w, in, blankJob, placement);

    job.trailer.clear();
    JobText t(job.trailer);
    writeTrailer(t);
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
