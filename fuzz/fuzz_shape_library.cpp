// Fuzzes the shape library reader and the generator's use of a record: every record-sized
// piece of the input either is refused as damaged or decodes within the limits, encodes back
// to the same bytes' meaning, and draws as a screen without reading outside anything.
#include "pattern/pattern_mask.h"
#include "pattern/shape_library.h"

#include <cmath>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A short input is padded into one record so that small mutations reach the fields.
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (bytes.size() < kShapeRecordSize) bytes.resize(kShapeRecordSize, '\0');
    const auto* base = reinterpret_cast<const unsigned char*>(bytes.data());
    for (std::size_t at = 0; at + kShapeRecordSize <= bytes.size(); at += kShapeRecordSize) {
        (void)shapeRecordName(base + at, kShapeRecordSize);
        ShapeRecord r;
        if (!decodeShapeRecord(base + at, kShapeRecordSize, r)) continue;
        if (r.polygons.empty() || r.polygons.size() > static_cast<std::size_t>(kMaxShapePolygons))
            __builtin_trap();
        if (r.name.size() > kShapeNameSize) __builtin_trap();
        for (const ShapePolygon& p : r.polygons) {
            if (p.points.size() > static_cast<std::size_t>(kMaxShapePoints)) __builtin_trap();
            for (const ShapePoint& pt : p.points)
                if (!std::isfinite(pt.x) || std::fabs(pt.y) > kMaxShapeCoordinate) __builtin_trap();
        }
        const std::string again = encodeShapeRecord(r);
        ShapeRecord back;
        if (!decodeShapeRecord(reinterpret_cast<const unsigned char*>(again.data()), again.size(),
                               back))
            __builtin_trap();
        if (back.polygons.size() != r.polygons.size() || encodeShapeRecord(back) != again)
            __builtin_trap();
        // The record as a screen cell, small enough to stay quick.
        PatternSettings s;
        s.shape = "fuzz";
        s.sizeX = s.sizeY = 2;
        s.gap = 1;
        s.screen = r.spacing0 > 0 ? 45 : 0;
        const PatternCell cell = patternCell(s, 3, &r);
        const std::vector<std::uint8_t> canvas = drawPatternCanvas(s, cell, 48, 32);
        if (canvas.size() != 48u * 32u) __builtin_trap();
    }
    return 0;
}
