// Shared fixtures of the test programs.
#pragma once

#include "actions/app_state.h"
#include "core/ui.h"

#include <cstdint>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>
#include <string>
#include <vector>

namespace testsupport {

// One call the program made on the seam.
struct UiCall {
    std::string kind; // "message", "question", "status", "progress"
    MessageIcon icon = MessageIcon::None;
    std::string caption;
    std::string text;
    int value = 0;
};

// Records every call; questions answer `answerOk`.
struct RecordingUserInterface : UserInterface {
    std::vector<UiCall> calls;
    bool answerOk = true;
    void showMessage(MessageIcon icon, const std::string& caption,
                     const std::string& text) override;
    bool askOkCancel(const std::string& caption, const std::string& text) override;
    void showStatus(const std::string& text) override;
    void showProgress(int percent) override;
    std::vector<UiCall> messages() const; // only the message boxes
    void clear() { calls.clear(); }
};

// A fresh folder under $TMPDIR, removed with everything in it on destruction.
struct TempDir {
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string path; // no trailing '/'
    std::string file(const std::string& name) const { return path + "/" + name; }
};

// An AppState with its own XDG folders in a temporary folder, the build tree's data folder
// as programFolder, the built-in texts and a recording seam.
struct TestState {
    TestState();
    ~TestState();
    TempDir dir;
    RecordingUserInterface ui;
    AppState state;
};

// The build tree's data folder (generated profiles, language files, samples), with '/'.
std::string dataFolder();
// The source tree's root, without '/'.
std::string sourceFolder();

// Bytes of a number appended in big- or little-endian order (file fixtures).
void be16(std::string& s, std::uint32_t v);
void be32(std::string& s, std::uint32_t v);
void le16(std::string& s, std::uint32_t v);
void le32(std::string& s, std::uint32_t v);

// Ends the process group of a service started by a test: SIGTERM, up to tries x 20 ms for
// it to go, then SIGKILL. Returns true when it ended on SIGTERM.
bool stopProcessGroup(int pid, int tries);

// Sets an environment variable for the life of this object, then restores it.
struct ScopedEnv {
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    std::string name, saved;
    bool wasSet = false;
};

// Process ids of the running processes whose command line holds text.
std::vector<int> processesWithArgument(const std::string& text);

// Runs body in a forked child and returns its exit status (the child's failures show as
// non-zero codes; a child ended by a signal gives 100).
template <typename F> int inChild(F body) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

// A listening TCP socket on 127.0.0.1 at a free port (stored in port); -1 on failure.
int listenOnLoopback(int& port);

// The result of running the command-line tool.
struct CliRun {
    int code = -1;
    std::string out;
    std::string err;
};
// Runs bin/printconv-cli with args (a shell command line tail) under the environment of the
// test (its XDG folders); env is prefixed to the command ("NAME=value ...").
CliRun runCli(const TempDir& dir, const std::string& args, const std::string& env = {});

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);

} // namespace testsupport

namespace testsupport {
// Chooses the medium named by its label (or built-in English name) the way the media box
// does, filling the media list for the state's printer first. A name the list does not hold
// leaves no known medium chosen (identity 0) with that text shown.
void setMedium(AppState& state, std::string_view name);
} // namespace testsupport

namespace testsupport {
// Runs harness over every file of fuzz/corpus/NAME in name order (a fuzz harness's own checks
// trap on a fault); fails when the corpus holds fewer than minFiles files.
void replayCorpus(const std::string& name, int (*harness)(const std::uint8_t*, std::size_t),
                  std::size_t minFiles = 1);
} // namespace testsupport
