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

#include "app/app_state.h"

#include <string>

enum class PrinterFamily { First, Second };

// The family of the target printer: Second when targetBrand contains "RICOH".
PrinterFamily targetFamily(const AppState& state);

// The dispatcher: builds the job of the target printer's family. On entry job.imageData
// holds the separated raster; on return it holds the tiled raster, or "ERR" when the tiling
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

// Repeats the separated raster (gridWidth x gridHeight x 5 bytes) nx times across and ny
// times down with the layout's spacing, narrowing the spacing when the grid is wider or
// taller than the printable area. Out: cols and rows of the tiled raster (bytes per plane
// row, rows), its printed size sx, sy in points; raster becomes the tiled raster
// (rows x cols x 5 bytes, zero where no copy lies). Above 2^30 bytes, or when the raster
// does not match the grid size, a message is shown, raster becomes "ERR" and false is
// returned. Moves the progress bar from 0 to 100.
bool tileRaster(AppState& state, int nx, int ny, int& cols, int& rows, float& sx, float& sy,
                std::string& raster);

// The copies field read as a whole number and clamped to 1..99; the clamped value is
// written back into copiesText. Empty or non-numeric text counts as 1.
int clampCopies(AppState& state);

// The spooler's document name: the window title without the program name followed by
// " - ", a blank, the X copies text, " x" and the Y copies text.
std::string printDocumentName(const AppState& state);

// The print action up to the spooler: separates the picture for printing and builds the
// job of the target family. job.imageData is "ERR" when the separation or the tiling
// failed (the user has been told); nothing else is then built.
PrintJobParts makePrintJob(AppState& state);

// The bytes the blank page action spools: the blank page job followed by the two bytes
// 4 and 4 after its trailer.
std::string blankPageJobBytes(AppState& state);

// Writes header, image data and trailer in spool order into the file at path (replacing
// it). False with error set when the file cannot be written, or when job.imageData is
// "ERR".
bool writeJobFile(const PrintJobParts& job, const std::string& path, std::string& error);
