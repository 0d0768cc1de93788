// Paper sizes, custom sizes, margins, the printable area and the paper source list.
//
// These rules set the sheet (PageSetup) from the settings file; a picture that no longer fits
// a smaller printable area is fitted again by the caller (image/placement.h, handleOversize).
#pragma once

#include "core/profile_file.h"
#include "core/state.h"
#include "core/units.h"

#include <string>
#include <string_view>
#include <vector>

// The paper list of the main window for the target printer, custom sizes included (those
// the printer class may use). Stores it in page.paperList and selects "A4" in page.paperText
// (the first entry when "A4" is missing). Does not change the paper size.
std::vector<std::string> buildPaperList(const TargetPrinter& target, const ProfileFile& settings,
                                        PageSetup& page);

// Selects a paper by its list name: sets paperText, paperWidthPt/paperHeightPt (from the
// first six characters, else from the custom size of that name), writes the custom size's
// margins when it has any, recomputes the printable area. An unknown custom name keeps the
// current size. Returns false when the name is neither built in nor a custom size.
bool selectPaper(PageSetup& page, ProfileFile& settings, std::string_view name);

// Size in whole points of a built-in paper name (matched by its first six characters).
// False when the name is not built in.
bool builtInPaperSize(std::string_view name, int& widthPt, int& heightPt);

// Size of a configuration snapshot's "PaperSize" value by its first four characters, else
// from the custom size of that name. False (sizes untouched) when neither knows it.
bool snapshotPaperSize(const ProfileFile& settings, std::string_view name, int& widthPt,
                       int& heightPt);

// One custom paper size of section "Papers". Lengths in points.
struct CustomPaper {
    std::string name;
    double widthPt = 0.0;
    double heightPt = 0.0;
    std::string tag; // "0" below 612.29 points wide, "5" below 842, else "9"
    double topPt = 0.0, leftPt = 0.0, rightPt = 0.0, bottomPt = 0.0;
};

// The width class tag of a custom size width in points: "0", "5" or "9".
std::string customWidthTag(double widthPt);

// Parses a "Papers" record (name^width^height^tag^top^left^right^bottom). False when it has
// no name or no positive width and height; missing margin fields read as 0.
bool parseCustomPaper(std::string_view record, CustomPaper& paper);

// The record text of a custom size as it is stored: sizes "#.#####" (tags "0", "5") or
// "####.#####" (tag "9"), margins "####.#####".
std::string customPaperRecord(const CustomPaper& paper);

// All readable custom sizes, keys "Custom1" .. "Custom" + "Number", in order.
std::vector<CustomPaper> readCustomPapers(const ProfileFile& settings);

// Why a custom size cannot be added.
enum class CustomPaperError {
    None,
    BadName,
    ReservedName,
    BadSize,
    BadMargin,
    TooLong,
    WriteFailed
};

// Adds a custom size (points; the tag is derived from the width). A size of the same name is
// replaced in place, otherwise it is appended as "Custom" + (Number + 1) and "Number" grows.
// Refused: empty names, names with "^" or line breaks, names that select a built-in size,
// non-positive or non-finite sizes, negative margins, records longer than a setting holds.
CustomPaperError addCustomPaper(ProfileFile& settings, std::string_view name, double widthPt,
                                double heightPt, double topPt, double leftPt, double rightPt,
                                double bottomPt);

// Deletes the custom size of that name: later entries move down one key and "Number"
// shrinks. False when there is no such size or the file could not be written.
bool deleteCustomPaper(ProfileFile& settings, std::string_view name);

// The width and height ranges shown in the custom size dialog for the display unit and the
// target printer, e.g. "(63...215.9)".
struct CustomSizeRanges {
    std::string width;
    std::string height;
};
CustomSizeRanges customSizeRanges(const TargetPrinter& target, Unit unit);

// Margin sums after enforcement, in points.
struct MarginSums {
    float leftRight = 0.0f;
    float topBottom = 0.0f;
};

// Raises stored margins below the printer's minimum (rewriting the key with the table's
// text); the sums use the minimum for a raised margin. Sets page.margins (as stored) and the
// printable area from the paper and the sums.
MarginSums enforceMargins(const TargetPrinter& target, ProfileFile& settings, PageSetup& page);

// Copies the four margin backups into the margin keys and recomputes the printable area.
// A backup that is missing, empty or not a number leaves its margin as it is.
void restoreMargins(ProfileFile& settings, PageSetup& page);

// A stored margin in points (key value ÷ 100; 0 when missing). which: "Top", "Left",
// "Right" or "Bottom".
double marginPt(const ProfileFile& settings, std::string_view which);

// The four stored margins in points.
Margins storedMargins(const ProfileFile& settings);

// Writes a margin given in hundredths of a point (rounded to a whole number).
bool writeMargin(ProfileFile& settings, std::string_view which, double hundredths);

// page.margins (as stored) and printableWidthPt/HeightPt from the paper and them.
void computePrintableArea(const ProfileFile& settings, PageSetup& page);

// The paper source list and selection for a medium (its identity, see model/media.h). changed is
// false for media that leave the list as it was.
struct TrayChoice {
    bool changed = false;
    std::vector<std::string> list;
    std::string selected;
};
TrayChoice trayListForMedia(const TargetPrinter& target, const TextTable& texts,
                            const PageSetup& page, int mediaId);

// Applies trayListForMedia(page.mediaId) to page.trayList and page.trayText.
void fillTrayList(const TargetPrinter& target, const TextTable& texts, PageSetup& page);
