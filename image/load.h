// Loading an image file into the program's one working picture, in steps: the source checked,
// a temporary copy decoded in the sandboxed child, the resolution probed, the size fitted to
// the sheet, the grids made, the colour converted, the picture oriented.
#pragma once

#include "core/state.h"
#include "core/ui.h"
#include "image/colour.h"
#include "image/decode.h"

#include <cstdint>
#include <string>

// What to load, and how.
struct LoadRequest {
    std::string path;        // surrounding double quotes are removed
    bool flip = false;       // decode with the rows bottom first ("Flip")
    ColourProfiles profiles; // the conversion's profiles
};

// Why a load left no new picture.
enum class LoadProblem {
    None,        // loaded
    NotRegular,  // path is not a regular file
    TooLarge,    // the file is larger than limitBytes, more than any picture may have
    Undecodable, // the decode failed (see decode)
    NoMemory,    // the grids could not be had
    Conversion,  // the colour conversion failed (see conversion)
    Dropped,     // the decoded pixels were not of the size the decoder said: nothing loaded
    Cancelled,   // the user stopped the load; what it would replace is as it was
};

// How a load ended, with what the user must be told.
struct LoadOutcome {
    LoadProblem problem = LoadProblem::None;
    std::string path;             // the path loaded, quotes removed
    std::uint64_t limitBytes = 0; // TooLarge: the decoder's byte limit
    DecodeOutcome decode;         // Undecodable: why (its pixel buffers are empty)
    ConversionOutcome conversion; // Conversion: why
    float dpiBefore = 0.0f;       // the resolution the file tells (before the fit)
    bool ok() const { return problem == LoadProblem::None; }
};

// Loads the picture of request into picture and places it in layout for the sheet: the copy
// counts go back to 1 (kept on a cancel during the decode), the rotation, size, zoom and
// resolution follow the picture, a picture larger than the printable area is shrunk. The
// progress bar and status line follow the steps; nothing is shown (the caller tells the user
// from the outcome). On a failure the previous picture stays while it was not yet replaced;
// once the new picture replaced it, a failure leaves no picture (imageLoaded 0) and a cancel
// brings the previous one back. picture.loadFailure says what the failure means for the
// command (Unsuitable: the file; Conversion and OutOfMemory: the program's state).
LoadOutcome loadImage(const LoadRequest& request, Picture& picture, Layout& layout,
                      const PageSetup& page, const Feedback& feedback);
