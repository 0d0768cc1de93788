#include "cli/cli_ui.h"

#include <cstdio>
#include <string>
#include <unistd.h>

namespace {
// Message texts use CR LF line breaks; a terminal wants LF.
std::string plainLines(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i)
        if (!(s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')) out += s[i];
    return out;
}
} // namespace

void CliUserInterface::showMessage(MessageIcon icon, const std::string& caption,
                                   const std::string& text) {
    if (icon == MessageIcon::Error || icon == MessageIcon::Exclamation ||
        icon == MessageIcon::Warning)
        failed = true;
    std::string line = caption.empty() ? plainLines(text) : caption + ": " + plainLines(text);
    std::fprintf(stderr, "%s\n", line.c_str());
}

bool CliUserInterface::askOkCancel(const std::string& caption, const std::string& text) {
    // Nobody can answer; the safe answer is Cancel.
    showMessage(MessageIcon::Question, caption, text + " (answered Cancel)");
    return false;
}

void CliUserInterface::showStatus(const std::string&) {}

void CliUserInterface::showProgress(int percent) {
    if (!::isatty(STDERR_FILENO)) return;
    std::fprintf(stderr, "\r%3d%%", percent);
    if (percent >= 100) std::fprintf(stderr, "\r    \r");
    std::fflush(stderr);
}
