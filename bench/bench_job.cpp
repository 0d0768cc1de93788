// bench_job: job build (tiling and job text) for an A4 600 dpi picture and for a 3 x 4 grid
// of a small picture, both printer families, with time and peak memory.
//
//   bench_job [--quick]
//
// Each case runs in a child process of its own so that its peak memory (VmHWM) is its own.
// The separated raster is made up (a deterministic pattern); loading and separation are
// measured by bench_load.

#include "actions/app_state.h"
#include "bench/bench_support.h"
#include "model/media.h"
#include "tests/support/test_support.h"
#include "core/texts.h"
#include "core/ui.h"
#include "actions/actions.h"
#include "job/job.h"
#include "job/job_testing.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double peakBytes() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) * 1024.0;
    return 0;
}

struct Case {
    const char* name;
    int width, height; // pixels
    float widthPt, heightPt;
    int across, down;
    float spacing;
    bool second;
};

void runCase(const Case& c) {
    QuietUi ui;
    AppState s;
    s.ui = &ui;
    loadBuiltInTexts(s.language);
    s.target.targetBrand = c.second ? "RICOH" : "OKI";
    s.target.targetModel = c.second ? "C300W" : "C711WT";
    s.window.windowTitle = "Lumivane Basic - bench.png";
    s.page.paperText = "A4";
    s.page.paperWidthPt = 595;
    s.page.paperHeightPt = 842;
    s.page.printableWidthPt = 569;
    s.page.printableHeightPt = 816;
    fillMediaList(s.target, s.language, s.page);
    selectMedium(s.page, findMedium(s.page, s.language, "Transfer media 02"));
    s.window.copiesText = "1";
    s.picture.gridWidth = c.width;
    s.picture.gridHeight = c.height;
    s.layout.placedWidthPt = c.widthPt;
    s.layout.placedHeightPt = c.heightPt;
    s.layout.across = c.across;
    s.layout.down = c.down;
    s.layout.copySpacingX = c.spacing;
    s.layout.copySpacingY = c.spacing;
    s.layout.imagePosX = 13;
    s.layout.imagePosY = 13;

    const std::size_t pixels = static_cast<std::size_t>(c.width) * c.height;
    PrintJobParts job;
    job.imageData.resize(pixels * 5);
    for (std::size_t i = 0; i < job.imageData.size(); ++i)
        job.imageData[i] = static_cast<char>((i * 2654435761u) >> 24);
    const double before = peakBytes();

    const auto t0 = Clock::now();
    buildPrintJob(jobInputs(s), job, feedback(s));
    const double build = std::chrono::duration<double>(Clock::now() - t0).count();
    if (!job.ok()) {
        std::printf("%-34s failed\n", c.name);
        return;
    }
    const double peak = peakBytes();

    char path[] = "/tmp/printconv-bench-job-XXXXXX";
    const int fd = mkstemp(path);
    if (fd >= 0) close(fd);
    std::string error;
    const auto t1 = Clock::now();
    const bool written = writeJobFile(job, path, error, feedback(s));
    const double write = std::chrono::duration<double>(Clock::now() - t1).count();
    std::remove(path);

    const double peakWritten = peakBytes();
    std::printf(
        "%-34s %6d x %-6d %8.3f s build %8.3f s write (tiling included)   raster "
        "%7.1f MB   header %6.1f kB   peak over SeparationData: built %5.2f, written "
        "%5.2f bytes/source pixel%s\n",
        c.name, c.width, c.height, build, write, static_cast<double>(jobImageBytes(job)) / 1e6,
        job.header.size() / 1e3, (peak - before) / static_cast<double>(pixels),
        (peakWritten - before) / static_cast<double>(pixels), written ? "" : "  (write failed)");
}

} // namespace

int main(int argc, char** argv) {
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    // A4 at 600 dpi within the printable area: 569 x 816 points.
    const Case cases[] = {
        {"A4 600 dpi, first family", 4741, 6800, 569, 816, 1, 1, 0, false},
        {"A4 600 dpi, second family", 4741, 6800, 569, 816, 1, 1, 0, true},
        {"3 x 4 grid of 600 x 450, first", 600, 450, 144, 108, 3, 4, 12, false},
        {"3 x 4 grid of 600 x 450, second", 600, 450, 144, 108, 3, 4, 12, true},
    };
    for (const Case& c : cases) {
        if (quick && c.width > 1000) continue;
        const pid_t pid = fork();
        if (pid == 0) {
            runCase(c);
            std::fflush(stdout);
            _exit(0);
        }
        int status = 0;
        waitpid(pid, &status, 0);
    }
    return 0;
}
