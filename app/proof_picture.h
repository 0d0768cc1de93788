// The proof picture of the current settings, for the window's Proof command.
#pragma once

#include "app/actions.h"

#include <string>

struct AppState;

// Builds the job of the loaded picture as printing would and renders it with Ghostscript to a
// PNG at pngPath. Nothing (and a message) when no picture is loaded; Failed (and a message)
// when the job cannot be built, Ghostscript is missing or cannot render it.
ActionResult makeProofPicture(AppState& state, const std::string& pngPath);

// The message shown when Ghostscript is not installed.
inline constexpr const char* kProofNeedsGhostscript =
    "The proof needs Ghostscript, which is not installed.\n"
    "Install the package \"ghostscript\" and try again.";
// The message shown when no picture is loaded.
inline constexpr const char* kProofNeedsPicture =
    "Open a picture first: the proof shows how it will print.";
