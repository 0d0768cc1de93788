#include "app/ui.h"

#include "app/app_state.h"
#include "app/texts.h"

#include <algorithm>

void setStatus(AppState& state, int n) {
    state.statusText = text(state, n);
    if (state.ui) state.ui->showStatus(state.statusText);
}

void setProgress(AppState& state, int p) {
    state.progress = std::clamp(p, 0, 100);
    if (state.ui) state.ui->showProgress(state.progress);
}

void showMessage(AppState& state, MessageIcon icon, const std::string& caption,
                 const std::string& text) {
    if (state.ui) state.ui->showMessage(icon, caption, text);
}
