// bench_preview: the main window's preview refresh (the layout, then the page preview drawn
// into a 1000 x 700 box) for a loaded A4 picture at 300 and 600 dpi. Prints the median of
// repeated refreshes and its ratio to the 30 ms a refresh may take.
//
//   bench_preview [--workdir DIR] [--runs N]

#include "actions/actions.h"
#include "actions/app_state.h"
#include "bench/bench_support.h"
#include "core/folders.h"
#include "core/texts.h"
#include "core/ui.h"
#include "image/placement.h"
#include "model/media.h"
#include "settings/settings.h"

#include <QImage>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A photo-like picture: smooth colour fields with noise, so the preview samples real colours.
QImage makePhoto(int w, int h) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> noise(-16, 16);
    QImage img(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y) {
        uchar* row = img.scanLine(y);
        for (int x = 0; x < w; ++x) {
            const int r = (x * 255) / w + noise(rng), g = (y * 255) / h + noise(rng);
            const int b = ((x + y) * 255) / (w + h) + noise(rng);
            row[x * 3] = static_cast<uchar>(std::clamp(r, 0, 255));
            row[x * 3 + 1] = static_cast<uchar>(std::clamp(g, 0, 255));
            row[x * 3 + 2] = static_cast<uchar>(std::clamp(b, 0, 255));
        }
    }
    return img;
}

double medianMs(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    std::string dir = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                      "/printconv-bench-preview";
    int runs = 15;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--workdir") dir = argv[++i];
        if (std::string(argv[i]) == "--runs") runs = std::max(3, std::atoi(argv[++i]));
    }
    fs::create_directories(dir + "/config");
    setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);

    struct Size {
        const char* name;
        int w, h;
    } sizes[] = {{"A4 300 dpi", 2480, 3508}, {"A4 600 dpi", 4960, 7016}};
    std::printf("%-12s %10s %10s %8s\n", "picture", "median ms", "worst ms", "ratio");
    for (const Size& sz : sizes) {
        const std::string file = dir + "/" + std::to_string(sz.w) + ".png";
        if (!fs::exists(file)) makePhoto(sz.w, sz.h).save(QString::fromStdString(file), "PNG");
        QuietUi ui;
        AppState s;
        startBenchSession(s, ui);
        chooseTargetPrinter(s, "C711WT");
        if (openImage(s, file) != ActionResult::Done) {
            std::fprintf(stderr, "cannot load %s\n", file.c_str());
            return 1;
        }
        selectMedium(s.page,
                     findMedium(s.page, s.language, "Transfer media 13")); // the ink test runs too
        std::vector<double> ms;
        for (int i = 0; i < runs; ++i) {
            s.layout.brightness = i % 2 ? 10 : -10; // a slider move between refreshes
            const auto t0 = Clock::now();
            refreshPreview(s);
            const std::vector<std::uint8_t> px = renderPagePreview(previewScene(s), 1000, 700);
            ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
            if (px.empty()) return 1;
        }
        const double median = medianMs(ms);
        std::printf("%-12s %10.1f %10.1f %8.2f\n", sz.name, median,
                    *std::max_element(ms.begin(), ms.end()), median / 30.0);
    }
    std::printf("target: median refresh of a 1000 x 700 preview <= 30 ms (ratio <= 1)\n");
    return 0;
}
