// bench_window_latency: how long the main window's event loop goes unanswered while long work
// runs. A 5 ms timer ticks while the window loads an A4 photo at 600 dpi and then turns it
// (orientation and separation again); the longest gap between two ticks during the work is
// the longest the window would leave a click, a key or a paint waiting. Prints the longest
// and the 99th-percentile gap and the ratio of the longest to the 100 ms a window may take
// to answer.
//
//   bench_window_latency [--workdir DIR]   (QT_QPA_PLATFORM=offscreen without a display)

#include "actions/app_state.h"
#include "bench/bench_support.h"
#include "core/folders.h"
#include "core/texts.h"
#include "gui/control_ids.h"
#include "gui/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Gaps {
    std::vector<double> ms;
    double longest() const { return ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
    double p99() const {
        if (ms.empty()) return 0;
        std::vector<double> v = ms;
        std::sort(v.begin(), v.end());
        return v[std::min(v.size() - 1, v.size() * 99 / 100)];
    }
};

// Runs work while the timer measures the gaps between its ticks that fall inside it.
Gaps measure(MainWindow& window, const std::function<void()>& work) {
    Gaps gaps;
    QElapsedTimer clock;
    qint64 last = -1;
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (!window.busy()) return;
        const qint64 now = clock.nsecsElapsed();
        if (last >= 0) gaps.ms.push_back((now - last) / 1e6);
        last = now;
    });
    clock.start();
    timer.start();
    work();
    return gaps;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    namespace fs = std::filesystem;
    std::string dir = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                      "/printconv-bench-latency";
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--workdir") dir = argv[++i];
    fs::create_directories(dir + "/config");
    setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    const std::string file = dir + "/a4-600dpi.png";
    if (!fs::exists(file)) {
        QImage photo = makePhoto(4960, 7016, 3);
        photo.setDotsPerMeterX(23622);
        photo.setDotsPerMeterY(23622);
        photo.save(QString::fromStdString(file), "PNG");
    }

    QuietUi ui;
    AppState state;
    startBenchSession(state, ui);
    MainWindowHooks hooks;
    hooks.dialogs = &ui;
    hooks.listPrinterBox = [](const PrinterBoxRequest&) { return PrinterBoxContents{}; };
    MainWindow window(state, hooks);
    window.show();

    std::printf("%-22s %10s %10s %8s\n", "work", "longest ms", "p99 ms", "ratio");
    auto report = [](const char* name, const Gaps& g) {
        std::printf("%-22s %10.1f %10.1f %8.2f\n", name, g.longest(), g.p99(), g.longest() / 100);
    };
    report("load A4 600 dpi",
           measure(window, [&] { window.openFile(QString::fromStdString(file)); }));
    if (state.picture.imageLoaded != 1) {
        std::fprintf(stderr, "the picture did not load\n");
        return 1;
    }
    auto* rotate = qobject_cast<QCheckBox*>(findById(&window, kIdRotate));
    report("turn A4 600 dpi", measure(window, [&] { rotate->click(); }));
    std::printf("target: the window answers within 100 ms during long work (ratio <= 1)\n");
    return 0;
}
