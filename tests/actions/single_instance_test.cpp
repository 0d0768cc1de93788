// Two real starts of the desktop program: the second hands its picture to the running window
// and ends; the running window opens it (seen in the recent-file record).
#include "actions/app_state.h"
#include "actions/startup.h"
#include "settings/recent_files.h"
#include "tests/support/cups_fixture.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <sys/wait.h>
#include <thread>

using testsupport::TestState;

namespace {

std::string program() {
    return std::string(PRINTCONV_BINARY_DIR) + "/bin/printconv";
}

// Waits (polling) until ready() holds; false when it does not within a generous bound.
template <typename F> bool eventually(F ready) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < end) {
        if (ready()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return ready();
}

std::string recentEntry1(TestState& ts) {
    readRecentFiles(ts.state.recent, ts.state.locations.recentFilesPath, ts.state.ui);
    return ts.state.recent.recentFiles[1];
}

} // namespace

TEST(SingleInstance, SecondStartHandsItsFileToTheRunningWindow) {
    TestState ts; // private XDG folders, inherited by both processes
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // No spooler is asked: the printer box finds nothing at once.
    setenv("CUPS_SERVER", ts.dir.file("no-cupsd.sock").c_str(), 1);
    const std::string socket = instanceSocketPath(ts.state, "Lumivane_Basic");

    const pid_t first = testsupport::startDaemon({program()}, ts.dir.file("first.log"));
    ASSERT_GT(first, 0);
    struct Stop {
        pid_t pid;
        ~Stop() { testsupport::stopProcessGroup(pid, 250); }
    } stop{first};
    ASSERT_TRUE(eventually([&] { return testsupport::fileExists(socket); }))
        << "the first window never listened; its output:\n"
        << testsupport::readFile(ts.dir.file("first.log"));
    EXPECT_EQ(recentEntry1(ts), "");

    struct Case {
        std::vector<std::string> args;
        std::string expectedEntry1;
    } cases[] = {
        {{"timeout", "60", program(), testsupport::dataFolder() + "sample-artwork.png"},
         testsupport::dataFolder() + "sample-artwork.png"},
        // Without a file the window is only raised: the record stays.
        {{"timeout", "60", program()}, testsupport::dataFolder() + "sample-artwork.png"},
    };
    // A second start that does not hand off would run a window of its own: the time limit
    // turns that into a failure rather than a hang.
    for (const Case& c : cases) {
        std::string output;
        EXPECT_EQ(testsupport::runProgram(c.args, &output), 0) << output;
        EXPECT_TRUE(eventually([&] { return recentEntry1(ts) == c.expectedEntry1; }))
            << "entry 1 is \"" << recentEntry1(ts) << "\"";
        EXPECT_EQ(::waitpid(first, nullptr, WNOHANG), 0) << "the first window ended";
    }
}
