// The pattern print options and the mask and shapes commands of the command-line tool.
#include "pattern/shape_library.h"
#include "settings/settings.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

CliRun cli(TestState& t, const std::string& args) {
    return runCli(t.dir, args, "SOURCE_DATE_EPOCH=1700000000");
}

std::string sample() {
    return dataFolder() + "sample-artwork.png";
}

const std::string kSquare = "%%Creator: Adobe Illustrator(R) 8.0\n%%EndSetup\n"
                            "0 0 0 1 k\n0 0 m\n10 0 l\n10 10 l\n0 10 l\nf\n";

} // namespace

TEST(CliPattern, MaskFollowsThePatternOptions) {
    TestState t;
    CliRun plain = cli(t, "mask " + sample() + " --no-rotate -o " + t.dir.file("a.mask"));
    ASSERT_EQ(plain.code, 0) << plain.err;
    EXPECT_EQ(plain.out, "900 600\n");
    const std::string a = readFile(t.dir.file("a.mask"));
    ASSERT_EQ(a.size(), 8u + 900u * 600u);
    EXPECT_EQ(a.substr(0, 8), std::string("\x84\x03\0\0\x58\x02\0\0", 8));
    ASSERT_EQ(
        cli(t, "mask " + sample() + " --no-rotate --pattern-invert -o " + t.dir.file("b.mask"))
            .code,
        0);
    const std::string b = readFile(t.dir.file("b.mask"));
    ASSERT_EQ(b.size(), a.size());
    for (std::size_t i = 8; i < a.size(); ++i)
        ASSERT_EQ(static_cast<unsigned char>(b[i]), 255 - static_cast<unsigned char>(a[i])) << i;
    ASSERT_EQ(cli(t, "mask " + sample() + " --rotate -o " + t.dir.file("c.mask")).code, 0);
    EXPECT_EQ(readFile(t.dir.file("c.mask")).substr(0, 8),
              std::string("\x58\x02\0\0\x84\x03\0\0", 8));
    // A different shape size changes the screen.
    ASSERT_EQ(cli(t, "mask " + sample() +
                         " --no-rotate --pattern-size 3 3 --pattern-angle 0"
                         " --pattern-gap 0.5 --pattern-shape Rectangle -o " +
                         t.dir.file("d.mask"))
                  .code,
              0);
    EXPECT_NE(readFile(t.dir.file("d.mask")), a);
}

TEST(CliPattern, PatternKnocksColourOutOfTheSeparation) {
    TestState t;
    ASSERT_EQ(cli(t, "separate " + sample() + " -o " + t.dir.file("plain.sep")).code, 0);
    CliRun r = cli(t, "separate " + sample() + " --pattern --pattern-size 2 2 -o " +
                          t.dir.file("pat.sep"));
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string plain = readFile(t.dir.file("plain.sep"));
    const std::string pat = readFile(t.dir.file("pat.sep"));
    ASSERT_EQ(plain.size(), pat.size());
    std::size_t cleared = 0, kept = 0;
    for (std::size_t i = 0; i < plain.size(); ++i) {
        if (pat[i] != 0) {
            ASSERT_EQ(pat[i], plain[i]) << i; // the mask only ever clears
            ++kept;
        } else if (plain[i] != 0)
            ++cleared;
    }
    EXPECT_GT(cleared, plain.size() / 20);
    EXPECT_GT(kept, plain.size() / 20);
}

TEST(CliPattern, BadPatternValuesAreRefused) {
    TestState t;
    for (const char* bad :
         {"--pattern-size 0 2", "--pattern-size 2", "--pattern-size 2 x", "--pattern-size 1001 2",
          "--pattern-gap -2000", "--pattern-angle 30", "--pattern-shape", "--pattern-bogus"}) {
        CliRun r = cli(t, "layout " + sample() + " " + bad);
        EXPECT_EQ(r.code, 2) << bad;
        EXPECT_FALSE(r.err.empty()) << bad;
    }
    CliRun overlap =
        cli(t, "layout " + sample() + " --pattern --pattern-size 2 2 --pattern-gap -1.5");
    EXPECT_EQ(overlap.code, 1);
    EXPECT_NE(overlap.err.find("gap"), std::string::npos) << overlap.err;
}

// A name in the library (a window import keeps the file's name) is listed as printable
// text: an escape sequence in it never reaches the terminal.
TEST(CliPattern, ShapesListShowsPrintableNamesOnly) {
    TestState t;
    ASSERT_EQ(cli(t, "shapes list").code, 0);
    ShapeRecord r;
    r.name = "Ab\x1b[2J\x9b";
    r.polygons.push_back({{{0, 0}, {1, 0}, {1, 1}}, kShapeBlack});
    writeFile(t.state.locations.userFolder + "shape.lib", encodeShapeRecord(r));
    CliRun list = cli(t, "shapes list");
    ASSERT_EQ(list.code, 0) << list.err;
    EXPECT_EQ(list.out, "Ab?[2j?\n");
}

TEST(CliPattern, ShapesListImportReplaceAndRemove) {
    TestState t;
    CliRun list = cli(t, "shapes list");
    ASSERT_EQ(list.code, 0) << list.err;
    EXPECT_EQ(list.out, "Star\nHeart\nHexagon\nDiamond\nTriangle\nRing\nCross\nPaw\nLeaf\nWave\n");
    writeFile(t.dir.file("tile.ai"), kSquare);
    CliRun add =
        cli(t, "shapes import " + t.dir.file("tile.ai") + " --name \"big tile\" --spacing0 60");
    ASSERT_EQ(add.code, 0) << add.err;
    EXPECT_EQ(add.out, "added Big_tile\n");
    CliRun again = cli(t, "shapes import " + t.dir.file("tile.ai") + " --name BIG_TILE");
    EXPECT_EQ(again.code, 1);
    EXPECT_NE(again.err.find("Matching Name in Library"), std::string::npos);
    CliRun replace =
        cli(t, "shapes import " + t.dir.file("tile.ai") + " --name BIG_TILE --replace");
    EXPECT_EQ(replace.code, 0) << replace.err;
    EXPECT_EQ(replace.out, "replaced Big_tile\n");
    EXPECT_EQ(cli(t, "shapes remove nosuch").code, 1);
    ASSERT_EQ(cli(t, "shapes remove star HEART big_tile").code, 0);
    EXPECT_EQ(cli(t, "shapes list").out,
              "Hexagon\nDiamond\nTriangle\nRing\nCross\nPaw\nLeaf\nWave\n");
    writeFile(t.dir.file("new.ai"), "%%Creator: Adobe Illustrator(R) 9.0\n");
    CliRun tooNew = cli(t, "shapes import " + t.dir.file("new.ai"));
    EXPECT_EQ(tooNew.code, 1);
    EXPECT_NE(tooNew.err.find("AI file greater than Ver 8"), std::string::npos);
    EXPECT_EQ(cli(t, "shapes import " + t.dir.file("tile.ai") + " --spacing45 101").code, 2);
    // A name the record cannot hold as typed is refused, naming the option and its range.
    const std::string library = readFile(t.state.locations.userFolder + "shape.lib");
    for (const std::string& name :
         {std::string(81, 'n'), std::string("\"$(printf 'a\\033b')\""), std::string("\"  \"")}) {
        CliRun r = cli(t, "shapes import " + t.dir.file("tile.ai") + " --name " + name);
        EXPECT_EQ(r.code, 2) << name;
        EXPECT_NE(r.err.find("--name takes a shape name of 1 to 80 characters"), std::string::npos)
            << r.err;
    }
    EXPECT_EQ(readFile(t.state.locations.userFolder + "shape.lib"), library);
    EXPECT_EQ(cli(t, "shapes").code, 2);
}
