// The proof picture of the current settings, for the window's Proof command.
#pragma once

#include "actions/actions.h"

#include <string>

struct AppState;

// Builds the job of the loaded picture as printing would and renders it with Ghostscript to a
// PNG at pngPath. Nothing (and a message) when no picture is loaded; Failed (and a message)
// when the job cannot be built, Ghostscript is missing or cannot render it.
ActionResult makeProofPicture(AppState& state, const std::string& pngPath);

// The window's proof picture, made in a private temporary folder of its own: no other user
// can replace it while it is shown, and the folder goes with this object or on Ctrl-C or
// SIGTERM.
class ProofPicture {
  public:
    ProofPicture() = default;
    ~ProofPicture();
    ProofPicture(const ProofPicture&) = delete;
    ProofPicture& operator=(const ProofPicture&) = delete;
    // makeProofPicture into the folder; Failed (and a message) when no folder can be made.
    ActionResult make(AppState& state);
    // The PNG once make has succeeded.
    const std::string& path() const { return path_; }

  private:
    std::string folder_;
    std::string path_;
};

// The message shown when Ghostscript is not installed.
inline constexpr const char* kProofNeedsGhostscript =
    "The proof needs Ghostscript, which is not installed.\n"
    "Install the package \"ghostscript\" and try again.";
// The message shown when no picture is loaded.
inline constexpr const char* kProofNeedsPicture =
    "Open a picture first: the proof shows how it will print.";
