// Pieces shared by the job writers of both families and the blank page job.
#pragma once

#include "job/job.h"
#include "job/job_text.h"

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace jobparts {

// The embedded resource of that file name (resources/*.ps, the generated
// "defg_colour_space.ps"); empty when there is none.
std::string_view jobResource(std::string_view fileName);

// A line of a job template that the writer fills in: name (without the @) and what it writes
// there (nothing when write is empty).
struct JobSlot {
    std::string_view name;
    std::function<void(JobText&)> write;
};

// Writes the job template fileName: each line with CR LF, except that a line "@name.ps@" is
// the template or resource of that name (its lines filled from the same slots), a line
// "@name@" is what the slot of that name writes, and a line starting "@@" is a note and not
// sent. A missing template or slot, or a slot no line uses, is a fault of the program:
// std::logic_error.
void writeTemplate(JobText& w, std::string_view fileName, const std::vector<JobSlot>& slots);

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

// The slot "wait_timeout" of timeouts.ps: the WaitTimeout feature of seconds.
JobSlot waitTimeoutSlot(int waitSeconds);

// The slot "bounding_box" of page_trailer.ps: the trailer's bounding box line, when not empty.
JobSlot boundingBoxSlot(std::string boundingBox);

// The copies block (only when copies > 1), followed by an empty line; binary writes the
// count as a PostScript binary integer token, otherwise as decimal text.
void copiesFeature(JobText& w, int copies, bool binary);

enum class ImageDialect { First, Second };

struct ImagePlacement {
    int rows = 0;
    int cols = 0;
    std::string translateLine; // e.g. " 87 387 translate"
    std::string scaleLine;     // e.g. " 420.5 300 scale"
};

// The slots of image_section.ps ("size", "colour_space", "rendering", "strings"): the image
// section from "gsave %% Print PostScript gsave" up to, not including, "beginimage".
std::vector<JobSlot> imageSectionSlots(ImageDialect dialect, const ImagePlacement& placement);

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
