// What the benchmarks share: a seam that prints messages (a benchmark that shows one has
// measured a failure) and asks nothing.
#pragma once

#include "app/ui.h"

#include <cstdio>
#include <string>

struct QuietUi : UserInterface {
    void showMessage(MessageIcon, const std::string& caption, const std::string& text) override {
        std::fprintf(stderr, "message: %s: %s\n", caption.c_str(), text.c_str());
    }
    bool askOkCancel(const std::string&, const std::string&) override { return false; }
    void showStatus(const std::string&) override {}
    void showProgress(int) override {}
};
