#include "core/texts.h"

#include "core/strings.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

TEST(BuiltInTexts, SampleEntriesAndEscapes) {
    TestState t;
    EXPECT_EQ(t.state.language.texts.size(), 313u);
    EXPECT_EQ(text(t.state.language, 0), "Lumivane Basic");
    EXPECT_EQ(text(t.state.language, 41), "<<<<<    Sent to Printer   >>>>>");
    EXPECT_EQ(text(t.state.language, 122), "MultiPurpose Tray");
    EXPECT_EQ(text(t.state.language, 132),
              "Unable to Copy,\r\nPlease run with administrator permissions");
    EXPECT_EQ(text(t.state.language, 279), "Print && Statistics");
    EXPECT_EQ(text(t.state.language, 282), "Fuser ") << "trailing blank kept";
    EXPECT_EQ(text(t.state.language, 25), "");
    EXPECT_EQ(text(t.state.language, 400), "");
    EXPECT_EQ(text(t.state.language, -1), "");
    // 287 holds placeholders; "\num" inside "\numcopy" style texts is kept.
    EXPECT_EQ(text(t.state.language, 288), "For\\numcopy\\copies the overall cost is");
}

TEST(Escapes, LineBreakButNotNum) {
    EXPECT_EQ(applyTextEscapes("a\\nb"), "a\r\nb");
    EXPECT_EQ(applyTextEscapes("x\\num y\\n"), "x\\num y\r\n");
    EXPECT_EQ(applyTextEscapes("end\\"), "end\\");
}

struct LengthCase {
    const char* unit;
    float points;
    const char* shown;
};

TEST(Units, FormatLengthTable) {
    const LengthCase cases[] = {
        {"C", 595.0f, "20.99"}, {"I", 595.0f, "8.264"}, {"M", 595.0f, "209.9"},
        {"X", 595.0f, "209.9"}, {"M", 0.0f, "0.0"},     {"I", 36.0f, "0.500"},
    };
    for (const auto& c : cases) {
        TestState t;
        t.state.record.unit = unitFromSetting(c.unit);
        EXPECT_EQ(formatLength(t.state.record.unit, c.points), c.shown)
            << c.unit << " " << c.points;
    }
}

TEST(Units, ParseLengthIsTheInverse) {
    TestState t;
    t.state.record.unit = unitFromSetting("M");
    EXPECT_NEAR(parseLength(t.state.record.unit, "100"), 283.4646f, 1e-3);
    EXPECT_NEAR(parseLength(t.state.record.unit, " 25,4 "), 72.0f, 1e-4);
    t.state.record.unit = unitFromSetting("C");
    EXPECT_NEAR(parseLength(t.state.record.unit, "2.54"), 72.0f, 1e-4);
    EXPECT_EQ(millimetresPerUnit(t.state.record.unit), 10.0);
    t.state.record.unit = unitFromSetting("I");
    EXPECT_NEAR(parseLength(t.state.record.unit, "8.264"), 595.0f, 0.01);
    EXPECT_EQ(parseLength(t.state.record.unit, "abc"), 0.0f);
    EXPECT_EQ(unitSymbol(t.state.record.unit, t.state.language), "Inch");
    EXPECT_EQ(millimetresPerUnit(t.state.record.unit), 25.4);
}

TEST(Pictures, RoundingAndPercent) {
    EXPECT_EQ(formatPicture(209.96, "#.#"), "210.0");
    EXPECT_EQ(formatPicture(0.25, "#.#"), "0.3");
    EXPECT_EQ(formatPicture(-0.04, "#.#"), "0.0");
    EXPECT_EQ(formatPicture(123.456, "###.##"), "123.46");
    EXPECT_EQ(formatPicture(99.5, "#%"), "100%");
    EXPECT_EQ(formatPicture(12.34, "#.#%"), "12.3%");
}

TEST(PrintableText, ControlsAndInvalidBytesBecomeQuestionMarks) {
    struct Case {
        std::string in;
        std::size_t max;
        std::string out;
    };
    const Case cases[] = {
        {"plain", 100, "plain"},
        {"a\nb\rc\td\x7F"
         "e",
         100, "a?b?c?d?e"},
        {std::string("x\0y", 3), 100, "x?y"},
        {"\x9B"
         "31m",
         100, "?31m"}, // lone C1 byte
        {"\xC2\x9B"
         "31m",
         100, "??31m"},                                                // C1 control as UTF-8
        {"caf\xC3\xA9 \xE2\x82\xAC", 100, "caf\xC3\xA9 \xE2\x82\xAC"}, // kept
        {"\xC0\xAF\xED\xA0\x80", 100, "?????"},                        // overlong, surrogate
        {"\xF0\x9F\x98", 100, "???"},                                  // cut sequence
        {"abc\xC3\xA9", 4, "abc"},                                     // never split a character
        {std::string(300, 'n'), 200, std::string(200, 'n')},
    };
    for (const Case& c : cases)
        EXPECT_EQ(printableText(c.in, c.max), c.out) << c.in;
}

} // namespace
