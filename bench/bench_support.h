// What the benchmarks share: a seam that prints messages (a benchmark that shows one has
// measured a failure) and asks nothing, the start of a session, and the photo-like test
// picture.
#pragma once

#include "actions/app_state.h"
#include "core/folders.h"
#include "core/texts.h"
#include "core/ui.h"

#include <QImage>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

struct QuietUi : UserInterface {
    void showMessage(MessageIcon, const std::string& caption, const std::string& text) override {
        std::fprintf(stderr, "message: %s: %s\n", caption.c_str(), text.c_str());
    }
    bool askOkCancel(const std::string&, const std::string&) override { return false; }
    void showStatus(const std::string&) override {}
    void showProgress(int) override {}
};

// A session as the programs start one, with ui as its seam, the XDG folders of the
// environment, the program data of this build and the built-in English texts.
inline void startBenchSession(AppState& s, QuietUi& ui) {
    s.ui = &ui;
    resolveFolders(s.locations);
    s.locations.programFolder = defaultProgramFolder();
    loadBuiltInTexts(s.language);
}

// A photo-like picture: a coarse random field smoothly interpolated (the blur) with
// fine-grained noise on top, so that neighbouring pixels almost never repeat.
inline QImage makePhoto(int w, int h, unsigned seed) {
    std::mt19937 rng(seed);
    const int step = 48;
    const int gw = w / step + 2, gh = h / step + 2;
    std::vector<float> field(static_cast<std::size_t>(gw) * gh * 3);
    std::uniform_real_distribution<float> u(0.0f, 255.0f);
    for (float& f : field)
        f = u(rng);
    QImage img(w, h, QImage::Format_RGB888);
    std::uniform_int_distribution<int> noise(-12, 12);
    for (int y = 0; y < h; ++y) {
        uchar* row = img.scanLine(y);
        const float fy = static_cast<float>(y) / step;
        const int y0 = static_cast<int>(fy);
        const float ty = fy - y0;
        const float sy = ty * ty * (3 - 2 * ty);
        for (int x = 0; x < w; ++x) {
            const float fx = static_cast<float>(x) / step;
            const int x0 = static_cast<int>(fx);
            const float tx = fx - x0;
            const float sx = tx * tx * (3 - 2 * tx);
            for (int c = 0; c < 3; ++c) {
                auto at = [&](int gx, int gy) {
                    return field[(static_cast<std::size_t>(gy) * gw + gx) * 3 + c];
                };
                const float top = at(x0, y0) + (at(x0 + 1, y0) - at(x0, y0)) * sx;
                const float bot = at(x0, y0 + 1) + (at(x0 + 1, y0 + 1) - at(x0, y0 + 1)) * sx;
                const int v = static_cast<int>(top + (bot - top) * sy) + noise(rng);
                row[x * 3 + c] = static_cast<uchar>(std::clamp(v, 0, 255));
            }
        }
    }
    return img;
}
