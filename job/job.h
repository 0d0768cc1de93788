// Print jobs: the PostScript job of each printer family, the blank page job, the media
// feature blocks and the tiling of the separated raster into the copies grid.
//
// A job is three byte strings (PrintJobParts): the header up to and including the line that
// starts the raster, the raster, and the trailer; they are spooled in that order. All job
// inputs are read from the state (copiesText, mediaText, paperText, trayText, paperWidthPt,
// paperHeightPt, the published placement across/down/copySpacingX/Y/imagePosX/Y,
// placedWidthPt/HeightPt, gridWidth/Height, printableWidthPt/HeightPt, the fixed spacing,
// windowTitle, targetBrand, targetModel). The date in the header follows SOURCE_DATE_EPOCH
// (seconds since 1970, written in UTC) when it is set, else the local time.
#pragma once

#include "core/app_state.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

enum class PrinterFamily { First, Second };

// The family of the target printer: Second when targetBrand contains "RICOH".
PrinterFamily targetFamily(const AppState& state);

// The dispatcher: builds the job of the target printer's family. On entry job.imageData
// holds the separated raster (gridWidth x gridHeight x 5 bytes); on return the job produces
// the tiled raster from it when sent (produceImage), or imageData is "ERR" when the tiling
// failed (the user has been told; header and trailer are then left empty).
void buildPrintJob(AppState& state, PrintJobParts& job);

// The first-family (OKI) job; same contract as buildPrintJob.
void buildFirstFamilyJob(AppState& state, PrintJobParts& job);

// The second-family (Ricoh) job with its PJL framing; same contract as buildPrintJob.
void buildSecondFamilyJob(AppState& state, PrintJobParts& job);

// The blank page job (first family): job.imageData is set to the 2000 zero bytes of a
// 20 x 20 five-plane raster and header and trailer are built for it; the current paper,
// tray, media and copies apply. No tiling runs, so it cannot fail.
void buildBlankPageJob(AppState& state, PrintJobParts& job);

// Media feature block of the chosen medium (mediaText) for the target model; possibly empty.
std::string buildMediaFeature(const AppState& state, PrinterFamily family);
std::string buildFirstFamilyMediaFeature(const AppState& state);
std::string buildSecondFamilyMediaFeature(const AppState& state);
// The printer media setting the chosen medium stands for: 0..35 (first family) or 0..11
// (second family); 0 = not recognised.
int firstFamilyMediaIndex(const AppState& state);
int secondFamilyMediaIndex(const AppState& state);

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
// or taller than the printable area. Above 2^30 bytes, or for an empty grid, a message is
// shown and false is returned.
bool planTiles(AppState& state, int nx, int ny, TilePlan& plan);

// Produces the tiled raster of plan in order, in blocks of about a megabyte handed to sink;
// the rows are separated on a second thread while sink takes the previous block. False as
// soon as sink returns false.
bool produceTiles(const TilePlan& plan, const SeparatedRows& source, const ByteSink& sink);

// planTiles and produceTiles for a separated raster held in memory (gridWidth x gridHeight x
// 5 bytes). Out: cols, rows, sx, sy of the plan; raster becomes the tiled raster. A raster
// that does not match the grid size, or a plan that fails, shows a message, makes raster
// "ERR" and returns false; a cancel does the same without a message. Moves the progress bar
// to 100 as the copy rows are done.
bool tileRaster(AppState& state, int nx, int ny, int& cols, int& rows, float& sx, float& sy,
                std::string& raster);

// The copies field read as a whole number and clamped to 1..99; the clamped value is
// written back into copiesText. Empty or non-numeric text counts as 1.
int clampCopies(AppState& state);

// The spooler's document name: the window title without the program name followed by
// " - ", a blank, the X copies text, " x" and the Y copies text.
std::string printDocumentName(const AppState& state);

// The print action up to the spooler: the job of the target family, whose image data is
// separated from the grids and tiled while it is sent (the state must not change until
// then). job.imageData is "ERR" when the grids do not fit or the tiling failed (the user has
// been told of the latter); nothing else is then built.
PrintJobParts makePrintJob(AppState& state);

// Hands the job to sink in spool order: header, image data (produced now when the job
// streams it), trailer. While the image data goes, the progress bar moves from progressFrom
// to progressTo (progressFrom < 0: the bar is left alone). False when sink returned false or
// the user cancelled (nothing is shown).
bool sendJobBytes(AppState& state, const PrintJobParts& job, const ByteSink& sink, int progressFrom,
                  int progressTo);

// The bytes of the image data, held or produced.
std::uint64_t jobImageBytes(const PrintJobParts& job);

// The whole job in memory (for a proof and small jobs); empty when it failed or was
// cancelled.
std::string jobBytes(AppState& state, const PrintJobParts& job);

// The bytes the blank page action spools: the blank page job followed by the two bytes
// 4 and 4 after its trailer.
std::string blankPageJobBytes(AppState& state);

// Writes header, image data and trailer in spool order into the file at path (replacing
// it), the progress bar moving from 0 to 100. False with error set when the file cannot be
// written, when job.imageData is "ERR" or when the user cancelled; no file is left then.
bool writeJobFile(AppState& state, const PrintJobParts& job, const std::string& path,
                  std::string& error);
