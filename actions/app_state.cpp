#include "actions/app_state.h"

Feedback feedback(AppState& state) {
    return {&state.window, &state.language, state.ui, state.progressSink};
}

void setStatus(AppState& state, int n) {
    feedback(state).status(n);
}

void setProgress(AppState& state, int p) {
    feedback(state).progress(p);
}

void showMessage(AppState& state, MessageIcon icon, const std::string& caption,
                 const std::string& text) {
    feedback(state).message(icon, caption, text);
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
