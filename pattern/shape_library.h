// The shape library file "shape.lib": the user's copy and the machine-wide master, its fixed
// records, lookup by name, listing, saving and the editor's clean-up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/profile_file.h"
#include "core/state.h"
#include "core/ui.h"

// Makes the user's copy ready. Returns 0 ready (already set, or master copied and "Shape
// Library" stored), 1 machine-wide folder unknown, 2 user folder unknown, 3 master missing.
// The master is sharedFolder + "shape.lib", else the one shipped in programFolder.
int initialiseShapeLibrary(ProfileFile& settings, const Locations& locations);

// Record layout: little-endian, no file header.
inline constexpr std::size_t kShapeRecordSize = 32252;
inline constexpr std::size_t kShapeNameSize = 80;
inline constexpr int kMaxShapePolygons = 20;
inline constexpr int kMaxShapePoints = 200;
inline constexpr std::size_t kPolygonBlockSize = 4 + kMaxShapePoints * 8;
inline constexpr std::size_t kPolygonsOffset = 92;
inline constexpr std::size_t kFillsOffset = kPolygonsOffset + kMaxShapePolygons * kPolygonBlockSize;
// Largest library read or written: far more shapes than the editor lists; a larger file is
// damaged and is neither read nor rewritten (error EFBIG).
inline constexpr std::size_t kMaxShapeLibraryBytes = 1024 * kShapeRecordSize;
// Coordinates of a shape are fractions of its height; anything far outside is damage, and
// keeping it out keeps the generator's pixel arithmetic inside the int range.
inline constexpr float kMaxShapeCoordinate = 1000.0f;

inline constexpr std::int32_t kShapeBlack = 0;
inline constexpr std::int32_t kShapeWhite = 0xFFFFFF;

struct ShapePoint {
    float x = 0.0f;
    float y = 0.0f;
};

struct ShapePolygon {
    std::vector<ShapePoint> points;  // at most kMaxShapePoints
    std::int32_t fill = kShapeBlack; // 0x00BBGGRR
};

struct ShapeRecord {
    std::string name;                   // trimmed, as stored
    float spacing45 = 0.0f;             // fraction added to the vertical step at screen angle 45
    float spacing0 = 0.0f;              // the same at screen angle 0
    std::vector<ShapePolygon> polygons; // 1..kMaxShapePolygons in a valid record
};

// The trimmed name of a record's name field (padding: blanks and NUL bytes).
std::string shapeRecordName(const unsigned char* record, std::size_t size);
// Decodes one record; false when it is damaged (short, polygon count outside 1..20, point
// count outside 0..200, a coordinate that is not a finite number within +-1000). Never
// reads outside [record, record + size).
bool decodeShapeRecord(const unsigned char* record, std::size_t size, ShapeRecord& out);
// The record's 32252 bytes; the name is padded with blanks, unused slots are zero. Names
// longer than 80 bytes, more than 20 polygons or 200 points are cut.
std::string encodeShapeRecord(const ShapeRecord& shape);

// Lower-case trimmed name, the form every comparison uses.
std::string shapeKey(std::string_view name);
// First letter upper case, the rest lower case (how lists show names).
std::string shapeDisplayName(std::string_view name);
// A name typed by the user made ready to store: trimmed, blanks replaced by "_".
std::string shapeStoredName(std::string_view typed);
// Why a typed name cannot be stored as it is (nothing but blanks, longer than a record's
// kShapeNameSize bytes once stored, or a control character), or empty when it can.
std::string shapeNameProblem(std::string_view typed);

// The user's library path ("Shape Library" of section "Active").
std::string shapeLibraryPath(const ProfileFile& settings);

enum class ShapeLookup { Found, NotFound, Damaged };
// The first record whose name matches (any case). A damaged matching record shows text 238
// and gives Damaged. A missing file or an empty library gives NotFound.
ShapeLookup loadShape(const ProfileFile& settings, std::string_view name, ShapeRecord& out,
                      const Feedback& feedback);
// Display names in file order, empty names skipped; a trailing partial record is ignored.
std::vector<std::string> listShapeNames(const ProfileFile& settings);

enum class ShapeSaveResult { Appended, Replaced, Declined, Failed };
// Appends the record, or replaces one of the same name after "Matching Name in Library"
// (caption "Shape Converter") is answered OK. A file error shows "Error lib is readonly " and
// the error number (caption "shape converter") and leaves the file as it was. A missing file
// is created; with no library path set, the user folder's "shape.lib" is used and stored.
// The library is read, changed and replaced as one step under the settings folder lock, with
// the settings writer's rules (only the user's own files and links are written). A name with
// a control character is refused with a message and nothing is written.
ShapeSaveResult saveShape(ProfileFile& settings, const Locations& locations,
                          const ShapeRecord& shape, const Feedback& feedback);

// The editor's item text: toggles the "** " mark.
std::string toggleShapeMark(std::string_view item);
bool isShapeMarked(std::string_view item);
// The editor's OK: keeps, in file order, the records whose name is one of keepNames (any case,
// at most 200 names and 200 records) and rewrites the file with them; with none kept the file
// holds only "Clean up" (shorter than a record: an empty library). A file error shows "Error "
// and the error number (caption "Converter") and changes nothing. True on success.
bool keepShapes(const ProfileFile& settings, const std::vector<std::string>& keepNames,
                const Feedback& feedback);
