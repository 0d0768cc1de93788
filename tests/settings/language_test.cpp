#include "settings/language.h"

#include "core/texts.h"
#include "settings/settings.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

using namespace testsupport;

namespace {

const char kV3[] = "Draxilon Language file V3";

// A language file in a private program folder; lines joined with CR LF.
struct LanguageFixture {
    TestState t;
    LanguageFixture() {
        t.state.locations.programFolder = t.dir.path + "/prog/";
        std::filesystem::create_directories(t.state.locations.programFolder);
    }
    void write(const std::string& name, const std::vector<std::string>& lines) {
        std::string content;
        for (const auto& l : lines)
            content += l + "\r\n";
        writeFile(t.state.locations.programFolder + name, content);
    }
};

std::string base64(const std::string& s) {
    // Payloads other than the well-formed ones encodeLanguageLine makes.
    static const char a[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < s.size(); i += 3) {
        unsigned v = static_cast<unsigned char>(s[i]) << 16;
        if (i + 1 < s.size()) v |= static_cast<unsigned char>(s[i + 1]) << 8;
        if (i + 2 < s.size()) v |= static_cast<unsigned char>(s[i + 2]);
        for (int k = 3; k >= 0; --k)
            out += a[(v >> (6 * k)) & 63];
    }
    return out;
}

TEST(LanguageLine, AsterisksAndNumberAreStripped) {
    int n = -1;
    std::string entry;
    ASSERT_TRUE(decodeLanguageLine("xN" + base64("****12NPaper****"), n, entry));
    EXPECT_EQ(n, 12);
    EXPECT_EQ(entry, "Paper");
    ASSERT_TRUE(decodeLanguageLine(encodeLanguageLine(7, "Zu breit\\nfür A4", "313"), n, entry));
    EXPECT_EQ(n, 7);
    EXPECT_EQ(entry, "Zu breit\\nfür A4");
}

TEST(LanguageLine, DamagedLinesGiveNothingOrShortenedText) {
    int n = -1;
    std::string entry;
    EXPECT_FALSE(decodeLanguageLine("no letter here", n, entry));
    EXPECT_FALSE(decodeLanguageLine("N" + base64("********"), n, entry));
    EXPECT_FALSE(decodeLanguageLine("N" + base64("Paper only"), n, entry));
    // Decoding stops at the first character outside the alphabet.
    std::string good = base64("**42NAbcdefghi**");
    ASSERT_TRUE(decodeLanguageLine("N" + good.substr(0, 8) + "!!!!" + good.substr(8), n, entry));
    EXPECT_EQ(n, 42);
    EXPECT_EQ(entry, "A");
}

TEST(LoadLanguage, TableSizedByCount) {
    for (auto [count, size] : {std::pair{100, 313u}, {312, 313u}, {400, 401u}}) {
        LanguageFixture f;
        f.write("Test.lan3", {kV3, "Test", encodeLanguageLine(12, "Papier", std::to_string(count)),
                              encodeLanguageLine(count, "last", ""), ">>>"});
        loadLanguage(f.t.state.language, f.t.state.locations.programFolder, "Test.lan3",
                     f.t.state.ui);
        EXPECT_EQ(f.t.state.language.texts.size(), size) << count;
        EXPECT_EQ(text(f.t.state.language, 12), "Papier");
        EXPECT_TRUE(f.t.ui.messages().empty());
    }
}

TEST(LoadLanguage, EscapesEntryZeroAndFallbackEntries) {
    LanguageFixture f;
    f.write("Test.lan3", {kV3, "Test", encodeLanguageLine(0, "Other Name", "3"),
                          encodeLanguageLine(133, "eins\\nzwei", ""),
                          encodeLanguageLine(287, "Kosten \\num Stück\\n", ""), ">>>",
                          encodeLanguageLine(30, "after the end", "")});
    loadLanguage(f.t.state.language, f.t.state.locations.programFolder, "Test.lan3", f.t.state.ui);
    EXPECT_EQ(text(f.t.state.language, 0), "Lumivane Basic");
    EXPECT_EQ(text(f.t.state.language, 133), "eins\r\nzwei");
    EXPECT_EQ(text(f.t.state.language, 287), "Kosten \\num Stück\r\n");
    EXPECT_EQ(text(f.t.state.language, 30), "Paper Size") << "lines after >>> are not read";
    EXPECT_EQ(text(f.t.state.language, 41), "<<<<<    Sent to Printer   >>>>>") << "built-in stays";
}

TEST(LoadLanguage, EntriesOutsideTheTableAreIgnored) {
    LanguageFixture f;
    f.write("Bad.lan3", {kV3, "Bad", encodeLanguageLine(5, "Abbrechen", "2"),
                         encodeLanguageLine(5000000, "far out", ""),
                         "N" + base64("**-3Nnegative**"), encodeLanguageLine(6, "OK!", ""), ">>>"});
    loadLanguage(f.t.state.language, f.t.state.locations.programFolder, "Bad.lan3", f.t.state.ui);
    EXPECT_EQ(f.t.state.language.texts.size(), 313u);
    EXPECT_EQ(text(f.t.state.language, 5), "Abbrechen");
    EXPECT_EQ(text(f.t.state.language, 6), "OK!");
}

TEST(LoadLanguage, HugeCountIsCapped) {
    LanguageFixture f;
    f.write("Huge.lan3", {kV3, "Huge", encodeLanguageLine(1, "Keine Datei", "99999999999999"),
                          encodeLanguageLine(kMaxLanguageEntry + 1, "x", ""), ">>>"});
    loadLanguage(f.t.state.language, f.t.state.locations.programFolder, "Huge.lan3", f.t.state.ui);
    EXPECT_EQ(f.t.state.language.texts.size(), static_cast<std::size_t>(kMaxLanguageEntry) + 1);
    EXPECT_EQ(text(f.t.state.language, 1), "Keine Datei");
}

TEST(LoadLanguage, StopsAfterEntryU) {
    LanguageFixture f;
    f.write("Stop.lan3",
            {kV3, "Stop", encodeLanguageLine(10, "a", "5"), encodeLanguageLine(312, "last", ""),
             encodeLanguageLine(11, "not read", "")});
    loadLanguage(f.t.state.language, f.t.state.locations.programFolder, "Stop.lan3", f.t.state.ui);
    EXPECT_EQ(text(f.t.state.language, 312), "last");
    EXPECT_EQ(text(f.t.state.language, 11), "&Open File");
}

TEST(LoadLanguage, ManyLinesAndMissingLineThree) {
    LanguageFixture f;
    std::vector<std::string> lines = {kV3, "Many", encodeLanguageLine(1, "x", "100000")};
    for (int i = 0; i < 100000; ++i)
        lines.push_back(encodeLanguageLine(i % 9000 + 2, "e", ""));
    f.write("Many.lan3", lines);
    loadLanguage(f.t.state.language, f.t.state.locations.programFolder, "Many.lan3", f.t.state.ui);
    EXPECT_EQ(f.t.state.language.texts.size(), static_cast<std::size_t>(kMaxLanguageEntry) + 1);
    EXPECT_EQ(text(f.t.state.language, 2), "e");

    LanguageFixture g;
    g.write("Short.lan3", {kV3, "Short"});
    loadLanguage(g.t.state.language, g.t.state.locations.programFolder, "Short.lan3", g.t.state.ui);
    EXPECT_EQ(text(g.t.state.language, 42), "Select Printer");
}

TEST(LoadLanguage, MissingAndOutdatedFilesFallBackWithMessage) {
    LanguageFixture f;
    loadLanguage(f.t.state.language, f.t.state.locations.programFolder, "Nowhere.lan3",
                 f.t.state.ui);
    auto m = f.t.ui.messages();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].icon, MessageIcon::Error);
    EXPECT_EQ(m[0].text,
              f.t.state.locations.programFolder +
                  "Nowhere.lan3 Missing\r\nLoading defaults - Please set language once open");
    EXPECT_EQ(text(f.t.state.language, 6), "OK");

    for (const char* header : {"Draxilon Language file V1", "Draxilon Language file V2"}) {
        LanguageFixture g;
        g.write("Old.lan3", {header, "Old", encodeLanguageLine(6, "Jawohl", "1"), ">>>"});
        loadLanguage(g.t.state.language, g.t.state.locations.programFolder, "Old.lan3",
                     g.t.state.ui);
        auto w = g.t.ui.messages();
        ASSERT_EQ(w.size(), 1u);
        EXPECT_EQ(w[0].icon, MessageIcon::Warning);
        EXPECT_EQ(w[0].caption, "Draxilon");
        EXPECT_EQ(w[0].text,
                  "The Language file is out of date, please reinstall\r\nLoading Defaults");
        EXPECT_EQ(text(g.t.state.language, 6), "OK");
    }
}

// The file named in the settings stays inside the program folder, is a regular file and of a
// sane size; otherwise the built-in texts are used and the user is told once, with the name.
TEST(LoadLanguage, PathsOutsideTheProgramFolderFifosAndHugeFilesAreRefused) {
    LanguageFixture f;
    const std::string outside = f.t.dir.file("x.lan3");
    writeFile(outside, std::string(kV3) + "\r\nEvil\r\n" + encodeLanguageLine(6, "Pwned", "1") +
                           "\r\n>>>\r\n");
    f.write("Big.lan3", {kV3, "Big", encodeLanguageLine(6, "Big", "1"),
                         std::string(kMaxLanguageFileBytes, 'x')});
    ASSERT_EQ(::mkfifo((f.t.state.locations.programFolder + "Pipe.lan3").c_str(), 0600), 0);
    struct Case {
        std::string name, says;
    };
    const Case cases[] = {
        {"../x.lan3", "is not a language file of the program folder"},
        {"../../" + f.t.dir.path.substr(1) + "/x.lan3", "is not a language file"},
        {"Big.lan3", "is larger than 4 MB"},
        {"Pipe.lan3", "Pipe.lan3 Missing"}, // not a language file: no wait for a writer
    };
    for (const Case& c : cases) {
        f.t.ui.clear();
        loadLanguage(f.t.state.language, f.t.state.locations.programFolder, c.name, f.t.state.ui);
        EXPECT_EQ(text(f.t.state.language, 6), "OK") << c.name;
        const auto m = f.t.ui.messages();
        ASSERT_EQ(m.size(), 1u) << c.name;
        EXPECT_NE(m[0].text.find(c.says), std::string::npos) << m[0].text;
        EXPECT_NE(m[0].text.find(c.name), std::string::npos) << m[0].text;
    }
    EXPECT_FALSE(isCurrentLanguageFile(f.t.state.locations.programFolder + "Pipe.lan3"));
}

TEST(LanguageList, CurrentFilesCapitalisedAndSelection) {
    LanguageFixture f;
    f.write("german.lan3", {kV3, "x", ">>>"});
    f.write("ENGLISH.lan3", {kV3, "x", ">>>"});
    f.write("Old.lan3", {"Draxilon Language file V2", "x"});
    f.write("notes.txt", {kV3});
    writeSetting(f.t.state.settings, keys::kLanguage, "German.lan3");
    LanguageList list = listLanguages(f.t.state.locations.programFolder, f.t.state.settings);
    EXPECT_EQ(list.names, (std::vector<std::string>{"English", "German"}));
    EXPECT_EQ(list.selected, 1);
}

TEST(ShippedLanguages, LoadWithoutMessages) {
    TestState t;
    loadLanguage(t.state.language, t.state.locations.programFolder, "English.lan3", t.state.ui);
    EXPECT_TRUE(t.ui.messages().empty());
    // The format strips padding asterisks from both ends of a payload, so a text ending in
    // asterisks (29, "Print Utility For ******") cannot keep them.
    for (int n = 0; n < 313; ++n) {
        if (n == 29) continue;
        EXPECT_EQ(text(t.state.language, n), applyTextEscapes(builtInText(n))) << n;
    }
    EXPECT_EQ(text(t.state.language, 29), "Print Utility For ");

    loadLanguage(t.state.language, t.state.locations.programFolder, "German.lan3", t.state.ui);
    EXPECT_TRUE(t.ui.messages().empty());
    EXPECT_EQ(text(t.state.language, 0), "Lumivane Basic");
    EXPECT_NE(text(t.state.language, 6 + 1), "Exit") << "German texts differ from English";
    EXPECT_FALSE(text(t.state.language, 42).empty());
}

TEST(ChooseLanguage, StoresNameAndReloads) {
    TestState t;
    EXPECT_TRUE(chooseLanguage(t.state.language, t.state.settings, t.state.locations.programFolder,
                               t.state.ui, "German"));
    EXPECT_EQ(readSetting(t.state.settings, keys::kLanguage), "German.lan3");
    EXPECT_FALSE(chooseLanguage(t.state.language, t.state.settings, t.state.locations.programFolder,
                                t.state.ui, "German"))
        << "same language: nothing to do";
    // Names that lead out of the program folder are refused with a message and not stored.
    for (const std::string& name :
         {std::string("../../tmp/Evil"), std::string("/tmp/Evil"), std::string("Ger\0/x", 7)}) {
        t.ui.clear();
        EXPECT_FALSE(chooseLanguage(t.state.language, t.state.settings,
                                    t.state.locations.programFolder, t.state.ui, name));
        EXPECT_EQ(readSetting(t.state.settings, keys::kLanguage), "German.lan3");
        EXPECT_EQ(t.ui.messages().size(), 1u);
    }
}

} // namespace
