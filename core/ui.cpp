#include "core/ui.h"

#include "core/app_state.h"
#include "core/progress.h"
#include "core/texts.h"

#include <algorithm>

void setStatus(AppState& state, int n) {
    state.window.statusText = text(state.language, n);
    state.window.statusNumber = n;
    if (state.ui) state.ui->showStatus(state.window.statusText);
    if (state.progressSink) state.progressSink->step(n, state.window.progress);
}

void setProgress(AppState& state, int p) {
    state.window.progress = std::clamp(p, 0, 100);
    if (state.ui) state.ui->showProgress(state.window.progress);
    if (state.progressSink)
        state.progressSink->step(state.window.statusNumber, state.window.progress);
}

void showMessage(AppState& state, MessageIcon icon, const std::string& caption,
                 const std::string& text) {
    if (state.ui) state.ui->showMessage(icon, caption, text);
}

ProgressScope::ProgressScope(AppState& state, ProgressSink* sink)
    : state_(state), previous_(state.progressSink) {
    if (sink) sink->clearCancel();
    state.progressSink = sink;
}

ProgressScope::~ProgressScope() {
    state_.progressSink = previous_;
}

bool progressCancelled(const AppState& state) {
    return state.progressSink && state.progressSink->cancelRequested();
}

AppState::AppState() {
    auto report = [this](const std::string& path, int err) {
        reportProfileWriteFailure(ui, path, err);
    };
    settings.onWriteFailure = report;
    sharedSettings.onWriteFailure = report;
}
