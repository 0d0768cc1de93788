#include "image/load.h"

#include "core/app_state.h"
#include "core/progress.h"
#include "core/files.h"
#include "core/temp_folders.h"
#include "core/texts.h"
#include "core/ui.h"
#include "image/colour.h"
#include "image/decode.h"
#include "image/probes.h"
#include "image/separation.h"
#include "settings/settings.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <new>
#include <unistd.h>
#include <utility>

namespace {

// DevIL's "unable to open file" code, shown when the file cannot be read at all.
constexpr unsigned kUnableToOpenFile = 0x050A;

// The extension of the file name in path: from its last '.', the '.' included; empty when
// the name has none.
std::string extensionOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    std::size_t name = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < name) return {};
    return path.substr(dot);
}

// The temporary copy the decoder reads: "Vtemp" + extension in a private folder made for
// this load under $TMPDIR (default /tmp), so no other user can predict or replace it.
// Removed with its folder when this object ends, whatever happened.
class TemporaryCopy {
  public:
    explicit TemporaryCopy(const std::string& source) {
        folder_ = makeTemporaryFolder("printconv-load-");
        if (folder_.empty()) return;
        std::string target = folder_ + "/Vtemp" + extensionOf(source);
        if (copyFile(source, target)) path_ = target;
    }
    ~TemporaryCopy() { remove(); }
    TemporaryCopy(const TemporaryCopy&) = delete;
    TemporaryCopy& operator=(const TemporaryCopy&) = delete;

    // The copy's path; empty when no copy could be made.
    const std::string& path() const { return path_; }
    void remove() {
        removeTemporaryFolder(folder_);
        path_.clear();
        folder_.clear();
    }

  private:
    // Copies at most the decoder's byte limit: a file that grows past it is not copied.
    static bool copyFile(const std::string& from, const std::string& to) {
        int in = openRegularFile(from);
        if (in < 0) return false;
        int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (out < 0) {
            ::close(in);
            return false;
        }
        const std::uint64_t maxBytes = decodeLimits().maxRgbaBytes;
        std::uint64_t copied = 0;
        bool ok = kernelCopy(in, out, maxBytes, copied);
        if (!ok && copied == 0 && errno != EFBIG) ok = readWriteCopy(in, out, maxBytes, copied);
        ::close(in);
        if (::close(out) != 0) ok = false;
        if (!ok) ::unlink(to.c_str());
        return ok;
    }

    // The kernel copies without passing the bytes through this process. False with errno
    // EFBIG past maxBytes; false with nothing copied where the kernel cannot copy between
    // these files, so the caller reads and writes instead.
    static bool kernelCopy(int in, int out, std::uint64_t maxBytes, std::uint64_t& copied) {
        for (;;) {
            const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 24, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return false;
            if (n == 0) return true;
            copied += static_cast<std::uint64_t>(n);
            if (copied > maxBytes) {
                errno = EFBIG;
                return false;
            }
        }
    }

    static bool readWriteCopy(int in, int out, std::uint64_t maxBytes, std::uint64_t& copied) {
        char buf[1 << 16];
        for (;;) {
            const ssize_t n = ::read(in, buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return false;
            if (n == 0) return true;
            copied += static_cast<std::uint64_t>(n);
            if (copied > maxBytes) return false;
            for (ssize_t done = 0; done < n;) {
                const ssize_t w = ::write(out, buf + done, static_cast<std::size_t>(n - done));
                if (w < 0 && errno == EINTR) continue;
                if (w <= 0) return false;
                done += w;
            }
        }
    }

    std::string folder_;
    std::string path_;
};

void stripQuotes(std::string& path) {
    std::size_t b = path.find_first_not_of('"');
    if (b == std::string::npos) {
        path.clear();
        return;
    }
    std::size_t e = path.find_last_not_of('"');
    path = path.substr(b, e - b + 1);
}

// Tells the user why the file was not loaded.
void reportDecodeFailure(AppState& state, const DecodeOutcome& d) {
    const std::string& title = text(state.language, 0);
    if (d.status == DecodeStatus::CopyFailed) {
        showMessage(state, MessageIcon::Exclamation, title, "Failed to Convert Image");
        std::string err = devilErrorText(d.devilError);
        if (!err.empty()) showMessage(state, MessageIcon::Error, title, err);
        return;
    }
    if (d.status == DecodeStatus::Unreadable) {
        showMessage(state, MessageIcon::Error, title, devilErrorText(kUnableToOpenFile));
        return;
    }
    showMessage(state, MessageIcon::Error, title, decodeFailureText(d));
}

// Only a regular file within the decoder's size limit is copied and decoded: a FIFO would
// block the load, a device such as /dev/zero would fill the temporary folder.
bool acceptableSource(AppState& state, const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return true; // the decode reports a missing file
    if (!S_ISREG(st.st_mode)) {
        showMessage(state, MessageIcon::Error, text(state.language, 0),
                    path + "\r\nis not a regular file; only image files can be opened");
        return false;
    }
    const std::uint64_t maxBytes = decodeLimits().maxRgbaBytes;
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes) {
        showMessage(state, MessageIcon::Error, text(state.language, 0),
                    path + "\r\nis larger than " + std::to_string(maxBytes >> 20) +
                        " MB, more than an image may have");
        return false;
    }
    return true;
}

// A load that went wrong after the new picture replaced the old one: nothing of it stays.
void dropImage(AppState& state) {
    state.picture.imageBuffer = {};
    state.picture.printGrid = {};
    state.picture.previewGrid = {};
    state.picture.imagePixelWidth = state.picture.imagePixelHeight = 0;
    state.picture.gridWidth = state.picture.gridHeight = 0;
    state.picture.imageWidthPt = state.picture.imageHeightPt = 0.0f;
    state.layout.placedWidthPt = state.layout.placedHeightPt = 0.0f;
    state.picture.imageLoaded = 0;
}

// The loaded picture and what a load rewrites, kept aside while a new picture is converted so
// that a cancel can put the previous one back. Moves, never copies, the buffers.
struct PictureBackup {
    ImageBuffer imageBuffer;
    PrintGrid printGrid;
    PreviewGrid previewGrid;
    int imageLoaded, imagePixelWidth, imagePixelHeight, gridWidth, gridHeight;
    float imageWidthPt, imageHeightPt, placedWidthPt, placedHeightPt, zoom, xDpi, yDpi;
    bool rotateChecked;
    std::string scaleText, widthText, heightText, xCopiesText, yCopiesText;

    explicit PictureBackup(AppState& s)
        : imageBuffer(std::move(s.picture.imageBuffer)), printGrid(std::move(s.picture.printGrid)),
          previewGrid(std::move(s.picture.previewGrid)), imageLoaded(s.picture.imageLoaded),
          imagePixelWidth(s.picture.imagePixelWidth), imagePixelHeight(s.picture.imagePixelHeight),
          gridWidth(s.picture.gridWidth), gridHeight(s.picture.gridHeight),
          imageWidthPt(s.picture.imageWidthPt), imageHeightPt(s.picture.imageHeightPt),
          placedWidthPt(s.layout.placedWidthPt), placedHeightPt(s.layout.placedHeightPt),
          zoom(s.layout.zoom), xDpi(s.picture.xDpi), yDpi(s.picture.yDpi),
          rotateChecked(s.layout.rotateChecked), scaleText(s.window.scaleText),
          widthText(s.window.widthText), heightText(s.window.heightText),
          xCopiesText(s.window.xCopiesText), yCopiesText(s.window.yCopiesText) {}

    void restore(AppState& s) {
        s.picture.imageBuffer = std::move(imageBuffer);
        s.picture.printGrid = std::move(printGrid);
        s.picture.previewGrid = std::move(previewGrid);
        s.picture.imageLoaded = imageLoaded;
        s.picture.imagePixelWidth = imagePixelWidth;
        s.picture.imagePixelHeight = imagePixelHeight;
        s.picture.gridWidth = gridWidth;
        s.picture.gridHeight = gridHeight;
        s.picture.imageWidthPt = imageWidthPt;
        s.picture.imageHeightPt = imageHeightPt;
        s.layout.placedWidthPt = placedWidthPt;
        s.layout.placedHeightPt = placedHeightPt;
        s.layout.zoom = zoom;
        s.picture.xDpi = xDpi;
        s.picture.yDpi = yDpi;
        s.layout.rotateChecked = rotateChecked;
        s.window.scaleText = scaleText;
        s.window.widthText = widthText;
        s.window.heightText = heightText;
        s.window.xCopiesText = xCopiesText;
        s.window.yCopiesText = yCopiesText;
    }
};

// The grid's cells are all written by the orientation before anything reads them.
void createGrid(PixelGrid& grid, int width, int height, int cellBytes) {
    grid = {};
    grid.cells.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                      static_cast<std::size_t>(cellBytes));
    grid.width = width;
    grid.height = height;
    grid.cellBytes = cellBytes;
}

} // namespace

void loadImage(AppState& state, std::string& path) {
    state.picture.loadFailure = LoadFailure::None;
    const std::string previousCrop = readSetting(state.settings, keys::kCrop);
    writeSetting(state.settings, keys::kCrop, "0");
    setProgress(state, 1);
    stripQuotes(path);
    if (!acceptableSource(state, path)) {
        setStatus(state, 35);
        path.clear();
        return;
    }

    DecodeOutcome d;
    const std::string previousX = state.window.xCopiesText, previousY = state.window.yCopiesText;
    {
        // A failed copy is not an error: the source itself is decoded then.
        TemporaryCopy copy(path);
        state.window.xCopiesText = "1";
        state.window.yCopiesText = "1";
        // While the child decodes, the progress bar creeps and a cancel is heard.
        int creep = 1;
        auto tick = [&] {
            if (creep < 20) setProgress(state, ++creep);
            return !progressCancelled(state);
        };
        d = decodeImageFileShared(copy.path().empty() ? path : copy.path(),
                                  state.layout.flipChecked, tick);
    } // the copy is gone here, whatever the result
    // The converted picture's buffer: the conversion reads the decoded pixels where the
    // decoder left them and writes every byte of it.
    ImageBuffer converted;
    if (d.status == DecodeStatus::Ok) {
        try {
            converted.resize(d.rgba.size() / 4 * 5);
        } catch (const std::bad_alloc&) {
            d.rgba.release();
            d.status = DecodeStatus::OutOfMemory;
        }
    }
    if (d.status == DecodeStatus::Cancelled) {
        state.window.xCopiesText = previousX;
        state.window.yCopiesText = previousY;
        writeSetting(state.settings, keys::kCrop, previousCrop);
        state.picture.loadFailure = LoadFailure::Cancelled;
        path.clear();
        return;
    }
    if (d.status != DecodeStatus::Ok) {
        state.picture.loadFailure = LoadFailure::Unsuitable;
        // The previous picture (if any) stays as it was.
        reportDecodeFailure(state, d);
        setStatus(state, 35);
        path.clear();
        return;
    }
    const int width = d.width, height = d.height;
    setProgress(state, 5);
    setProgress(state, 25);

    float xDpi = kDefaultResolution, yDpi = kDefaultResolution;
    probeResolutionForPath(path, xDpi, yDpi);
    setProgress(state, 70);

    // From here the new picture replaces the old one; the old one is kept aside until the
    // conversion is through, so that a cancel brings it back.
    PictureBackup previous(state);
    state.picture.imageBuffer = std::move(converted);
    state.picture.imageLoaded = 0;
    state.layout.rotateChecked = false;
    setProgress(state, 2);
    if (static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4 != d.rgba.size()) {
        dropImage(state);
        path.clear();
        return;
    }
    setStatus(state, 38);

    float widthIn = static_cast<float>(width) / xDpi;
    float heightIn = static_cast<float>(height) / yDpi;
    state.picture.imagePixelWidth = state.picture.gridWidth = width;
    state.picture.imagePixelHeight = state.picture.gridHeight = height;
    state.layout.zoom = 1.0f;
    state.window.scaleText = "100%";

    state.picture.imageWidthPt = 72.0f * widthIn;
    state.picture.imageHeightPt = 72.0f * heightIn;
    const float pw = std::nearbyint(state.page.printableWidthPt);
    const float ph = std::nearbyint(state.page.printableHeightPt);
    const float ratio = state.picture.imageHeightPt / state.picture.imageWidthPt;
    const float dpiBefore = xDpi;
    auto scale = [&](float f) {
        widthIn *= f;
        heightIn *= f;
        xDpi /= f;
        yDpi /= f;
        state.picture.imageWidthPt = 72.0f * widthIn;
        state.picture.imageHeightPt = 72.0f * heightIn;
    };
    // Without a known printable area there is nothing to fit to.
    const bool canFit = pw > 0 && ph > 0;
    if (ratio < 1) {
        state.layout.rotateChecked = true; // wider than tall: printed turned by 90 degrees
        if (!(ph > state.picture.imageWidthPt && pw > state.picture.imageHeightPt) && canFit) {
            // The turned picture is imageHeightPt wide and imageWidthPt tall on the page;
            // shrink it so that it fits both ways.
            scale(std::min(pw / state.picture.imageHeightPt, ph / state.picture.imageWidthPt));
        }
    } else if (ratio > 0.9999f) {
        // Only the width decides; a tall picture is fitted later by the placement.
        if (!(pw > state.picture.imageWidthPt && ph > state.picture.imageHeightPt) && canFit)
            scale(pw / state.picture.imageWidthPt);
    }

    setProgress(state, 2);
    try {
        createGrid(state.picture.printGrid, width, height, 5);
        createGrid(state.picture.previewGrid, width, height, 4);
    } catch (const std::bad_alloc&) {
        dropImage(state);
        showMessage(state, MessageIcon::Error, "Lumivane",
                    "Unable to allocate memory.\r\nPlease Reduce resolution of the image");
        setStatus(state, 35);
        path.clear();
        return;
    }
    if (state.picture.imageBuffer.empty()) {
        dropImage(state);
        path.clear();
        return;
    }
    const bool convertedOk = convertToCmykFrom(state, width, height, d.rgba.data());
    d.rgba.release();
    if (!convertedOk && state.picture.loadFailure == LoadFailure::Cancelled) {
        previous.restore(state);
        writeSetting(state.settings, keys::kCrop, previousCrop);
        path.clear();
        return;
    }
    if (state.picture.imageBuffer.size() < 2 || state.picture.loadFailure != LoadFailure::None) {
        // The conversion told the user; the picture is not loaded.
        dropImage(state);
        setStatus(state, 35);
        path.clear();
        return;
    }
    state.picture.xDpi = xDpi;
    state.picture.yDpi = yDpi;
    orientImage(state);

    state.window.widthText = formatLength(state.record.unit, state.picture.imageWidthPt);
    state.window.heightText = formatLength(state.record.unit, state.picture.imageHeightPt);
    state.window.scaleText = formatPicture(dpiBefore / xDpi * 100.0, "#%");
    state.layout.zoom = dpiBefore / xDpi;
    state.picture.imageLoaded = 1;
}
