#include "job/proof.h"

#include "core/temp_folders.h"
#include "image/placement.h"

#include <QImage>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

const std::string kUel = "\x1b%-12345X";

// Printer behaviour the proof needs from an interpreter that is not the printer: the OKI
// custom page size call sets the page size, and the image keeps the device colours the job
// carries (the CIE-based colour space of the second family is not offered).
const char kProofPrelude[] = R"(%!PS
/DriverOps 4 dict begin
  /editversion 56 def
  /setcustompage { pop pop pop 2 array astore << /PageSize 3 -1 roll >> setpagedevice } bind def
currentdict end /ProcSet defineresource pop
userdict /resourcestatus {
  2 copy /ColorSpaceFamily eq exch /CIEBasedDEFG eq and
  { pop pop false } { systemdict /resourcestatus get exec } ifelse
} bind put
)";

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool writeAll(const std::string& path, const std::string& a, const std::string& b = {}) {
    std::ofstream out(path, std::ios::binary);
    out.write(a.data(), static_cast<std::streamsize>(a.size()));
    out.write(b.data(), static_cast<std::streamsize>(b.size()));
    return static_cast<bool>(out);
}

struct TempFolder {
    std::string path = makeTemporaryFolder("printconv-gs-");
    TempFolder() = default;
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder() { removeTemporaryFolder(path); }
};

// Next header token of a PNM/PAM file, skipping blanks and comments.
std::string headerToken(const std::string& data, std::size_t& pos) {
    while (pos < data.size()) {
        if (data[pos] == '#') {
            while (pos < data.size() && data[pos] != '\n')
                ++pos;
        } else if (std::isspace(static_cast<unsigned char>(data[pos]))) {
            ++pos;
        } else {
            break;
        }
    }
    const std::size_t start = pos;
    while (pos < data.size() && !std::isspace(static_cast<unsigned char>(data[pos])))
        ++pos;
    return data.substr(start, pos - start);
}

bool parseRaster(const std::string& data, RenderedPage& page) {
    std::size_t pos = 0;
    const std::string magic = headerToken(data, pos);
    int w = 0, h = 0, depth = 0, maxval = 0;
    if (magic == "P7") {
        while (true) {
            const std::string key = headerToken(data, pos);
            if (key.empty()) return false;
            if (key == "ENDHDR") break;
            const std::string value = headerToken(data, pos);
            if (key == "WIDTH") w = std::atoi(value.c_str());
            if (key == "HEIGHT") h = std::atoi(value.c_str());
            if (key == "DEPTH") depth = std::atoi(value.c_str());
            if (key == "MAXVAL") maxval = std::atoi(value.c_str());
        }
    } else if (magic == "P5") {
        w = std::atoi(headerToken(data, pos).c_str());
        h = std::atoi(headerToken(data, pos).c_str());
        maxval = std::atoi(headerToken(data, pos).c_str());
        depth = 1;
    } else {
        return false;
    }
    ++pos; // the single blank that ends the header
    if (w <= 0 || h <= 0 || maxval != 255 || depth <= 0) return false;
    const std::size_t size =
        static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * static_cast<std::size_t>(depth);
    if (data.size() < pos + size) return false;
    page.width = w;
    page.height = h;
    page.channels = depth;
    page.pixels = data.substr(pos, size);
    return true;
}

} // namespace

std::string stripPjl(std::string_view job) {
    std::string_view body = job;
    if (body.substr(0, kUel.size()) == kUel) {
        const std::size_t enter = body.find("@PJL ENTER LANGUAGE");
        if (enter != std::string_view::npos) {
            const std::size_t eol = body.find('\n', enter);
            body.remove_prefix(eol == std::string_view::npos ? body.size() : eol + 1);
        }
    }
    const std::size_t eof = body.rfind("%%EOF");
    if (eof != std::string_view::npos) {
        std::size_t end = eof + 5;
        if (end < body.size() && body[end] == '\r') ++end;
        if (end < body.size() && body[end] == '\n') ++end;
        body = body.substr(0, end);
    }
    return std::string(body);
}

std::string findOnPath(std::string_view program) {
    const char* path = std::getenv("PATH");
    if (!path) return {};
    std::string_view rest = path;
    while (true) {
        const std::size_t colon = rest.find(':');
        std::string dir(rest.substr(0, colon));
        if (dir.empty()) dir = ".";
        const std::string candidate = dir + "/" + std::string(program);
        struct stat st {};
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
    return {};
}

bool renderPage(const std::string& postscript, const RenderOptions& options, RenderedPage& page,
                std::string& output, std::string& error) {
    const std::string gs = findOnPath("gs");
    if (gs.empty()) {
        error = "Ghostscript (gs) was not found on PATH; install Ghostscript to render a proof";
        return false;
    }
    TempFolder dir;
    if (dir.path.empty()) {
        error = std::string("cannot create a temporary folder: ") + std::strerror(errno);
        return false;
    }
    const std::string input = dir.path + "/job.ps";
    const std::string log = dir.path + "/output.txt";
    if (!writeAll(input, postscript)) {
        error = "cannot write " + input;
        return false;
    }
    std::vector<std::string> args = {gs,
                                     "-q",
                                     "-dSAFER",
                                     "-dBATCH",
                                     "-dNOPAUSE",
                                     "-sDEVICE=" + options.device,
                                     "-r" + std::to_string(options.dpi),
                                     "-sOutputFile=" + dir.path + "/page-%d.out"};
    if (options.fixedWidthPt > 0 && options.fixedHeightPt > 0) {
        args.push_back("-dDEVICEWIDTHPOINTS=" + std::to_string(options.fixedWidthPt));
        args.push_back("-dDEVICEHEIGHTPOINTS=" + std::to_string(options.fixedHeightPt));
        args.push_back("-dFIXEDMEDIA");
    }
    args.push_back(input);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    // Everything the child needs is made before the fork: after it only async-signal-safe
    // calls may run (the program may have other threads).
    const pid_t parent = ::getpid();
    const rlim_t cpu = static_cast<rlim_t>(std::max(1, options.cpuSeconds));
    const pid_t pid = ::fork();
    if (pid < 0) {
        error = std::string("cannot run ") + gs + ": " + std::strerror(errno);
        return false;
    }
    if (pid == 0) {
        // Ghostscript ends with us (a job such as "{} loop" would otherwise run on after the
        // program was stopped) and within a CPU limit of its own.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(127);
        const rlimit limit{cpu, cpu + 1};
        ::setrlimit(RLIMIT_CPU, &limit);
        const int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (in < 0 || out < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(out, 2) < 0)
            ::_exit(127);
        ::execve(gs.c_str(), argv.data(), environ);
        ::_exit(127);
    }
    // The wall-time limit: a job that waits or loops without using CPU is stopped too.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(options.wallSeconds);
    int status = 0;
    bool timedOut = false;
    for (;;) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid || (r < 0 && errno != EINTR)) break;
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            timedOut = true;
            break;
        }
        ::usleep(2000);
    }
    if (timedOut ||
        (WIFSIGNALED(status) && (WTERMSIG(status) == SIGXCPU || WTERMSIG(status) == SIGKILL))) {
        output = readAll(log);
        error = "Ghostscript was stopped: the job took longer than its time limit (" +
                std::to_string(options.wallSeconds) + " s, " + std::to_string(options.cpuSeconds) +
                " s of CPU)";
        return false;
    }
    output = readAll(log);
    const bool failed = !WIFEXITED(status) || WEXITSTATUS(status) != 0;
    if (failed || output.find("%%[ Error") != std::string::npos ||
        output.find("Error: /") != std::string::npos) {
        error = "Ghostscript reported an error: " + output.substr(0, 2000);
        return false;
    }
    if (!parseRaster(readAll(dir.path + "/page-1.out"), page)) {
        error = "Ghostscript rendered no page";
        return false;
    }
    return true;
}

bool renderProof(const std::string& jobBytes, const std::string& pngPath, std::string& error) {
    RenderedPage page;
    std::string output;
    RenderOptions options;
    options.device = "pamcmyk32";
    options.dpi = 100;
    if (!renderPage(kProofPrelude + stripPjl(jobBytes), options, page, output, error)) return false;

    // Two panels of the page's size side by side on a grey canvas.
    const int margin = 24;
    const int w = page.width, h = page.height;
    QImage canvas(margin * 3 + w * 2, margin * 2 + h, QImage::Format_RGB32);
    canvas.fill(qRgb(128, 128, 128));
    const int dark = 40;
    const auto* px = reinterpret_cast<const unsigned char*>(page.pixels.data());
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(canvas.scanLine(margin + y));
        for (int x = 0; x < w; ++x) {
            const unsigned char* p = px + (static_cast<std::size_t>(y) * w + x) * 4;
            // Toner over a white medium: each colour toner takes away its complement.
            row[margin + x] = qRgb(255 - p[0], 255 - p[1], 255 - p[2]);
            const int white = dark + (255 - dark) * p[3] / 255;
            row[margin * 2 + w + x] = qRgb(white, white, white);
        }
    }
    if (!savePng(canvas, pngPath)) {
        error = "cannot write " + pngPath;
        return false;
    }
    return true;
}
