#include "actions/pattern_actions.h"

#include "actions/app_state.h"
#include "core/progress.h"
#include "core/texts.h"
#include "core/ui.h"
#include "pattern/pattern_mask.h"

ActionResult setPatternPreview(AppState& state, bool on) {
    state.layout.patternPreviewChecked = on;
    const ActionResult r = updatePatternMask(state);
    refreshPreview(state);
    return r == ActionResult::Failed ? r : ActionResult::Done;
}

ActionResult printPatternAction(AppState& state, const std::vector<std::string>& queues,
                                const std::string& queue) {
    if (queues.empty() || state.picture.imageLoaded != 1) return ActionResult::Nothing;
    state.layout.patternPrintChecked = true;
    if (updatePatternMask(state) != ActionResult::Done) return ActionResult::Failed;
    return printToQueue(state, queue);
}
