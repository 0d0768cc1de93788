#include "core/ui.h"

#include "core/app_state.h"
#include "core/progress.h"
#include "core/texts.h"

#include <algorithm>

void Feedback::status(int n) const {
    const std::string shown = texts ? text(*texts, n) : std::string();
    int percent = 0;
    if (window) {
        window->statusText = shown;
        window->statusNumber = n;
        percent = window->progress;
    }
    if (ui) ui->showStatus(shown);
    if (sink) sink->step(n, percent);
}

void Feedback::progress(int p) const {
    p = std::clamp(p, 0, 100);
    int phase = 0;
    if (window) {
        window->progress = p;
        phase = window->statusNumber;
    }
    if (ui) ui->showProgress(p);
    if (sink) sink->step(phase, p);
}

void Feedback::message(MessageIcon icon, const std::string& caption,
                       const std::string& text) const {
    if (ui) ui->showMessage(icon, caption, text);
}

bool Feedback::askOkCancel(const std::string& caption, const std::string& text) const {
    return ui && ui->askOkCancel(caption, text);
}

bool Feedback::cancelled() const {
    return sink && sink->cancelRequested();
}

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
