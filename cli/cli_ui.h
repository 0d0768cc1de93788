// The command-line tool's side of the user-interface seam.
#pragma once

#include "core/ui.h"

// Messages go to stderr; progress is drawn on stderr when it is a terminal.
struct CliUserInterface : UserInterface {
    bool failed = false; // an error message was shown
    void showMessage(MessageIcon icon, const std::string& caption,
                     const std::string& text) override;
    bool askOkCancel(const std::string& caption, const std::string& text) override;
    void showStatus(const std::string& text) override;
    void showProgress(int percent) override;
};
