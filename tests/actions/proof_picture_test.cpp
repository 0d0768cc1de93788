// The proof of the current settings: refused without a picture or Ghostscript, else a PNG.
#include "actions/proof_picture.h"

#include "actions/app_state.h"
#include "core/texts.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using testsupport::TestState;

namespace {

// PATH for the length of a scope.
struct PathScope {
    std::string saved = std::getenv("PATH") ? std::getenv("PATH") : "";
    explicit PathScope(const std::string& path) { setenv("PATH", path.c_str(), 1); }
    ~PathScope() { setenv("PATH", saved.c_str(), 1); }
};

int messagesSaying(const TestState& ts, const std::string& text) {
    int n = 0;
    for (const auto& call : ts.ui.messages())
        if (call.text == text) ++n;
    return n;
}

void loadSample(TestState& ts) {
    setUpMainWindow(ts.state);
    ASSERT_EQ(openImage(ts.state, testsupport::dataFolder() + "sample-artwork.png"),
              ActionResult::Done);
}

} // namespace

TEST(ProofPicture, NeedsAPictureAndGhostscript) {
    struct Case {
        bool loaded;
        bool ghostscript;
        ActionResult result;
        const char* message;
    } cases[] = {
        {false, true, ActionResult::Nothing, kProofNeedsPicture},
        {false, false, ActionResult::Nothing, kProofNeedsPicture},
        {true, false, ActionResult::Failed, kProofNeedsGhostscript},
    };
    for (const Case& c : cases) {
        TestState ts;
        if (c.loaded) loadSample(ts);
        const std::string png = ts.dir.file("proof.png");
        PathScope path(c.ghostscript ? std::string(std::getenv("PATH")) : ts.dir.path);
        EXPECT_EQ(makeProofPicture(ts.state, png), c.result);
        EXPECT_EQ(messagesSaying(ts, c.message), 1) << c.message;
        EXPECT_FALSE(testsupport::fileExists(png));
    }
}

TEST(ProofPicture, RendersTheLoadedPictureToAPng) {
    TestState ts;
    loadSample(ts);
    const std::string png = ts.dir.file("proof.png");
    ts.ui.clear();
    ASSERT_EQ(makeProofPicture(ts.state, png), ActionResult::Done);
    EXPECT_TRUE(ts.ui.messages().empty());
    // The long work was shown, and the picture is still the loaded one afterwards.
    std::vector<std::string> statuses;
    for (const auto& call : ts.ui.calls)
        if (call.kind == "status") statuses.push_back(call.text);
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses.front(), text(ts.state.language, kStatusCreatingPrint));
    EXPECT_EQ(statuses.back(), text(ts.state.language, kStatusLoaded));
    EXPECT_EQ(ts.state.window.statusText, text(ts.state.language, kStatusLoaded));
    EXPECT_EQ(ts.state.picture.imageLoaded, 1);
    EXPECT_EQ(testsupport::readFile(png).substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
}

// The window's proof lives in a private temporary folder of the program's own (removed on
// Ctrl-C or SIGTERM as well), which goes with the picture; no folder means no proof.
TEST(ProofPicture, WindowPictureInAFolderOfItsOwn) {
    TestState ts;
    loadSample(ts);
    const std::string tmp = ts.dir.file("tmp");
    std::filesystem::create_directory(tmp);
    {
        testsupport::ScopedEnv scope("TMPDIR", tmp);
        ProofPicture picture;
        ASSERT_EQ(picture.make(ts.state), ActionResult::Done);
        const std::filesystem::path png(picture.path());
        EXPECT_EQ(png.parent_path().parent_path(), std::filesystem::path(tmp));
        EXPECT_EQ(png.parent_path().filename().string().rfind("printconv-proof-", 0), 0u);
        EXPECT_EQ(testsupport::readFile(picture.path()).substr(0, 4), "\x89PNG");
    }
    EXPECT_TRUE(std::filesystem::is_empty(tmp));
    testsupport::ScopedEnv missing("TMPDIR", ts.dir.file("missing"));
    ProofPicture none;
    ts.ui.clear();
    EXPECT_EQ(none.make(ts.state), ActionResult::Failed);
    EXPECT_EQ(ts.ui.messages().size(), 1u);
    EXPECT_TRUE(none.path().empty());
}
