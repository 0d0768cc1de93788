// Pieces shared by the job writers of both families and the blank page job.
#pragma once

#include "job/job.h"
#include "job/job_text.h"

#include <initializer_list>
#include <string>
#include <string_view>

namespace jobparts {

// The PostScript blocks compiled into the program.
std::string_view okiDefaultColorSetting();
std::string_view okiProcedurePatch();
std::string_view okiInitLoad();
std::string_view errorHandler();
std::string_view fatalError();
std::string_view winBasic();
std::string_view winUtilsL2();
std::string_view winNtCompat();
std::string_view imageProbe();
std::string_view imageProcedures();
std::string_view defgColourSpace();

// Interface text n, or fallback when the table has no such entry.
std::string textOr(const TextTable& texts, int n, std::string_view fallback);

// "MM-DD-YYYY HH:MM:SS" with sep between the date fields; the time of the call, or
// SOURCE_DATE_EPOCH (UTC) when that is set to a number.
std::string creationDate(char sep);

// title with every occurrence of the program name text followed by " - " removed, made safe
// for a job line (jobLineText).
std::string titleWithoutProgramName(const TextTable& texts, std::string_view title);

// The paper name trimmed of blanks at both ends and cut to six characters.
std::string paperKey(std::string_view paperText);

// "featurebegin{", "%%BeginFeature: " + keyOption, an empty line, the body lines,
// "%%EndFeature", "}featurecleanup".
void feature(JobText& w, std::string_view keyOption, std::initializer_list<std::string_view> body);
// The same with "%%BeginNonPPDFeature:"/"%%EndNonPPDFeature" and no empty line.
void nonPpdFeature(JobText& w, std::string_view keyOption,
                   std::initializer_list<std::string_view> body);

// The JobTimeout 0 non-PPD feature and the WaitTimeout feature of seconds, each followed by
// an empty line.
void timeoutFeatures(JobText& w, int waitSeconds);

// The copies block (only when copies > 1), followed by an empty line; binary writes the
// count as a PostScript binary integer token, otherwise as decimal text.
void copiesFeature(JobText& w, int copies, bool binary);

// The prolog's error handler, fatal-error, basic and utility resources, from the error
// handler's begin line to the end of the utilities (without the closing "end").
void standardProlog(JobText& w, std::string_view errorHandlerName);

// "Pscript_WinNT_Incr begin" and the compatibility resource with the lines after it.
void compatibilitySection(JobText& w);

enum class ImageDialect { First, Second };

struct ImagePlacement {
    int rows = 0;
    int cols = 0;
    std::string translateLine; // e.g. " 87 387 translate"
    std::string scaleLine;     // e.g. " 420.5 300 scale"
};

// The image section from "gsave %% Print PostScript gsave" up to, not including, the
// "beginimage" line.
void imageSection(JobText& w, ImageDialect dialect, const ImagePlacement& placement);

// The trailer's common middle: suspend/resume, LH, the page trailer and the DSC trailer's
// resource list (from "Pscript_WinNT_Compat dup /suspend get exec" to "%%+ procset
// Pscript_WinNT_Compat 5.0 0"); boundingBox, when not empty, follows "%%Trailer".
void pageAndDocumentTrailer(JobText& w, std::string_view boundingBox);

// Plans the copies of the layout (across x down) and makes the job produce the tiled image
// data when it is sent: from source, or, when source is empty, from the separated raster
// held in job.imageData (moved into the job). Unplaceable when the raster does not match the
// grid, or the plan's problem.
JobProblem attachTiledImage(const JobInputs& in, PrintJobParts& job, const SeparatedRows& source,
                            TilePlan& plan);

// The family jobs with their image data taken from source (see attachTiledImage); on a
// problem job.problem says which.
void buildFirstFamilyJobFrom(const JobInputs& in, PrintJobParts& job, const SeparatedRows& source,
                             const Feedback& feedback);
void buildSecondFamilyJobFrom(const JobInputs& in, PrintJobParts& job, const SeparatedRows& source,
                              const Feedback& feedback);

} // namespace jobparts
