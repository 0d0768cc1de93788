// The pattern print commands over the state: the mask of the loaded picture, printing with
// it, and the pattern preview switch. The setup window and printconv-cli call these.
#pragma once

#include "actions/actions.h"

#include <string>
#include <vector>

struct AppState;

// "Pattern Preview": the mask is drawn over the page preview while on; then refresh.
ActionResult setPatternPreview(AppState& state, bool on);

// The setup window's Print: stops without a queue or picture like the print action, turns
// Pattern Print on, makes the mask, stores the queue, builds the job with the mask applied
// and spools it to queue.
ActionResult printPatternAction(AppState& state, const std::vector<std::string>& queues,
                                const std::string& queue);
