#include "app/proof_picture.h"

#include "app/app_state.h"
#include "app/progress.h"
#include "app/texts.h"
#include "app/ui.h"
#include "job/proof.h"

ActionResult makeProofPicture(AppState& state, const std::string& pngPath) {
    const std::string caption = text(state, kTextProgramName);
    if (state.imageLoaded != 1) {
        showMessage(state, MessageIcon::Information, caption, kProofNeedsPicture);
        return ActionResult::Nothing;
    }
    // Checked before the job is built, so a missing interpreter is told at once.
    if (findOnPath("gs").empty()) {
        showMessage(state, MessageIcon::Warning, caption, kProofNeedsGhostscript);
        return ActionResult::Failed;
    }
    const std::string job = currentJobBytes(state);
    if (job.empty()) {
        showMessage(state, MessageIcon::Error, caption, "The print job could not be built.");
        return ActionResult::Failed;
    }
    std::string error;
    if (!renderProof(job, pngPath, error)) {
        showMessage(state, MessageIcon::Error, caption, "The proof could not be made:\n" + error);
        return ActionResult::Failed;
    }
    return ActionResult::Done;
}
