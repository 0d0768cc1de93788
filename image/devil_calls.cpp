#include "image/devil_calls.h"

#include "core/files.h"

#include <IL/il.h>

#include <algorithm>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// A BMP with the version 4 or 5 information header (108 or 124 bytes, what most programs
// write today) rewritten with the version 3 header DevIL reads: the first 40 bytes of the
// header, the colour masks that BI_BITFIELDS needs after it, then the palette and pixels
// unchanged. Empty when the file is not such a BMP or uses a compression that version 3
// does not have (JPEG, PNG inside a BMP).
std::string bmpAsVersion3(std::string_view file) {
    const HeaderReader r(MemoryBytes{file});
    if (file.size() < 54 || !r.is(0, "BM")) return {};
    const std::uint32_t dib = r.le32(14);
    if (dib != 108 && dib != 124) return {};
    const std::uint32_t compression = r.le32(30);
    const std::uint64_t pixelsAt = r.le32(10);
    if (compression > 3 || pixelsAt < 14 + dib || pixelsAt > file.size()) return {};
    std::string out(file.substr(0, 14 + 40));
    out[14] = 40, out[15] = out[16] = out[17] = 0;
    if (compression == 3) out.append(file.substr(54, 12));    // red, green and blue masks
    out.append(file.substr(14 + dib, pixelsAt - (14 + dib))); // palette, if any
    const std::uint64_t newPixelsAt = out.size();
    out.append(file.substr(pixelsAt));
    for (int i = 0; i < 4; ++i)
        out[10 + i] = static_cast<char>(newPixelsAt >> (8 * i) & 0xFF);
    const std::uint64_t total = out.size();
    for (int i = 0; i < 4; ++i)
        out[2 + i] = static_cast<char>(total >> (8 * i) & 0xFF);
    return out;
}

} // namespace

unsigned devilTypeFor(ImageFormat format) {
    switch (format) {
    case ImageFormat::Png:
        return IL_PNG;
    case ImageFormat::Jpeg:
        return IL_JPG;
    case ImageFormat::Gif:
        return IL_GIF;
    case ImageFormat::Tiff:
        return IL_TIF;
    case ImageFormat::Bmp:
        return IL_BMP;
    case ImageFormat::Psd:
        return IL_PSD;
    case ImageFormat::Unknown:
        break;
    }
    return 0;
}

int decodeWithDevil(const std::string& path, unsigned type, bool flip, const DecodeLimits& lim,
                    int pixelFd, DevilReport& rep) {
    ilInit();
    for (int i = 0; i < 200 && ilGetError() != IL_NO_ERROR; ++i) {
    }
    // True (and the report says where) when the last call left an error.
    auto failed = [&](DevilStage stage) {
        const ILenum e = ilGetError();
        if (e == IL_NO_ERROR) return false;
        rep.stage = static_cast<std::int32_t>(stage);
        rep.error = e;
        return true;
    };
    ilEnable(IL_ORIGIN_SET);
    if (failed(DevilStage::Enable)) return 0;
    ilOriginFunc(flip ? IL_ORIGIN_LOWER_LEFT : IL_ORIGIN_UPPER_LEFT);
    if (failed(DevilStage::OriginFunc)) return 0;
    ILuint name = 0;
    ilGenImages(1, &name);
    if (failed(DevilStage::GenImages)) return 0;
    ilBindImage(name);
    if (failed(DevilStage::BindImage)) return 0;
    // DevIL reads only the version 3 BMP header: newer ones are presented in that form.
    std::string bmp3;
    if (type == IL_BMP) {
        std::string file;
        if (readRegularFile(path, lim.maxRgbaBytes, file) == ReadResult::Ok)
            bmp3 = bmpAsVersion3(file);
    }
    const bool loaded = bmp3.empty() ? ilLoad(type, path.c_str())
                                     : ilLoadL(type, bmp3.data(), static_cast<ILuint>(bmp3.size()));
    std::string().swap(bmp3);
    if (!loaded) {
        if (!failed(DevilStage::Load)) rep.loadFailed = 1;
        return 0;
    }
    ILint height = 0, width = 0;
    ilGetIntegerv(IL_IMAGE_HEIGHT, &height);
    if (failed(DevilStage::GetHeight)) return 0;
    ilGetIntegerv(IL_IMAGE_WIDTH, &width);
    if (failed(DevilStage::GetWidth)) return 0;
    rep.width = width;
    rep.height = height;
    if (width <= 0 || height <= 0 || static_cast<std::uint64_t>(width) > lim.maxSide ||
        static_cast<std::uint64_t>(height) > lim.maxSide ||
        4ull * static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) >
            lim.maxRgbaBytes) {
        rep.sizeRefused = 1;
        return 0;
    }
    const std::uint64_t bytes =
        4ull * static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    if (ftruncate(pixelFd, static_cast<off_t>(bytes)) != 0) return 4;
    void* out = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, pixelFd, 0);
    if (out == MAP_FAILED) return 5;
    // In bands: DevIL converts each call's pixels through a buffer of their size, so a band
    // at a time keeps that buffer small; the bytes are those of one call for the whole picture.
    constexpr ILuint kBandRows = 256;
    ILuint copied = 1;
    for (ILuint y = 0; copied && y < static_cast<ILuint>(height); y += kBandRows) {
        const ILuint rows = std::min(kBandRows, static_cast<ILuint>(height) - y);
        copied =
            ilCopyPixels(0, y, 0, static_cast<ILuint>(width), rows, 1, IL_RGBA, IL_UNSIGNED_BYTE,
                         static_cast<std::uint8_t*>(out) +
                             static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 4);
    }
    if (!copied) {
        rep.copyFailed = 1;
        rep.stage = static_cast<std::int32_t>(DevilStage::CopyPixels);
        rep.error = ilGetError();
        return 0;
    }
    if (failed(DevilStage::CopyPixels)) return 0;
    rep.bytes = bytes;
    return 0;
}

std::string devilErrorText(unsigned code) {
    switch (code) {
    case 0:
        return {};
    case 0x0501:
        return "INVALID ENUM";
    case 0x0502:
        return "OUT OF MEMORY";
    case 0x0503:
        return "FORMAT NOT SUPPORTED";
    case 0x0504:
        return "INTERNAL ERROR";
    case 0x0505:
        return "INVALID VALUE";
    case 0x0506:
        return "ILLEGAL OPERATION";
    case 0x0507:
        return "ILLEGAL FILE VALUE";
    case 0x0508:
        return "INVALID FILE HEADER";
    case 0x0509:
        return "INVALID PARAMATER";
    case 0x050A:
        return "UNABLE TO OPEN FILE";
    case 0x050B:
        return "INVALID EXTENSION";
    case 0x050C:
        return "FILE ALREADY EXISTS";
    case 0x050D:
        return "OUT FORMAT SAME";
    case 0x050E:
        return "STACK OVERFLOW ";
    case 0x050F:
        return "STACK UNDERFLOW";
    case 0x0510:
        return "INVALID CONVERSION";
    case 0x0511:
        return "BAD DIMENSIONS";
    case 0x0512:
        return "FILE READ ERROR ";
    case 0x05E1:
        return "LIB GIF ERROR";
    case 0x05E2:
        return "LIB JPEG ERROR";
    case 0x05E3:
        return "LIB PNG ERROR";
    case 0x05E4:
        return "LIB TIFF ERROR";
    case 0x05E5:
        return "LIB MNG ERROR";
    case 0x05E6:
        return "LIB JP2 ERROR";
    case 0x05E7:
        return "LIB EXR ERROR";
    case 0x05FF:
        return "UNKNOWN ERROR";
    default:
        break;
    }
    return "Error " + std::to_string(code);
}
