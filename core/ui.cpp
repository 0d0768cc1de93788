#include "core/ui.h"

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
