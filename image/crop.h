// Automatic crop of the loaded picture to its inked area plus a border.
#pragma once

#include "core/state.h"
#include "core/ui.h"

// Crops picture.imageBuffer (converted form) to the ink rectangle widened by border pixels,
// keeping the printed scale; the progress bar follows the rows. width and height are in/out
// pixel counts. Returns true when the picture changed.
bool autoCrop(Picture& picture, int border, int& width, int& height, const Feedback& feedback);
