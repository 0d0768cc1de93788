// Automatic crop of the loaded picture to its inked area plus a border.
#pragma once

struct AppState;

// Crops state.imageBuffer (converted form) to the ink rectangle widened by border pixels.
// width and height are in/out pixel counts. Returns true when the picture changed.
bool autoCrop(AppState& state, int border, int& width, int& height);
