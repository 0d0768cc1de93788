#include "pattern/shape_library.h"

#include "actions/startup.h"
#include "settings/settings.h"
#include "tests/support/test_support.h"
#include "core/profile_file_testing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace testsupport;

namespace {

ShapeRecord square(const std::string& name, std::int32_t fill = kShapeBlack) {
    ShapeRecord r;
    r.name = name;
    r.spacing45 = 0.25f;
    r.spacing0 = -0.5f;
    r.polygons.push_back({{{0, 0}, {1, 0}, {1, 1}, {0, 1}}, fill});
    return r;
}

struct Library {
    TestState t;
    std::string path;
    Library() {
        path = t.state.locations.userFolder + "shape.lib";
        writeSetting(t.state.settings, keys::kShapeLibrary, path);
    }
};

void put32(std::string& s, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

} // namespace

TEST(ShapeRecordFormat, LayoutIsLittleEndianAtTheFixedOffsets) {
    ShapeRecord r = square("Box");
    r.polygons.push_back({{{0.5f, 0.25f}}, kShapeWhite});
    const std::string b = encodeShapeRecord(r);
    ASSERT_EQ(b.size(), 32252u);
    std::string expected;
    le32(expected, 2);
    EXPECT_EQ(b.substr(0, 4), expected);
    EXPECT_EQ(b.substr(4, 80), "Box" + std::string(77, ' '));
    float f;
    std::memcpy(&f, b.data() + 84, 4);
    EXPECT_EQ(f, 0.25f);
    std::memcpy(&f, b.data() + 88, 4);
    EXPECT_EQ(f, -0.5f);
    EXPECT_EQ(static_cast<unsigned char>(b[92]), 4u);        // points of polygon 1
    EXPECT_EQ(static_cast<unsigned char>(b[92 + 1604]), 1u); // points of polygon 2
    std::memcpy(&f, b.data() + 92 + 1604 + 4 + 4, 4);        // polygon 2, point 1, y
    EXPECT_EQ(f, 0.25f);
    EXPECT_EQ(b.substr(32172 + 4, 4), std::string("\xFF\xFF\xFF\0", 4)); // fill of polygon 2
    EXPECT_EQ(b.substr(32172 + 8), std::string(72, '\0'));
    ShapeRecord back;
    ASSERT_TRUE(
        decodeShapeRecord(reinterpret_cast<const unsigned char*>(b.data()), b.size(), back));
    EXPECT_EQ(back.name, "Box");
    ASSERT_EQ(back.polygons.size(), 2u);
    EXPECT_EQ(back.polygons[0].points.size(), 4u);
    EXPECT_EQ(back.polygons[1].fill, kShapeWhite);
    EXPECT_EQ(back.spacing0, -0.5f);
}

TEST(ShapeRecordFormat, DamagedRecordsAreRefused) {
    struct Case {
        const char* what;
        std::size_t offset;
        std::uint32_t value;
    } cases[] = {
        {"no polygons", 0, 0},
        {"21 polygons", 0, 21},
        {"negative polygon count", 0, 0xFFFFFFFFu},
        {"201 points", 92, 201},
        {"negative point count", 92, 0x80000000u},
        {"NaN coordinate", 96, 0x7FC00000u},
        {"huge coordinate", 96, 0x4E6E6B28u}, // 1e9
        {"infinite spacing", 84, 0x7F800000u},
    };
    const std::string good = encodeShapeRecord(square("Box"));
    for (const Case& c : cases) {
        std::string b = good;
        put32(b, c.offset, c.value);
        ShapeRecord r;
        EXPECT_FALSE(
            decodeShapeRecord(reinterpret_cast<const unsigned char*>(b.data()), b.size(), r))
            << c.what;
    }
    ShapeRecord r;
    EXPECT_FALSE(decodeShapeRecord(reinterpret_cast<const unsigned char*>(good.data()), 32251, r));
    EXPECT_TRUE(decodeShapeRecord(reinterpret_cast<const unsigned char*>(good.data()), 32252, r));
}

TEST(ShapeNames, StoredListedAndCompared) {
    EXPECT_EQ(shapeStoredName("  big star "), "big_star");
    EXPECT_EQ(shapeDisplayName("BIG_star"), "Big_star");
    EXPECT_EQ(shapeKey(std::string("  Paw\0\0", 7)), "paw");
    EXPECT_EQ(toggleShapeMark("Paw"), "** Paw");
    EXPECT_EQ(toggleShapeMark("** Paw"), "Paw");
    EXPECT_TRUE(isShapeMarked("** Paw"));
    EXPECT_FALSE(isShapeMarked("Paw"));
}

TEST(ShapeLibrary, SaveAppendsListsAndLoadsByAnyCase) {
    Library l;
    ShapeRecord in = square(shapeStoredName("big star"));
    EXPECT_EQ(saveShape(l.t.state.settings, l.t.state.locations, in, feedback(l.t.state)),
              ShapeSaveResult::Appended);
    EXPECT_EQ(
        saveShape(l.t.state.settings, l.t.state.locations, square("Moon"), feedback(l.t.state)),
        ShapeSaveResult::Appended);
    EXPECT_EQ(readFile(l.path).size(), 2 * kShapeRecordSize);
    EXPECT_EQ(listShapeNames(l.t.state.settings), (std::vector<std::string>{"Big_star", "Moon"}));
    ShapeRecord out;
    ASSERT_EQ(loadShape(l.t.state.settings, "BIG_STAR", out, feedback(l.t.state)),
              ShapeLookup::Found);
    EXPECT_EQ(out.name, "big_star");
    EXPECT_EQ(loadShape(l.t.state.settings, "sun", out, feedback(l.t.state)),
              ShapeLookup::NotFound);
    EXPECT_TRUE(l.t.ui.messages().empty());
}

TEST(ShapeLibrary, SameNameInOtherCaseAsksAndReplacesInPlaceOrKeeps) {
    for (const bool ok : {true, false}) {
        Library l;
        saveShape(l.t.state.settings, l.t.state.locations, square("Moon"), feedback(l.t.state));
        saveShape(l.t.state.settings, l.t.state.locations, square("Paw"), feedback(l.t.state));
        l.t.ui.answerOk = ok;
        ShapeRecord replacement = square("MOON", kShapeWhite);
        EXPECT_EQ(
            saveShape(l.t.state.settings, l.t.state.locations, replacement, feedback(l.t.state)),
            ok ? ShapeSaveResult::Replaced : ShapeSaveResult::Declined);
        ASSERT_EQ(l.t.ui.calls.size(), 1u);
        EXPECT_EQ(l.t.ui.calls[0].kind, "question");
        EXPECT_EQ(l.t.ui.calls[0].caption, "Shape Converter");
        EXPECT_EQ(l.t.ui.calls[0].text, "Matching Name in Library");
        EXPECT_EQ(listShapeNames(l.t.state.settings), (std::vector<std::string>{"Moon", "Paw"}));
        ShapeRecord out;
        ASSERT_EQ(loadShape(l.t.state.settings, "moon", out, feedback(l.t.state)),
                  ShapeLookup::Found);
        EXPECT_EQ(out.polygons[0].fill, ok ? kShapeWhite : kShapeBlack);
    }
}

TEST(ShapeLibrary, NameWithAControlCharacterIsNotStored) {
    // Such a name comes from a file name in the import window; the library keeps none.
    Library l;
    saveShape(l.t.state.settings, l.t.state.locations, square("Moon"), feedback(l.t.state));
    const std::string before = readFile(l.path);
    for (const std::string& name :
         {std::string("evil\x1b[2J"), std::string("two\nlines"), std::string("del\x7f")}) {
        l.t.ui.clear();
        EXPECT_EQ(
            saveShape(l.t.state.settings, l.t.state.locations, square(name), feedback(l.t.state)),
            ShapeSaveResult::Failed)
            << name;
        const auto m = l.t.ui.messages();
        ASSERT_EQ(m.size(), 1u) << name;
        EXPECT_NE(m[0].text.find("control characters"), std::string::npos) << m[0].text;
        EXPECT_TRUE(readFile(l.path) == before) << name;
    }
    EXPECT_EQ(listShapeNames(l.t.state.settings), (std::vector<std::string>{"Moon"}));
}

TEST(ShapeLibrary, FileErrorsAreReportedWithTheirNumber) {
    // A folder where the library should be: no user (root included) can write it as a file.
    Library l;
    std::filesystem::create_directories(l.path);
    EXPECT_EQ(
        saveShape(l.t.state.settings, l.t.state.locations, square("Paw"), feedback(l.t.state)),
        ShapeSaveResult::Failed);
    EXPECT_FALSE(keepShapes(l.t.state.settings, {}, feedback(l.t.state)));
    auto m = l.t.ui.messages();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].text, "Error lib is readonly 21");
    EXPECT_EQ(m[0].caption, "shape converter");
    EXPECT_EQ(m[1].text, "Error 21");
    EXPECT_EQ(m[1].caption, "Converter");
    EXPECT_TRUE(std::filesystem::is_directory(l.path));
}

TEST(ShapeLibrary, EditorKeepsUnmarkedInFileOrderAndEmptiesToCleanUp) {
    Library l;
    for (const char* n : {"Star", "Moon", "Paw"})
        saveShape(l.t.state.settings, l.t.state.locations, square(n), feedback(l.t.state));
    ASSERT_TRUE(keepShapes(l.t.state.settings, {"paw", "STAR"}, feedback(l.t.state)));
    EXPECT_EQ(listShapeNames(l.t.state.settings), (std::vector<std::string>{"Star", "Paw"}));
    ASSERT_TRUE(keepShapes(l.t.state.settings, {}, feedback(l.t.state)));
    EXPECT_EQ(readFile(l.path), "Clean up");
    EXPECT_TRUE(listShapeNames(l.t.state.settings).empty());
    ShapeRecord out;
    EXPECT_EQ(loadShape(l.t.state.settings, "star", out, feedback(l.t.state)),
              ShapeLookup::NotFound);
    // The next save writes over the marker: the file is whole records again.
    EXPECT_EQ(
        saveShape(l.t.state.settings, l.t.state.locations, square("Moon"), feedback(l.t.state)),
        ShapeSaveResult::Appended);
    EXPECT_EQ(readFile(l.path).size(), kShapeRecordSize);
}

TEST(ShapeLibrary, DamagedMatchShowsText238AndTrailingBytesAreIgnored) {
    Library l;
    std::string bytes = encodeShapeRecord(square("Moon"));
    put32(bytes, 0, 99);
    writeFile(l.path, bytes + "partial");
    ShapeRecord out;
    EXPECT_EQ(loadShape(l.t.state.settings, "moon", out, feedback(l.t.state)),
              ShapeLookup::Damaged);
    auto m = l.t.ui.messages();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].text, "Shape file is damaged.\r\nUnable to open");
    EXPECT_EQ(listShapeNames(l.t.state.settings), std::vector<std::string>{"Moon"});
}

TEST(ShapeLibrary, MissingFileFindsNothingAndSavingCreatesIt) {
    Library l;
    ShapeRecord out;
    EXPECT_EQ(loadShape(l.t.state.settings, "moon", out, feedback(l.t.state)),
              ShapeLookup::NotFound);
    EXPECT_TRUE(listShapeNames(l.t.state.settings).empty());
    EXPECT_EQ(
        saveShape(l.t.state.settings, l.t.state.locations, square("Moon"), feedback(l.t.state)),
        ShapeSaveResult::Appended);
    EXPECT_TRUE(fileExists(l.path));
}

// Only a regular library within the cap is read: a FIFO would block the window, a damaged
// giant fill the memory; neither is written.
TEST(ShapeLibrary, OnlyARegularLibraryOfSaneSizeIsReadOrWritten) {
    Library l;
    const std::string fifo = l.t.dir.file("pipe.lib"), big = l.t.dir.file("big.lib");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    writeFile(big, encodeShapeRecord(square("Moon")));
    std::filesystem::resize_file(big, kMaxShapeLibraryBytes + 1);
    for (const std::string& path : {fifo, big}) {
        ASSERT_TRUE(writeSetting(l.t.state.settings, keys::kShapeLibrary, path));
        l.t.ui.clear();
        ShapeRecord out;
        EXPECT_EQ(loadShape(l.t.state.settings, "moon", out, feedback(l.t.state)),
                  ShapeLookup::NotFound)
            << path;
        EXPECT_TRUE(listShapeNames(l.t.state.settings).empty()) << path;
        EXPECT_EQ(
            saveShape(l.t.state.settings, l.t.state.locations, square("Paw"), feedback(l.t.state)),
            ShapeSaveResult::Failed)
            << path;
        EXPECT_FALSE(keepShapes(l.t.state.settings, {"moon"}, feedback(l.t.state))) << path;
        EXPECT_EQ(l.t.ui.messages().size(), 2u) << path;
    }
    EXPECT_EQ(std::filesystem::file_size(big), kMaxShapeLibraryBytes + 1);
}

// The library is written with the settings writer's rules: a link planted in its place to
// another user's file is not written through, by the first copy, a save or the editor.
TEST(ShapeLibrary, APlantedLinkIsNotWrittenThrough) {
    Library l;
    const std::string victim = l.t.dir.file("theirs/victim.lib");
    std::filesystem::create_directories(l.t.dir.file("theirs"));
    writeFile(victim, "their bytes");
    ASSERT_EQ(::chown(victim.c_str(), 65534, 65534), 0);
    ::chmod(victim.c_str(), 0666);
    ASSERT_EQ(::symlink(victim.c_str(), l.path.c_str()), 0);
    EXPECT_EQ(
        saveShape(l.t.state.settings, l.t.state.locations, square("Paw"), feedback(l.t.state)),
        ShapeSaveResult::Failed);
    EXPECT_FALSE(keepShapes(l.t.state.settings, {}, feedback(l.t.state)));
    ASSERT_TRUE(deleteProfileKey(l.t.state.locations.settingsPath, "Active", "Shape Library") == 0);
    l.t.state.locations.sharedFolder = l.t.dir.file("shared/");
    EXPECT_EQ(initialiseShapeLibrary(l.t.state.settings, l.t.state.locations), 2);
    EXPECT_EQ(readFile(victim), "their bytes");
    EXPECT_TRUE(std::filesystem::is_symlink(l.path));
}

// Saves of several programs at once are each read, changed and written under the lock: no
// shape is lost.
TEST(ShapeLibrary, ConcurrentSavesLoseNoShape) {
    Library l;
    constexpr int kWriters = 4, kShapes = 6;
    std::vector<pid_t> pids;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            int failures = 0;
            for (int k = 0; k < kShapes; ++k)
                failures += saveShape(l.t.state.settings, l.t.state.locations,
                                      square("s" + std::to_string(w) + "_" + std::to_string(k)),
                                      feedback(l.t.state)) != ShapeSaveResult::Appended;
            ::_exit(failures == 0 ? 0 : 1);
        }
        pids.push_back(pid);
    }
    for (const pid_t pid : pids) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(listShapeNames(l.t.state.settings).size(),
              static_cast<std::size_t>(kWriters * kShapes));
    EXPECT_EQ(readFile(l.path).size(), kWriters * kShapes * kShapeRecordSize);
}

TEST(MasterShapeLibrary, FreshInstallationProvisionsOurTenShapes) {
    TestState t;
    prepareSettings(t.state);
    EXPECT_TRUE(t.ui.messages().empty());
    EXPECT_EQ(readSetting(t.state.settings, keys::kShapeLibrary),
              t.state.locations.userFolder + "shape.lib");
    EXPECT_EQ(listShapeNames(t.state.settings),
              (std::vector<std::string>{"Star", "Heart", "Hexagon", "Diamond", "Triangle", "Ring",
                                        "Cross", "Paw", "Leaf", "Wave"}));
    const std::string bytes = readFile(t.state.locations.userFolder + "shape.lib");
    ASSERT_EQ(bytes.size(), 10 * kShapeRecordSize);
    for (std::size_t i = 0; i < 10; ++i) {
        ShapeRecord r;
        EXPECT_TRUE(decodeShapeRecord(reinterpret_cast<const unsigned char*>(bytes.data()) +
                                          i * kShapeRecordSize,
                                      kShapeRecordSize, r))
            << i;
    }
    ShapeRecord ring;
    ASSERT_EQ(loadShape(t.state.settings, "ring", ring, feedback(t.state)), ShapeLookup::Found);
    ASSERT_EQ(ring.polygons.size(), 2u);
    EXPECT_EQ(ring.polygons[1].fill, kShapeWhite);
}
