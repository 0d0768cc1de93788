// Fuzzes the Illustrator importer: any bytes give one of the statuses or a shape whose every
// polygon and point is within the record's limits, normalised to height 1, and which the
// shape library reads back as it was written.
#include "pattern/ai_import.h"
#include "pattern/shape_library.h"

#include <cmath>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const AiConversion c = convertIllustrator(bytes, "fuzz");
    if (c.status <= 0) {
        if (c.status != kAiTooManyNodes && c.status != kAiUnexpectedFile &&
            c.status != kAiVersionTooNew && c.status != kAiPdfBased)
            __builtin_trap();
        if (aiFailureText(c.status).empty()) __builtin_trap();
        return 0;
    }
    if (c.status > kMaxShapePolygons ||
        c.shape.polygons.size() != static_cast<std::size_t>(c.status))
        __builtin_trap();
    if (c.pointsPerCurve < 5 || c.pointsPerCurve > 20) __builtin_trap();
    for (const ShapePolygon& p : c.shape.polygons) {
        if (p.points.size() > static_cast<std::size_t>(kMaxShapePoints)) __builtin_trap();
        if (p.fill != kShapeBlack && p.fill != kShapeWhite) __builtin_trap();
        for (const ShapePoint& pt : p.points)
            if (!std::isfinite(pt.x) || !std::isfinite(pt.y) || pt.x < 0 || pt.y < 0 ||
                pt.y > 1.0001f || pt.x > kMaxShapeCoordinate)
                __builtin_trap();
    }
    const std::string record = encodeShapeRecord(c.shape);
    ShapeRecord back;
    if (!decodeShapeRecord(reinterpret_cast<const unsigned char*>(record.data()), record.size(),
                           back))
        __builtin_trap();
    if (back.polygons.size() != c.shape.polygons.size() || back.name != "fuzz") __builtin_trap();
    return 0;
}
