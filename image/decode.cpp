#include "image/decode.h"
#include "image/decode_testing.h"

#include "core/files.h"
#include "image/decode_child.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

DecodeLimits& decodeLimits() {
    static DecodeLimits limits;
    return limits;
}

std::uint32_t childCpuSeconds(std::uint64_t fileBytes, std::uint64_t rgbaBytes,
                              const DecodeLimits& limits) {
    // A few seconds for any file, more for the bytes to inflate and the pixels to produce.
    const std::uint64_t seconds = 5 + fileBytes / (4ull << 20) + rgbaBytes / (32ull << 20);
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(seconds, limits.cpuSeconds));
}

DecodeOutcome decodeImageFileShared(const std::string& path, bool flip,
                                    const std::function<bool()>& tick) {
    DecodeLimits lim = decodeLimits();
    DecodeOutcome out;
    std::uint64_t fileBytes = 0;
    {
        const int fd = openRegularFile(path);
        if (fd < 0) {
            out.status = DecodeStatus::Unreadable;
            return out;
        }
        out.verdict = inspectImageFile(fd, out.header, lim, fileBytes);
        close(fd);
    }
    if (out.verdict != HeaderVerdict::Ok) {
        out.status = DecodeStatus::Refused;
        return out;
    }
    // The child's time follows the size of the work, not one minute for every file.
    lim.cpuSeconds = childCpuSeconds(fileBytes, out.header.rgbaBytes, lim);
    lim.wallMilliseconds =
        std::min<std::uint32_t>(lim.wallMilliseconds, (lim.cpuSeconds * 3 + 10) * 1000);

    out.status = DecodeStatus::ChildFailed;
    const int pixelFd = memfd_create("printconv-pixels", MFD_CLOEXEC);
    if (pixelFd < 0) return out;
    struct ClosePixels {
        int fd;
        ~ClosePixels() { close(fd); }
    } closePixels{pixelFd};
    DevilReport rep;
    const ChildEnd end = runDecodeChild(path, devilTypeFor(out.header.format), flip, pixelFd, lim,
                                        out.header, tick, rep);
    if (end == ChildEnd::Cancelled) {
        out.status = DecodeStatus::Cancelled;
        return out;
    }
    if (end != ChildEnd::Reported) return out;

    out.width = rep.width;
    out.height = rep.height;
    if (rep.copyFailed) {
        out.status = DecodeStatus::CopyFailed;
        out.devilStage = DevilStage::CopyPixels;
        out.devilError = rep.error;
        return out;
    }
    if (rep.error != 0) {
        out.status = DecodeStatus::DevilError;
        out.devilStage = static_cast<DevilStage>(rep.stage);
        out.devilError = rep.error;
        return out;
    }
    if (rep.loadFailed || rep.sizeRefused) return out;

    // The child's word is not trusted: the size must be within the limits and the shared
    // memory must hold exactly the pixels of that size.
    if (rep.width <= 0 || rep.height <= 0 || static_cast<std::uint64_t>(rep.width) > lim.maxSide ||
        static_cast<std::uint64_t>(rep.height) > lim.maxSide)
        return out;
    std::uint64_t bytes =
        4ull * static_cast<std::uint64_t>(rep.width) * static_cast<std::uint64_t>(rep.height);
    struct stat st {};
    if (bytes > lim.maxRgbaBytes || rep.bytes != bytes || fstat(pixelFd, &st) != 0 ||
        static_cast<std::uint64_t>(st.st_size) != bytes)
        return out;
    void* map = mmap(nullptr, bytes, PROT_READ, MAP_SHARED, pixelFd, 0);
    if (map == MAP_FAILED) return out;
    // The mapping keeps the memory alive after the descriptor is closed.
    out.rgba = DecodedPixels(map, bytes);
    out.status = DecodeStatus::Ok;
    return out;
}

DecodeOutcome decodeImageFile(const std::string& path, bool flip,
                              const std::function<bool()>& tick) {
    DecodeOutcome out = decodeImageFileShared(path, flip, tick);
    if (out.status != DecodeStatus::Ok) return out;
    try {
        out.pixels.resize(out.rgba.size() / 4 * 5);
    } catch (const std::bad_alloc&) {
        out.rgba.release();
        out.status = DecodeStatus::OutOfMemory;
        return out;
    }
    std::memcpy(out.pixels.data(), out.rgba.data(), out.rgba.size());
    std::memset(out.pixels.data() + out.rgba.size(), 0, out.pixels.size() - out.rgba.size());
    out.rgba.release();
    return out;
}

DecodedPixels& DecodedPixels::operator=(DecodedPixels&& other) noexcept {
    if (this != &other) {
        release();
        map_ = std::exchange(other.map_, nullptr);
        bytes_ = std::exchange(other.bytes_, 0);
    }
    return *this;
}

void DecodedPixels::release() {
    if (map_) munmap(const_cast<void*>(map_), bytes_);
    map_ = nullptr;
    bytes_ = 0;
}
