#include "image/colour.h"
#include "image/colour_testing.h"

#include "core/numbers.h"
#include "core/progress.h"
#include "core/strings.h"
#include "core/texts.h"
#include "core/ui.h"
#include "settings/settings.h"

#include <lcms2.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <new>
#include <string_view>
#include <system_error>
#include <sys/stat.h>
#include <thread>

namespace {

constexpr std::size_t kMaxErrorText = 600;

std::mutex gErrorMutex;
std::string gErrorText;

void collectError(cmsContext, cmsUInt32Number, const char* text) {
    std::lock_guard<std::mutex> lock(gErrorMutex);
    if (gErrorText.size() >= kMaxErrorText) return;
    if (!gErrorText.empty()) gErrorText += "\r\n";
    gErrorText += text ? text : "";
    if (gErrorText.size() > kMaxErrorText) gErrorText.resize(kMaxErrorText);
}

void releaseImage(ImageBuffer& buffer) {
    buffer.clear();
    buffer.shrink_to_fit();
}

// A profile file; a FIFO or device is not opened (its read would block or never end), a
// missing file is left to Little CMS, whose error text then reaches the message.
cmsHPROFILE openProfile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        collectError(nullptr, cmsERROR_FILE, ("File '" + path + "' is not a regular file").c_str());
        return nullptr;
    }
    return cmsOpenProfileFromFile(path.c_str(), "r");
}

// Opens both profiles (input first, as the settings name them) and makes the transform;
// the profiles are closed again at once. Null when either profile is missing or unusable.
cmsHTRANSFORM makeTransform(const std::string& source, cmsUInt32Number sourceFormat,
                            const std::string& target, cmsUInt32Number targetFormat) {
    cmsHPROFILE in = openProfile(source);
    cmsHPROFILE out = openProfile(target);
    cmsHTRANSFORM t = nullptr;
    if (in && out)
        t = cmsCreateTransform(in, sourceFormat, out, targetFormat, INTENT_PERCEPTUAL, 0);
    if (in) cmsCloseProfile(in);
    if (out) cmsCloseProfile(out);
    return t;
}

// Progress per converted row, reported from the calling thread only (the seam is not
// thread-safe): every row count from the last reported one up to `done`.
struct RowProgress {
    const Feedback& feedback;
    int height;
    int reported = 0;
    void upTo(int done) {
        for (; reported < done; ++reported) {
            const double p = 100.0 * (reported + 1) / height;
            feedback.progress(roundHalfEven(p));
        }
    }
};

// The conversion of RGBA rows (4 bytes a pixel) into C, M, Y, K, A rows (5 bytes). In place
// (input and output the same buffer) the results of rows r0..r1 overwrite the input of rows
// up to 5 * r1 / 4: bands are handed out from the bottom of the picture, and a band is
// transformed into its own small buffers and written back once every band whose input its
// result covers has been read. From a separate input no band waits for another.
class BandedConversion {
  public:
    BandedConversion(const std::uint8_t* input, std::uint8_t* output, int width, int height,
                     int bandRows, const ProgressSink* sink)
        : sink_(sink), in_(input), out_(output), inPlace_(input == output), width_(width),
          height_(height), bandRows_(bandRows), bands_((height + bandRows - 1) / bandRows),
          read_(static_cast<std::size_t>(bands_)), next_(bands_ - 1) {}

    // Converts bands until none is left. onBand runs after each band this thread finished.
    template <typename OnBand> void work(cmsHTRANSFORM t, OnBand onBand) {
        const std::size_t w = static_cast<std::size_t>(width_);
        std::vector<std::uint8_t> cmyk(w * static_cast<std::size_t>(bandRows_) * 4);
        std::vector<std::uint8_t> alpha(w * static_cast<std::size_t>(bandRows_));
        // A cancel stops the taking of new bands only: bands already taken are read at once,
        // so no thread waits for a band that nobody will read.
        for (int b; !(sink_ && sink_->cancelRequested()) && (b = next_.fetch_sub(1)) >= 0;) {
            const int r0 = b * bandRows_;
            const int r1 = std::min(height_, r0 + bandRows_);
            const std::size_t pixels = w * static_cast<std::size_t>(r1 - r0);
            const std::uint8_t* in = in_ + w * static_cast<std::size_t>(r0) * 4;
            cmsDoTransform(t, in, cmyk.data(), static_cast<cmsUInt32Number>(pixels));
            for (std::size_t i = 0; i < pixels; ++i)
                alpha[i] = in[i * 4 + 3];
            if (inPlace_) {
                markRead(b);
                // Input rows r1 .. ceil(5 * r1 / 4) - 1 lie under this band's results.
                const long long lastRow = std::min<long long>(height_, (5LL * r1 + 3) / 4) - 1;
                if (lastRow >= r1) waitRead(b + 1, static_cast<int>(lastRow / bandRows_));
            }
            std::uint8_t* out = out_ + w * static_cast<std::size_t>(r0) * 5;
            for (std::size_t i = 0; i < pixels; ++i) {
                std::memcpy(out + i * 5, cmyk.data() + i * 4, 4);
                out[i * 5 + 4] = alpha[i];
            }
            rowsDone_ += r1 - r0;
            onBand();
        }
    }

    int rowsDone() const { return rowsDone_.load(); }

  private:
    void markRead(int b) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            read_[static_cast<std::size_t>(b)] = true;
        }
        cv_.notify_all();
    }
    void waitRead(int first, int last) {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait(lock, [&] {
            for (int i = first; i <= last; ++i)
                if (!read_[static_cast<std::size_t>(i)]) return false;
            return true;
        });
    }

    const ProgressSink* sink_;
    const std::uint8_t* in_;
    std::uint8_t* out_;
    bool inPlace_;
    int width_, height_, bandRows_, bands_;
    std::vector<bool> read_;
    std::atomic<int> next_;
    std::atomic<int> rowsDone_{0};
    std::mutex mutex_;
    std::condition_variable cv_;
};

} // namespace

void installColourErrorHandler() {
    static std::once_flag once;
    std::call_once(once, [] { cmsSetLogErrorHandler(collectError); });
}

std::string takeColourErrorText() {
    std::lock_guard<std::mutex> lock(gErrorMutex);
    std::string out;
    out.swap(gErrorText);
    return out;
}

std::string resolveProfilePath(const std::string& programFolder, const std::string& stored) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (stored.empty() || fs::is_regular_file(stored, ec)) return stored;
    const fs::path name(stored);
    if (name.is_absolute() || programFolder.empty()) return stored;
    const fs::path folder(programFolder);
    const fs::path exact = folder / name;
    if (fs::is_regular_file(exact, ec)) return exact.string();
    // The shipped files keep the printer maker's spelling ("sRGB.ICM"), settings may not.
    const fs::path wantedDir = (folder / name).parent_path();
    const std::string wanted = lowerAscii(name.filename().string());
    for (auto it = fs::directory_iterator(wantedDir, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        if (lowerAscii(it->path().filename().string()) == wanted && it->is_regular_file(ec))
            return it->path().string();
    }
    return stored;
}

std::string inputProfileSetting(const ProfileFile& settings) {
    std::string s = readSetting(settings, keys::kProfileIn);
    return s.empty() ? "sRGB.icm" : s;
}

std::string outputProfileSetting(const ProfileFile& settings) {
    std::string s = readSetting(settings, keys::kProfileOut);
    return s.empty() ? "OKC711P2.ICM" : s;
}

ColourProfiles colourProfiles(const ProfileFile& settings, const std::string& programFolder) {
    return {resolveProfilePath(programFolder, inputProfileSetting(settings)),
            resolveProfilePath(programFolder, outputProfileSetting(settings))};
}

ConversionOutcome convertToCmyk(ImageBuffer& buffer, int width, int height,
                                const ColourProfiles& profiles, const Feedback& feedback) {
    return convertToCmykBanded(buffer, width, height, profiles, feedback, 0, 32);
}

ConversionOutcome convertToCmykBanded(ImageBuffer& buffer, int width, int height,
                                      const ColourProfiles& profiles, const Feedback& feedback,
                                      int threads, int bandRows) {
    return convertToCmykFrom(buffer, width, height, nullptr, profiles, feedback, threads, bandRows);
}

ConversionOutcome convertToCmykFrom(ImageBuffer& buffer, int width, int height,
                                    const std::uint8_t* rgba, const ColourProfiles& profiles,
                                    const Feedback& feedback, int threads, int bandRows) {
    installColourErrorHandler();
    if (width <= 0 || height <= 0 ||
        buffer.size() / 5 / static_cast<std::size_t>(width) < static_cast<std::size_t>(height)) {
        // Nothing the conversion could work on: the caller's size checks failed.
        releaseImage(buffer);
        return {ConversionStatus::Refused, {}};
    }
    bandRows = std::max(1, bandRows);
    const std::string& inPath = profiles.inputProfilePath;
    const std::string& outPath = profiles.outputProfilePath;

    takeColourErrorText(); // only this conversion's errors reach the message
    cmsHTRANSFORM t = makeTransform(inPath, TYPE_RGBA_8, outPath, TYPE_CMYK_8);
    if (!t) {
        releaseImage(buffer);
        return {ConversionStatus::NoTransform, takeColourErrorText()};
    }

    const int bands = (height + bandRows - 1) / bandRows;
    int n = threads > 0 ? threads : static_cast<int>(std::thread::hardware_concurrency());
    n = std::clamp(n, 1, std::max(1, bands));

    RowProgress progress{feedback, height};
    BandedConversion conv(rgba ? rgba : buffer.data(), buffer.data(), width, height, bandRows,
                          feedback.sink);
    std::vector<std::thread> helpers;
    for (int i = 1; i < n; ++i) {
        try {
            helpers.emplace_back([&conv, &inPath, &outPath] {
                // Each helper has its own transform; one that cannot get one (or its band
                // buffers) leaves its share to the others.
                cmsHTRANSFORM own = makeTransform(inPath, TYPE_RGBA_8, outPath, TYPE_CMYK_8);
                if (!own) return;
                try {
                    conv.work(own, [] {});
                } catch (const std::bad_alloc&) {
                }
                cmsDeleteTransform(own);
            });
        } catch (const std::system_error&) {
            break; // fewer threads, same result
        }
    }
    try {
        conv.work(t, [&] { progress.upTo(conv.rowsDone()); });
    } catch (const std::bad_alloc&) {
    }
    for (auto& h : helpers)
        h.join();
    cmsDeleteTransform(t);
    if (feedback.cancelled()) {
        takeColourErrorText();
        return {ConversionStatus::Cancelled, {}};
    }
    if (conv.rowsDone() != height) {
        // No thread could get its band buffers: part of the picture is unconverted.
        takeColourErrorText();
        releaseImage(buffer);
        return {ConversionStatus::OutOfMemory, {}};
    }
    progress.upTo(height);
    takeColourErrorText();
    return {};
}

namespace {

// The preview's transform, made once for a pair of profile files and kept until either
// changes. Made without the one-pixel cache, so bands of one preview may be transformed on
// several threads at once; each user holds its own reference while transforming.
struct SharedTransform {
    cmsHTRANSFORM handle = nullptr;
    ~SharedTransform() {
        if (handle) cmsDeleteTransform(handle);
    }
};

struct PreviewTransformCache {
    std::mutex mutex;
    std::string outPath, inPath;
    std::shared_ptr<SharedTransform> transform;
};

PreviewTransformCache& previewCache() {
    static PreviewTransformCache cache;
    return cache;
}

std::shared_ptr<SharedTransform> previewTransform(const std::string& outPath,
                                                  const std::string& inPath) {
    PreviewTransformCache& cache = previewCache();
    std::lock_guard<std::mutex> lock(cache.mutex);
    if (!cache.transform || cache.outPath != outPath || cache.inPath != inPath) {
        auto t = std::make_shared<SharedTransform>();
        cmsHPROFILE out = cmsOpenProfileFromFile(outPath.c_str(), "r");
        cmsHPROFILE in = cmsOpenProfileFromFile(inPath.c_str(), "r");
        if (in && out)
            t->handle = cmsCreateTransform(out, TYPE_CMYKA_8, in, TYPE_BGRA_8, INTENT_PERCEPTUAL,
                                           cmsFLAGS_NOCACHE);
        if (in) cmsCloseProfile(in);
        if (out) cmsCloseProfile(out);
        // A broken profile was reported when the picture was loaded or the profile chosen.
        takeColourErrorText();
        cache.transform = std::move(t);
        cache.outPath = outPath;
        cache.inPath = inPath;
    }
    return cache.transform;
}

} // namespace

bool convertPreviewPixels(const ColourProfiles& profiles, int width, int height,
                          std::vector<std::uint8_t>& data) {
    installColourErrorHandler();
    if (width <= 0 || height <= 0) return false;
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (data.size() / 5 < pixels) return false;
    const std::shared_ptr<SharedTransform> t =
        previewTransform(profiles.outputProfilePath, profiles.inputProfilePath);
    if (!t->handle) return false;
    std::vector<std::uint8_t> out(pixels * 4);
    // One call converts at most 2^32 - 1 pixels; a preview is far below that.
    cmsDoTransform(t->handle, data.data(), out.data(), static_cast<cmsUInt32Number>(pixels));
    data.swap(out);
    return true;
}
