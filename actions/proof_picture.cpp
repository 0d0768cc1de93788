#include "actions/proof_picture.h"

#include "actions/app_state.h"
#include "core/temp_folders.h"
#include "core/texts.h"
#include "core/ui.h"
#include "job/proof.h"

#include <cerrno>
#include <cstring>

ActionResult makeProofPicture(AppState& state, const std::string& pngPath) {
    const std::string caption = text(state.language, kTextProgramName);
    if (state.picture.imageLoaded != 1) {
        showMessage(state, MessageIcon::Information, caption, kProofNeedsPicture);
        return ActionResult::Nothing;
    }
    // Checked before the job is built, so a missing interpreter is told at once.
    if (findOnPath("gs").empty()) {
        showMessage(state, MessageIcon::Warning, caption, kProofNeedsGhostscript);
        return ActionResult::Failed;
    }
    // The job is built as for printing and then rendered: both take a while, so the status
    // line and the progress bar say so; the picture stays loaded afterwards.
    setStatus(state, kStatusCreatingPrint);
    setProgress(state, 10);
    const std::string job = currentJobBytes(state);
    setProgress(state, 60);
    std::string error;
    const bool rendered = !job.empty() && renderProof(job, pngPath, error);
    setStatus(state, kStatusLoaded);
    setProgress(state, rendered ? 100 : 0);
    if (job.empty()) {
        showMessage(state, MessageIcon::Error, caption, "The print job could not be built.");
        return ActionResult::Failed;
    }
    if (!rendered) {
        showMessage(state, MessageIcon::Error, caption, "The proof could not be made:\n" + error);
        return ActionResult::Failed;
    }
    return ActionResult::Done;
}

ProofPicture::~ProofPicture() {
    if (!folder_.empty()) removeTemporaryFolder(folder_);
}

ActionResult ProofPicture::make(AppState& state) {
    if (folder_.empty()) folder_ = makeTemporaryFolder("printconv-proof-");
    if (folder_.empty()) {
        showMessage(state, MessageIcon::Error, text(state.language, kTextProgramName),
                    std::string("The proof could not be made:\nno temporary folder (") +
                        std::strerror(errno) + ")");
        return ActionResult::Failed;
    }
    const std::string png = folder_ + "/proof.png";
    const ActionResult r = makeProofPicture(state, png);
    path_ = r == ActionResult::Done ? png : std::string();
    return r;
}
