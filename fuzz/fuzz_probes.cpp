// Fuzzes the resolution probes over arbitrary header bytes: no read outside the bytes given
// (the sanitizers watch), and every result within what its probe can give.
#include "image/probes.h"

#include <cmath>
#include <cstdint>
#include <string_view>

namespace {

void checkProbe(void (*probe)(std::string_view, float&, float&), std::string_view bytes,
                bool (*plausible)(float, float)) {
    float x = kDefaultResolution, y = kDefaultResolution;
    probe(bytes, x, y);
    if (std::isnan(x) || std::isnan(y)) __builtin_trap();
    if (plausible && !plausible(x, y)) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    checkProbe(probeResolutionPngBytes, bytes, [](float x, float y) { return x >= 0 && y >= 0; });
    checkProbe(probeResolutionJpegBytes, bytes, [](float x, float y) {
        return (x > 10 && x <= 1000 && y > 10 && y <= 1000) || (x == 300 && y == 300);
    });
    checkProbe(probeResolutionGifBytes, bytes,
               [](float x, float y) { return x == 150 && y == 150; });
    checkProbe(probeResolutionTiffBytes, bytes, [](float x, float y) {
        return x >= 10 && y >= 10 && std::isfinite(x) && std::isfinite(y);
    });
    checkProbe(probeResolutionBmpBytes, bytes,
               [](float x, float y) { return (x >= 5 && y >= 0) || (x == 150 && y == 150); });
    checkProbe(probeResolutionPsdBytes, bytes, [](float x, float y) {
        return x >= 0 && x <= 65535 && y >= 0 && y <= 65535 && x == std::floor(x);
    });
    return 0;
}
