#include "actions/help.h"

#include "actions/app_state.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

// A program folder holding the chosen help pages.
struct HelpFolder {
    TempDir dir;
    AppState state;
    HelpFolder(bool english, bool german) {
        state.locations.programFolder = dir.path + "/";
        if (english) writeFile(state.locations.programFolder + kHelpPageEnglish, "en");
        if (german) writeFile(state.locations.programFolder + kHelpPageGerman, "de");
    }
    std::string english() const { return state.locations.programFolder + kHelpPageEnglish; }
    std::string german() const { return state.locations.programFolder + kHelpPageGerman; }
};

TEST(HelpFile, EnglishWithoutALanguageFile) {
    HelpFolder f(true, true);
    EXPECT_EQ(helpFilePath(f.state), f.english());
}

TEST(HelpFile, GermanForGermanLanguageFilesInAnyCase) {
    HelpFolder f(true, true);
    for (const char* name : {"German.lan3", "german.lan3", "GERMAN.LAN3", "German"}) {
        f.state.language.languageFile = name;
        EXPECT_EQ(helpFilePath(f.state), f.german()) << name;
    }
}

TEST(HelpFile, EnglishForEveryOtherLanguage) {
    HelpFolder f(true, true);
    for (const char* name : {"English.lan3", "Deutsch.lan3", "Swiss German.lan3", "Germ.lan3"}) {
        f.state.language.languageFile = name;
        EXPECT_EQ(helpFilePath(f.state), f.english()) << name;
    }
}

TEST(HelpFile, EnglishWhenTheGermanPageIsMissing) {
    HelpFolder f(true, false);
    f.state.language.languageFile = "German.lan3";
    EXPECT_EQ(helpFilePath(f.state), f.english());
}

TEST(HelpFile, EnglishPathEvenWhenNoPageIsInstalled) {
    HelpFolder f(false, false);
    f.state.language.languageFile = "German.lan3";
    EXPECT_EQ(helpFilePath(f.state), f.english());
}

// The section anchors of a page, which the contents list links to.
std::set<std::string> anchors(const std::string& page) {
    std::set<std::string> ids;
    static const std::regex id(R"re(id="([^"]+)")re");
    for (std::sregex_iterator it(page.begin(), page.end(), id), end; it != end; ++it)
        ids.insert((*it)[1]);
    return ids;
}

TEST(HelpPages, BothLanguagesShipWithTheSameSections) {
    AppState s;
    s.locations.programFolder = testsupport::dataFolder();
    s.language.languageFile = "German.lan3";
    const std::string de = readFile(helpFilePath(s));
    s.language.languageFile = "English.lan3";
    const std::string en = readFile(helpFilePath(s));
    ASSERT_NE(de.find("<html lang=\"de\">"), std::string::npos) << "German page in the build tree";
    ASSERT_NE(en.find("<html lang=\"en\">"), std::string::npos) << "English page in the build tree";
    EXPECT_NE(en.find("<title>Lumivane Basic Help</title>"), std::string::npos);
    const std::set<std::string> sections = anchors(en);
    EXPECT_GE(sections.size(), 16u);
    EXPECT_EQ(anchors(de), sections);
    for (const std::string& page : {en, de})
        for (const std::string& section : sections)
            EXPECT_NE(page.find("href=\"#" + section + "\""), std::string::npos) << section;
}

TEST(HelpPages, NeedNothingFromOutside) {
    // Opened from disk, often without a network: every style is inline, nothing is fetched.
    for (const char* name : {kHelpPageEnglish, kHelpPageGerman}) {
        const std::string page = readFile(testsupport::dataFolder() + name);
        ASSERT_FALSE(page.empty()) << name;
        for (const char* fetch : {"src=", "<link", "url(", "@import", "<script"})
            EXPECT_EQ(page.find(fetch), std::string::npos) << name << ": " << fetch;
    }
}

TEST(DesktopId, NamesTheShippedEntryIconAndRecord) {
    const std::string id = kDesktopFileId;
    const std::string folder = testsupport::sourceFolder() + "/data/desktop/";
    const std::string entry = readFile(folder + id + ".desktop");
    EXPECT_NE(entry.find("\nIcon=" + id + "\n"), std::string::npos);
    EXPECT_FALSE(readFile(folder + id + ".svg").empty());
    const std::string record = readFile(folder + id + ".metainfo.xml");
    EXPECT_NE(record.find("<id>" + id + "</id>"), std::string::npos);
    EXPECT_NE(record.find("<launchable type=\"desktop-id\">" + id + ".desktop</launchable>"),
              std::string::npos);
}

TEST(DesktopId, ProgramIconInTheDataFolder) {
    // PNG signature, then the IHDR chunk with width and height as 32-bit big-endian numbers.
    const std::string png = readFile(testsupport::dataFolder() + kProgramIconFile);
    ASSERT_GE(png.size(), 24u);
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(png.substr(12, 12), std::string("IHDR\0\0\0\x80\0\0\0\x80", 12));
}

} // namespace
