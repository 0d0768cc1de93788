// Print jobs: the PostScript job of each printer family, the blank page job, the media
// feature blocks and the tiling of the separated raster into the copies grid.
//
// A job is three byte strings (PrintJobParts): the header up to and including the line that
// starts the raster, the raster, and the trailer; they are spooled in that order. Every job
// input comes in a JobInputs. The date in the header follows SOURCE_DATE_EPOCH (seconds since
// 1970, written in UTC) when it is set, else the local time.
#pragma once

#include "core/state.h"
#include "core/ui.h"
#include "image/separation.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

enum class PrinterFamily { First, Second };

// The family of the target printer (model/models.h, isSecondFamily).
PrinterFamily targetFamily(const TargetPrinter& target);

// What a job is written from, taken from the session by the action that builds it: the
// printer, the texts in force (tray names, the program name), the sheet (paper, tray, medium,
// printable area), the layout (copies, the placement it published, placed size, spacing), the
// picture's grid size and the document's title (the window title).
struct JobInputs {
    const TargetPrinter& target;
    const TextTable& texts;
    const PageSetup& page;
    const Layout& layout;
    int gridWidth = 0;
    int gridHeight = 0;
    std::string_view title;
};

// Why no job was built.
enum class JobProblem {
    None,
    NoPicture,   // the grids do not hold a picture of the grid size (nothing is shown)
    Unplaceable, // the raster does not match the grid, or nothing is placed (text 134)
    TooLarge,    // the tiled raster would pass 2^30 bytes (text 135)
    Cancelled,   // the user stopped it
};

// A job as three parts spooled in this order: header, image data, trailer.
struct PrintJobParts {
    std::string header;
    // The image data when it is held in memory.
    std::string imageData;
    std::string trailer;
    // The image data when it is produced while the job is sent (imageData is then empty):
    // imageBytes bytes in all, handed to sink in order; false as soon as sink returns false.
    std::function<bool(const std::function<bool(std::string_view)>& sink)> produceImage;
    std::uint64_t imageBytes = 0;
    // Why the job is not there (header and trailer are then empty).
    JobProblem problem = JobProblem::None;
    bool ok() const { return problem == JobProblem::None; }
};

// The blank page job (first family): job.imageData is set to the 2000 zero bytes of a
// 20 x 20 five-plane raster and header and trailer are built for it; the current paper,
// tray, media and copies apply. No tiling runs, so it cannot fail.
void buildBlankPageJob(const JobInputs& in, PrintJobParts& job, const Feedback& feedback);

// Media feature block of the chosen medium (page.mediaId) for the target model; possibly
// empty.
std::string buildFirstFamilyMediaFeature(const JobInputs& in);
std::string buildSecondFamilyMediaFeature(const JobInputs& in);
// The printer media setting the chosen medium stands for: 0..35 (first family) or 0..11
// (second family); 0 = not recognised.
int firstFamilyMediaIndex(const JobInputs& in);
int secondFamilyMediaIndex(const JobInputs& in);

// Writes separated row y (0 .. gridHeight - 1) as five planes of gridWidth bytes, plane p at
// out + p * planeStride. Called for rows in order, from one thread at a time.
using SeparatedRows = std::function<void(int y, char* out, std::size_t planeStride)>;
// Takes the next bytes of a job; false stops the job.
using ByteSink = std::function<bool(std::string_view bytes)>;

// The separated raster (width x height cells) repeated nx times across and ny times down:
// cols bytes per plane row, rows rows, copies gapX and gapY cells apart, printed sx x sy
// points. The tiled raster is rows x cols x 5 bytes, zero where no copy lies.
struct TilePlan {
    int cols = 0, rows = 0;
    float sx = 0, sy = 0;
    long long width = 0, height = 0, gapX = 0, gapY = 0;
    int nx = 1, ny = 1;
    std::uint64_t bytes() const;
};

// Plans nx x ny copies of the grid (gridWidth x gridHeight, placed placedWidthPt x
// placedHeightPt) with the layout's spacing, narrowing the spacing when the copies are wider
// or taller than the printable area. Unplaceable for an empty grid or nothing placed,
// TooLarge above 2^30 bytes.
JobProblem planTiles(const JobInputs& in, int nx, int ny, TilePlan& plan);

// Produces the tiled raster of plan in order, in blocks of about a megabyte handed to sink;
// the rows are separated on a second thread while sink takes the previous block. False as
// soon as sink returns false.
bool produceTiles(const TilePlan& plan, const SeparatedRows& source, const ByteSink& sink);

// The copies field read as a whole number, held in 1..99: empty or non-numeric text counts
// as 1.
int printCopiesFromText(std::string_view text);

// The spooler's document name: the title without the program name followed by " - ", a
// blank, the X copies, " x" and the Y copies.
std::string printDocumentName(const JobInputs& in);

// The print action up to the spooler: the job of the target family, whose image data is
// separated from the grids and tiled while it is sent (the inputs must not change until
// then). problem says why no job was built; nothing is shown.
PrintJobParts makePrintJob(const JobInputs& in, const SeparationInputs& separation,
                           const Feedback& feedback);

// Hands the job to sink in spool order: header, image data (produced now when the job
// streams it), trailer. While the image data goes, the progress bar moves from progressFrom
// to progressTo (progressFrom < 0: the bar is left alone). False when sink returned false or
// the user cancelled (nothing is shown).
bool sendJobBytes(const PrintJobParts& job, const ByteSink& sink, int progressFrom, int progressTo,
                  const Feedback& feedback);

// The bytes of the image data, held or produced.
std::uint64_t jobImageBytes(const PrintJobParts& job);

// The whole job in memory (for a proof and small jobs); empty when it failed or was
// cancelled.
std::string jobBytes(const PrintJobParts& job, const Feedback& feedback);

// The bytes the blank page action spools: the blank page job followed by the two bytes
// 4 and 4 after its trailer.
std::string blankPageJobBytes(const JobInputs& in, const Feedback& feedback);

// Writes header, image data and trailer in spool order into the file at path (replacing
// it), the progress bar moving from 0 to 100. False with error set when the file cannot be
// written, when there is no job or when the user cancelled; no file is left then.
bool writeJobFile(const PrintJobParts& job, const std::string& path, std::string& error,
                  const Feedback& feedback);
