// The shape library file "shape.lib": the user's copy and the machine-wide master.
#pragma once

struct AppState;

// Makes the user's copy ready. Returns 0 ready (already set, or master copied and "Shape
// Library" stored), 1 machine-wide folder unknown, 2 user folder unknown, 3 master missing.
// The master is sharedFolder + "shape.lib", else the one shipped in programFolder.
int initialiseShapeLibrary(AppState& state);
