// Paper sizes, custom sizes, margins and the printable area.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct AppState;

// Printer class used to choose lists and ranges: 0, 2, 3, 4 or 5.
int printerClass(const AppState& state);

// The paper list of the main window for the target printer, custom sizes included.
std::vector<std::string> buildPaperList(AppState& state);

// Selects a paper by its list name: sets paperWidthPt/paperHeightPt, applies custom margins,
// recomputes the printable area.
void selectPaper(AppState& state, std::string_view name);

// Raises stored margins below the printer's minimum; recomputes the printable area.
void enforceMargins(AppState& state);

// Copies the four margin backups into the margin keys (a missing backup leaves its margin)
// and recomputes the printable area.
void restoreMargins(AppState& state);

// printableWidthPt/HeightPt from the paper and the stored margins; runs the oversize
// handling when the placed picture no longer fits.
void computePrintableArea(AppState& state);
