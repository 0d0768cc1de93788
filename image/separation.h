// Orientation of the converted picture and its separation into the printed planes.
#pragma once

#include "app/app_state.h"

#include <string_view>

// Applies mirror/flip/rotate, folds black into C, M, Y and fills printGrid and previewGrid;
// sets gridWidth, gridHeight, placedWidthPt, placedHeightPt.
void orientImage(AppState& state);

// Builds the five-plane raster for printing from the grids and the controls; "ERR" on failure.
SeparationData separateForPrint(AppState& state);

// Chooses inkThresholdLow/High from the text of "ICM Profile Out".
void chooseInkThresholds(AppState& state);

// The ink threshold of a medium identity (0 = no test): "Transfer media 07" and "11" the low
// threshold, "Transfer media 13" the high one.
int inkThresholdForMedia(const AppState& state, int mediaId);

// True for the foil medium ("Transfer media 16"), separated and previewed as foil.
bool isFoilMedium(int mediaId);
