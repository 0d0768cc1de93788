// The proof: a picture of what the toners will put down, rendered from a job by Ghostscript.
#pragma once

#include <string>
#include <string_view>

// The PostScript of a job without its PJL framing: a leading UEL "@PJL ... ENTER LANGUAGE"
// header is dropped, and everything after the last "%%EOF" line (the closing UEL and PJL
// lines, the end-of-job bytes) is cut. A job without framing comes back unchanged.
std::string stripPjl(std::string_view job);

// Full path of an executable program found through PATH; empty when there is none.
std::string findOnPath(std::string_view program);

// Renders jobBytes (either family, framing allowed) with Ghostscript ("gs" on PATH) at
// 100 dpi and writes a PNG to pngPath: on a grey canvas, the cyan, magenta and yellow planes
// as they will look on a white medium, and beside them the fourth plane (the white toner)
// as white on a dark ground, each panel the size of the page. The image is shown with the
// planes as the job carries them (device colours, no colour conversion by the interpreter).
// False with error set when Ghostscript is missing, reports a PostScript error or renders
// no page, or when the PNG cannot be written.
bool renderProof(const std::string& jobBytes, const std::string& pngPath, std::string& error);

// One page rendered by Ghostscript: width x height pixels of `channels` bytes each, rows
// top to bottom. For "pamcmyk32" the channels are C, M, Y, K with 255 = full toner; for
// "pgmraw" one grey byte with 255 = white.
struct RenderedPage {
    int width = 0;
    int height = 0;
    int channels = 0;
    std::string pixels;
};

struct RenderOptions {
    std::string device = "pamcmyk32"; // "pamcmyk32" or "pgmraw"
    int dpi = 100;
    int fixedWidthPt = 0; // when both are above 0: this media size, requests ignored
    int fixedHeightPt = 0;
    // Limits of the Ghostscript run: wall time and CPU time (a job may loop forever).
    int wallSeconds = 120;
    int cpuSeconds = 120;
};

// Runs Ghostscript on postscript (no PJL framing) and reads back its first page. output
// receives what the interpreter printed (stdout and stderr). False with error set when
// Ghostscript is missing, exits with an error, prints a PostScript error report, renders
// no page or runs past its time limits (it is then killed). Ghostscript is killed when this
// process dies, and its temporary folder is removed in every case the process can see.
bool renderPage(const std::string& postscript, const RenderOptions& options, RenderedPage& page,
                std::string& output, std::string& error);
