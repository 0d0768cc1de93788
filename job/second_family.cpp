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

} // namespace

void jobparts::buildSecondFamilyJobFrom(const JobInputs& in, PrintJobParts& job,
                                        const SeparatedRows& source, const Feedback& feedback) {
    feedback.status(kStatusCreatingPrint);
    feedback.progress(0);
    TilePlan plan;
    job.problem = attachTiledImage(in, job, source, plan);
    if (!job.ok()) return;
    ImagePlacement placement;
    placement.rows = plan.rows;
    placement.cols = plan.cols;
    placement.translateLine = plainFloat(std::max(0.0f, in.layout.imagePosX - 12)) + " " +
                              plainFloat(std::max(0.0f, in.layout.imagePosY - 12)) + " translate";
    placement.scaleLine =
        plainNumber(roundHalfEven(plan.sx)) + " " + plainNumber(roundHalfEven(plan.sy)) + " scale";

    const SecondPage page = pageSizeBlock(nullptr, in);
    const JobSlot pageBox{"page_box",
                          [&](JobText& t) { t.line("%%PageBoundingBox: 12 12 " + page.pageBox); }};
    job.header.clear();
    JobText w(job.header);
    writeTemplate(
        w, "second_family_prolog.ps",
        {{"pjl_enter",
          [](JobText& t) {
              t.lineLf("\x1b%-12345X@PJL JOB");
              t.lineLf("@PJL ENTER LANGUAGE=POSTSCRIPT");
          }},
         {"title",
          [&](JobText& t) { t.line("%%Title: " + titleWithoutProgramName(in.texts, in.title)); }},
         {"creation_date", [](JobText& t) { t.line("%%CreationDate: " + creationDate('/')); }},
         pageBox,
         {"error_handler_begin",
          [](JobText& t) { t.line("%%BeginResource: file Pscript_WinNT_VMErrorHandler 5.0 0"); }},
         waitTimeoutSlot(120),
         {"copies", [&](JobText& t) { copiesFeature(t, in.layout.copies, false); }}});
    feedback.progress(0);
    std::vector<JobSlot> slots = {
        {"page_size", [&](JobText& t) { pageSizeBlock(&t, in); }},
        {"paper_source", [&](JobText& t) { paperSourceFrame(t, in); }},
        {"media", [&](JobText& t) { t.raw(buildSecondFamilyMediaFeature(in)); }},
        {"mysetup",
         [&](JobText& t) {
             t.line("/mysetup [ 72 600 V 0 0 -72 600 V " + page.origin + " ] def ");
         }},
        pageBox,
        {"begin_image", [](JobText& t) { t.lineCr("beginimage"); }},
    };
    for (JobSlot& slot : imageSectionSlots(ImageDialect::Second, placement))
        slots.push_back(std::move(slot));
    writeTemplate(w, "second_family_setup.ps", slots);
    feedback.progress(20);

    job.trailer.clear();
    JobText tw(job.trailer);
    writeTemplate(tw, "second_family_trailer.ps",
                  {boundingBoxSlot(page.documentBox), {"end_of_job", [](JobText& t) {
                                                           t.byte(4);
                                                           t.lineLf("\x1b%-12345X@PJL EOJ");
                                                           t.raw("\x1b%-12345X");
                                                       }}});
    feedback.progress(75);
    feedback.progress(100);
}
