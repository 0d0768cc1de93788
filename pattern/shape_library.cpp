#include "pattern/shape_library.h"

#include "core/files.h"
#include "core/strings.h"
#include "core/texts.h"
#include "core/ui.h"
#include "settings/settings.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>

int initialiseShapeLibrary(ProfileFile& settings, const Locations& locations) {
    if (!readSetting(settings, keys::kShapeLibrary).empty()) return 0;
    if (locations.sharedFolder.empty()) return 1;
    std::error_code ec;
    std::string master = locations.sharedFolder + "shape.lib";
    if (!std::filesystem::is_regular_file(master, ec)) {
        // An installation without a filled machine-wide folder still ships the master.
        master = locations.programFolder + "shape.lib";
        if (locations.programFolder.empty() || !std::filesystem::is_regular_file(master, ec))
            return 3;
    }
    if (locations.userFolder.empty()) return 2;
    const std::string user = locations.userFolder + "shape.lib";
    // Through the settings writer: a link or file planted in the user's folder is not
    // written through, and a half-made copy never replaces a library.
    std::string bytes;
    if (readRegularFile(master, kMaxShapeLibraryBytes, bytes) != ReadResult::Ok) return 3;
    if (writeWholeFileAtomically(user, bytes) != 0) return 2;
    writeSetting(settings, keys::kShapeLibrary, user);
    return 0;
}

namespace {

std::int32_t readI32(const unsigned char* p) {
    const std::uint32_t v =
        static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
        static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    return static_cast<std::int32_t>(v);
}

float readF32(const unsigned char* p) {
    const std::uint32_t v = static_cast<std::uint32_t>(readI32(p));
    float f;
    std::memcpy(&f, &v, sizeof f);
    return f;
}

void putI32(std::string& s, std::size_t at, std::int32_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        s[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

void putF32(std::string& s, std::size_t at, float value) {
    std::uint32_t v;
    std::memcpy(&v, &value, sizeof v);
    putI32(s, at, static_cast<std::int32_t>(v));
}

bool usableCoordinate(float v) {
    return std::isfinite(v) && std::fabs(v) <= kMaxShapeCoordinate;
}

// The whole library; 0 or the errno value of the failure. Only a regular file within the
// cap is read: a FIFO would block, a device or a damaged giant fill the memory.
int readAll(const std::string& path, std::string& out) {
    out.clear();
    switch (readRegularFile(path, kMaxShapeLibraryBytes, out)) {
    case ReadResult::Ok:
        return 0;
    case ReadResult::TooLarge:
        out.clear();
        return EFBIG;
    case ReadResult::Unreadable:
        break;
    }
    out.clear();
    return errno != 0 ? errno : EIO;
}

bool readWholeFile(const std::string& path, std::string& out) {
    return readAll(path, out) == 0;
}

std::size_t recordCount(const std::string& bytes) {
    return bytes.size() / kShapeRecordSize;
}

const unsigned char* recordAt(const std::string& bytes, std::size_t i) {
    return reinterpret_cast<const unsigned char*>(bytes.data()) + i * kShapeRecordSize;
}

} // namespace

std::string shapeRecordName(const unsigned char* record, std::size_t size) {
    if (record == nullptr || size < 4) return {};
    const std::size_t n = std::min(kShapeNameSize, size - 4);
    std::string name(reinterpret_cast<const char*>(record + 4), n);
    const auto pad = [](char c) { return c == ' ' || c == '\0' || c == '\t'; };
    while (!name.empty() && pad(name.back()))
        name.pop_back();
    std::size_t start = 0;
    while (start < name.size() && pad(name[start]))
        ++start;
    return name.substr(start);
}

bool decodeShapeRecord(const unsigned char* record, std::size_t size, ShapeRecord& out) {
    out = ShapeRecord{};
    if (record == nullptr || size < kShapeRecordSize) return false;
    const std::int32_t count = readI32(record);
    if (count < 1 || count > kMaxShapePolygons) return false;
    out.name = shapeRecordName(record, size);
    out.spacing45 = readF32(record + 84);
    out.spacing0 = readF32(record + 88);
    if (!std::isfinite(out.spacing45) || !std::isfinite(out.spacing0)) return false;
    out.polygons.resize(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) {
        const unsigned char* block =
            record + kPolygonsOffset + static_cast<std::size_t>(i) * kPolygonBlockSize;
        const std::int32_t points = readI32(block);
        if (points < 0 || points > kMaxShapePoints) return false;
        ShapePolygon& polygon = out.polygons[static_cast<std::size_t>(i)];
        polygon.points.resize(static_cast<std::size_t>(points));
        for (std::int32_t j = 0; j < points; ++j) {
            const unsigned char* slot = block + 4 + static_cast<std::size_t>(j) * 8;
            ShapePoint& p = polygon.points[static_cast<std::size_t>(j)];
            p.x = readF32(slot);
            p.y = readF32(slot + 4);
            if (!usableCoordinate(p.x) || !usableCoordinate(p.y)) return false;
        }
        polygon.fill = readI32(record + kFillsOffset + static_cast<std::size_t>(i) * 4);
    }
    return true;
}

std::string encodeShapeRecord(const ShapeRecord& shape) {
    std::string r(kShapeRecordSize, '\0');
    const std::size_t polygons =
        std::min(shape.polygons.size(), static_cast<std::size_t>(kMaxShapePolygons));
    putI32(r, 0, static_cast<std::int32_t>(polygons));
    std::string name = shape.name.substr(0, kShapeNameSize);
    name.resize(kShapeNameSize, ' ');
    r.replace(4, kShapeNameSize, name);
    putF32(r, 84, shape.spacing45);
    putF32(r, 88, shape.spacing0);
    for (std::size_t i = 0; i < polygons; ++i) {
        const ShapePolygon& polygon = shape.polygons[i];
        const std::size_t block = kPolygonsOffset + i * kPolygonBlockSize;
        const std::size_t points =
            std::min(polygon.points.size(), static_cast<std::size_t>(kMaxShapePoints));
        putI32(r, block, static_cast<std::int32_t>(points));
        for (std::size_t j = 0; j < points; ++j) {
            putF32(r, block + 4 + j * 8, polygon.points[j].x);
            putF32(r, block + 8 + j * 8, polygon.points[j].y);
        }
        putI32(r, kFillsOffset + i * 4, polygon.fill);
    }
    return r;
}

std::string shapeKey(std::string_view name) {
    std::size_t a = 0, b = name.size();
    const auto pad = [](char c) { return c == ' ' || c == '\0' || c == '\t'; };
    while (a < b && pad(name[a]))
        ++a;
    while (b > a && pad(name[b - 1]))
        --b;
    return lowerAscii(name.substr(a, b - a));
}

std::string shapeDisplayName(std::string_view name) {
    std::string s = lowerAscii(name);
    if (!s.empty() && s[0] >= 'a' && s[0] <= 'z') s[0] = static_cast<char>(s[0] - 'a' + 'A');
    return s;
}

std::string shapeStoredName(std::string_view typed) {
    std::size_t a = 0, b = typed.size();
    while (a < b && (typed[a] == ' ' || typed[a] == '\t'))
        ++a;
    while (b > a && (typed[b - 1] == ' ' || typed[b - 1] == '\t'))
        --b;
    std::string s(typed.substr(a, b - a));
    for (char& c : s)
        if (c == ' ') c = '_';
    return s;
}

std::string shapeNameProblem(std::string_view typed) {
    const std::string stored = shapeStoredName(typed);
    if (stored.empty()) return "a shape needs a name";
    if (stored.size() > kShapeNameSize)
        return "a shape name has at most " + std::to_string(kShapeNameSize) + " characters";
    for (const char c : stored)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return "a shape name may not hold control characters";
    return {};
}

std::string shapeLibraryPath(const ProfileFile& settings) {
    return readSetting(settings, keys::kShapeLibrary);
}

ShapeLookup loadShape(const ProfileFile& settings, std::string_view name, ShapeRecord& out,
                      const Feedback& feedback) {
    out = ShapeRecord{};
    const std::string path = shapeLibraryPath(settings);
    std::string bytes;
    if (path.empty() || !readWholeFile(path, bytes)) return ShapeLookup::NotFound;
    const std::string wanted = shapeKey(name);
    for (std::size_t i = 0; i < recordCount(bytes); ++i) {
        const unsigned char* r = recordAt(bytes, i);
        if (shapeKey(shapeRecordName(r, kShapeRecordSize)) != wanted) continue;
        if (decodeShapeRecord(r, kShapeRecordSize, out)) return ShapeLookup::Found;
        out = ShapeRecord{};
        feedback.message(MessageIcon::Error, "Converter",
                         feedback.texts ? text(*feedback.texts, 238) : std::string());
        return ShapeLookup::Damaged;
    }
    return ShapeLookup::NotFound;
}

std::vector<std::string> listShapeNames(const ProfileFile& settings) {
    std::vector<std::string> names;
    const std::string path = shapeLibraryPath(settings);
    std::string bytes;
    if (path.empty() || !readWholeFile(path, bytes)) return names;
    for (std::size_t i = 0; i < recordCount(bytes); ++i) {
        const std::string name = shapeRecordName(recordAt(bytes, i), kShapeRecordSize);
        if (!name.empty()) names.push_back(shapeDisplayName(name));
    }
    return names;
}

ShapeSaveResult saveShape(ProfileFile& settings, const Locations& locations,
                          const ShapeRecord& shape, const Feedback& feedback) {
    // A control character in a name (one taken from a file name, say) would reach every list
    // and terminal that shows the library; the name must be typed again.
    for (const char c : shape.name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            feedback.message(MessageIcon::Exclamation, "Shape Converter",
                             "a shape name may not hold control characters");
            return ShapeSaveResult::Failed;
        }
    std::string path = shapeLibraryPath(settings);
    if (path.empty()) {
        path = locations.userFolder + "shape.lib";
        writeSetting(settings, keys::kShapeLibrary, path);
    }
    const auto failed = [&](int err) {
        feedback.message(MessageIcon::Error, "shape converter",
                         "Error lib is readonly " + std::to_string(err));
        return ShapeSaveResult::Failed;
    };
    const std::string key = shapeKey(shape.name);
    const auto slotOf = [&](const std::string& bytes) {
        for (std::size_t i = 0; i < recordCount(bytes); ++i)
            if (shapeKey(shapeRecordName(recordAt(bytes, i), kShapeRecordSize)) == key) return i;
        return recordCount(bytes);
    };
    // The question is asked before the library is locked, so another program's write never
    // waits for an answer; the write itself looks for the name again in what it reads then.
    std::string bytes;
    if (const int err = readAll(path, bytes); err != 0 && err != ENOENT) return failed(err);
    if (slotOf(bytes) < recordCount(bytes) &&
        !feedback.askOkCancel("Shape Converter", "Matching Name in Library"))
        return ShapeSaveResult::Declined;
    const std::string record = encodeShapeRecord(shape);
    bool replaced = false;
    const int err = updateWholeFileAtomically(path, [&](std::string& content) {
        std::string now;
        if (const int e = readAll(path, now); e != 0 && e != ENOENT) return e;
        const std::size_t slot = slotOf(now);
        replaced = slot < recordCount(now);
        // Bytes past the last whole record (an emptied library's marker) are written over.
        content = now.substr(0, slot * kShapeRecordSize) + record;
        if (replaced) content += now.substr((slot + 1) * kShapeRecordSize);
        return 0;
    });
    if (err != 0) return failed(err);
    return replaced ? ShapeSaveResult::Replaced : ShapeSaveResult::Appended;
}

std::string toggleShapeMark(std::string_view item) {
    if (isShapeMarked(item)) return std::string(item.substr(3));
    return "** " + std::string(item);
}

bool isShapeMarked(std::string_view item) {
    return item.substr(0, 3) == "** ";
}

bool keepShapes(const ProfileFile& settings, const std::vector<std::string>& keepNames,
                const Feedback& feedback) {
    constexpr std::size_t kEditorLimit = 200;
    const std::string path = shapeLibraryPath(settings);
    const auto failed = [&](int err) {
        feedback.message(MessageIcon::Error, "Converter", "Error " + std::to_string(err));
        return false;
    };
    std::vector<std::string> keys;
    for (std::size_t i = 0; i < keepNames.size() && i < kEditorLimit; ++i)
        keys.push_back(shapeKey(keepNames[i]));
    if (path.empty()) return failed(ENOENT);
    const int err = updateWholeFileAtomically(path, [&](std::string& kept) {
        std::string bytes;
        if (const int e = readAll(path, bytes)) return e;
        std::size_t keptCount = 0;
        for (std::size_t i = 0; i < recordCount(bytes) && keptCount < kEditorLimit; ++i) {
            const std::string k = shapeKey(shapeRecordName(recordAt(bytes, i), kShapeRecordSize));
            if (k.empty()) continue;
            for (const std::string& want : keys) {
                if (want == k) {
                    kept.append(bytes, i * kShapeRecordSize, kShapeRecordSize);
                    ++keptCount;
                    break;
                }
            }
        }
        // The clean-up marker is what an emptied library holds: shorter than one record.
        if (kept.empty()) kept = "Clean up";
        return 0;
    });
    if (err != 0) return failed(err);
    return true;
}
