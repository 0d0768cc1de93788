#include "image/load.h"

#include "core/numbers.h"
#include "core/progress.h"
#include "core/files.h"
#include "core/temp_folders.h"
#include "core/ui.h"
#include "image/colour.h"
#include "image/decode.h"
#include "image/probes.h"
#include "image/separation.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <new>
#include <unistd.h>
#include <utility>

namespace {

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

// Only a regular file within the decoder's size limit is copied and decoded: a FIFO would
// block the load, a device such as /dev/zero would fill the temporary folder.
LoadProblem checkSource(const std::string& path, std::uint64_t& limitBytes) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return LoadProblem::None; // the decode reports it
    if (!S_ISREG(st.st_mode)) return LoadProblem::NotRegular;
    limitBytes = decodeLimits().maxRgbaBytes;
    if (static_cast<std::uint64_t>(st.st_size) > limitBytes) return LoadProblem::TooLarge;
    return LoadProblem::None;
}

// A load that went wrong after the new picture replaced the old one: nothing of it stays.
void dropImage(Picture& picture, Layout& layout) {
    picture.imageBuffer = {};
    picture.printGrid = {};
    picture.previewGrid = {};
    picture.imagePixelWidth = picture.imagePixelHeight = 0;
    picture.gridWidth = picture.gridHeight = 0;
    picture.imageWidthPt = picture.imageHeightPt = 0.0f;
    layout.placedWidthPt = layout.placedHeightPt = 0.0f;
    picture.imageLoaded = 0;
}

// The grid's cells are all written by the orientation before anything reads them.
void createGrid(PixelGrid& grid, int width, int height, int cellBytes) {
    grid = {};
    grid.cells.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                      static_cast<std::size_t>(cellBytes));
    grid.width = width;
    grid.height = height;
    grid.cellBytes = cellBytes;
}

// Decodes a private copy of the file (the source itself when no copy can be made), the
// progress bar creeping while the child works and a cancel heard.
DecodeOutcome decodeCopy(const std::string& path, bool flip, const Feedback& feedback) {
    TemporaryCopy copy(path);
    int creep = 1;
    auto tick = [&] {
        if (creep < 20) feedback.progress(++creep);
        return !feedback.cancelled();
    };
    return decodeImageFileShared(copy.path().empty() ? path : copy.path(), flip, tick);
} // the copy is gone here, whatever the result

// The printed size at load: the file's resolution gives the size; a picture wider than tall is
// turned; a picture that does not fit the printable area (rounded to whole points) is shrunk,
// turned ones both ways, upright ones by the width (a tall one is fitted by the placement).
struct LoadedSize {
    float widthPt = 0, heightPt = 0, xDpi = 0, yDpi = 0;
    bool rotate = false;
};
LoadedSize sizeAtLoad(int width, int height, float xDpi, float yDpi, const PageSetup& page) {
    LoadedSize z;
    float widthIn = static_cast<float>(width) / xDpi;
    float heightIn = static_cast<float>(height) / yDpi;
    z.xDpi = xDpi;
    z.yDpi = yDpi;
    z.widthPt = 72.0f * widthIn;
    z.heightPt = 72.0f * heightIn;
    const float pw = static_cast<float>(roundHalfEven(page.printableWidthPt));
    const float ph = static_cast<float>(roundHalfEven(page.printableHeightPt));
    const float ratio = z.heightPt / z.widthPt;
    auto scale = [&](float f) {
        widthIn *= f;
        heightIn *= f;
        z.xDpi /= f;
        z.yDpi /= f;
        z.widthPt = 72.0f * widthIn;
        z.heightPt = 72.0f * heightIn;
    };
    // Without a known printable area there is nothing to fit to.
    const bool canFit = pw > 0 && ph > 0;
    if (ratio < 1) {
        z.rotate = true; // wider than tall: printed turned by 90 degrees
        if (!(ph > z.widthPt && pw > z.heightPt) && canFit) {
            // The turned picture is heightPt wide and widthPt tall on the page; shrink it so
            // that it fits both ways.
            scale(std::min(pw / z.heightPt, ph / z.widthPt));
        }
    } else if (ratio > 0.9999f) {
        // Only the width decides; a tall picture is fitted later by the placement.
        if (!(pw > z.widthPt && ph > z.heightPt) && canFit) scale(pw / z.widthPt);
    }
    return z;
}

LoadFailure failureOfConversion(ConversionStatus status) {
    switch (status) {
    case ConversionStatus::NoTransform:
        return LoadFailure::Conversion; // the caller loads the defaults and rebuilds
    case ConversionStatus::OutOfMemory:
        return LoadFailure::OutOfMemory; // the program closes
    case ConversionStatus::Cancelled:
        return LoadFailure::Cancelled;
    default:
        return LoadFailure::None;
    }
}

} // namespace

LoadOutcome loadImage(const LoadRequest& request, Picture& picture, Layout& layout,
                      const PageSetup& page, const Feedback& feedback) {
    LoadOutcome out;
    out.path = request.path;
    picture.loadFailure = LoadFailure::None;
    feedback.progress(1);
    stripQuotes(out.path);
    out.problem = checkSource(out.path, out.limitBytes);
    if (out.problem != LoadProblem::None) return out;

    // A new picture starts as one copy; a cancel of the decode keeps the counts.
    const int previousX = layout.xCopies, previousY = layout.yCopies;
    layout.xCopies = layout.yCopies = 1;
    out.decode = decodeCopy(out.path, request.flip, feedback);
    DecodeOutcome& d = out.decode;
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
        layout.xCopies = previousX;
        layout.yCopies = previousY;
        picture.loadFailure = LoadFailure::Cancelled;
        out.problem = LoadProblem::Cancelled;
        return out;
    }
    if (d.status != DecodeStatus::Ok) {
        // The previous picture (if any) stays as it was.
        picture.loadFailure = LoadFailure::Unsuitable;
        out.problem = LoadProblem::Undecodable;
        return out;
    }
    const int width = d.width, height = d.height;
    feedback.progress(5);
    feedback.progress(25);

    float xDpi = kDefaultResolution, yDpi = kDefaultResolution;
    probeResolutionForPath(out.path, xDpi, yDpi);
    out.dpiBefore = xDpi;
    feedback.progress(70);

    // From here the new picture replaces the old one; the old one is kept aside until the
    // conversion is through, so that a cancel brings it back (the buffers move, never copy).
    Picture previous = std::move(picture);
    const Layout previousLayout = layout;
    picture = Picture{};
    picture.imageBuffer = std::move(converted);
    picture.patternMask = std::move(previous.patternMask);
    picture.xDpi = previous.xDpi;
    picture.yDpi = previous.yDpi;
    layout.rotateChecked = false;
    feedback.progress(2);
    if (static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4 != d.rgba.size()) {
        dropImage(picture, layout);
        out.problem = LoadProblem::Dropped;
        return out;
    }
    feedback.status(38);

    const LoadedSize size = sizeAtLoad(width, height, xDpi, yDpi, page);
    picture.imagePixelWidth = picture.gridWidth = width;
    picture.imagePixelHeight = picture.gridHeight = height;
    picture.imageWidthPt = size.widthPt;
    picture.imageHeightPt = size.heightPt;
    layout.rotateChecked = size.rotate;
    layout.zoom = 1.0f;

    feedback.progress(2);
    try {
        createGrid(picture.printGrid, width, height, 5);
        createGrid(picture.previewGrid, width, height, 4);
    } catch (const std::bad_alloc&) {
        dropImage(picture, layout);
        out.problem = LoadProblem::NoMemory;
        return out;
    }
    if (picture.imageBuffer.empty()) {
        dropImage(picture, layout);
        out.problem = LoadProblem::Dropped;
        return out;
    }
    out.conversion = convertToCmykFrom(picture.imageBuffer, width, height, d.rgba.data(),
                                       request.profiles, feedback);
    d.rgba.release();
    picture.loadFailure = failureOfConversion(out.conversion.status);
    if (out.conversion.status == ConversionStatus::Cancelled) {
        previous.loadFailure = LoadFailure::Cancelled;
        previous.patternMask = std::move(picture.patternMask);
        picture = std::move(previous);
        layout = previousLayout;
        out.problem = LoadProblem::Cancelled;
        return out;
    }
    if (!out.conversion.ok() || picture.imageBuffer.size() < 2) {
        // The picture is not loaded.
        dropImage(picture, layout);
        out.problem = LoadProblem::Conversion;
        return out;
    }
    picture.xDpi = size.xDpi;
    picture.yDpi = size.yDpi;
    orientImage(picture, layout, page, feedback);
    layout.zoom = out.dpiBefore / picture.xDpi;
    picture.imageLoaded = 1;
    return out;
}
