#include "tests/support/test_support.h"

#include "model/media.h"

#include "core/folders.h"
#include "core/texts.h"
#include "model/media.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

void RecordingUserInterface::showMessage(MessageIcon icon, const std::string& caption,
                                         const std::string& text) {
    calls.push_back({"message", icon, caption, text, 0});
}
bool RecordingUserInterface::askOkCancel(const std::string& caption, const std::string& text) {
    calls.push_back({"question", MessageIcon::Question, caption, text, 0});
    return answerOk;
}
void RecordingUserInterface::showStatus(const std::string& text) {
    calls.push_back({"status", MessageIcon::None, {}, text, 0});
}
void RecordingUserInterface::showProgress(int percent) {
    calls.push_back({"progress", MessageIcon::None, {}, {}, percent});
}
std::vector<UiCall> RecordingUserInterface::messages() const {
    std::vector<UiCall> out;
    for (const auto& c : calls)
        if (c.kind == "message") out.push_back(c);
    return out;
}

TempDir::TempDir() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/printconv-test-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
    path = buf.data();
}
TempDir::~TempDir() {
    std::error_code ec;
    // Make everything writable again so read-only fixtures do not survive the test.
    for (auto it = std::filesystem::recursive_directory_iterator(path, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(path, ec);
}

TestState::TestState() {
    std::filesystem::create_directories(dir.file("config"));
    std::filesystem::create_directories(dir.file("xdg"));
    std::filesystem::create_directories(dir.file("run"));
    setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1);
    setenv("XDG_CONFIG_DIRS", dir.file("xdg").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", dir.file("run").c_str(), 1);
    state.ui = &ui;
    resolveFolders(state.locations);
    state.locations.programFolder = dataFolder();
    loadBuiltInTexts(state.language);
}
TestState::~TestState() = default;

std::string dataFolder() {
    return std::string(PRINTCONV_BINARY_DIR) + "/share/lumivane-basic/";
}
std::string sourceFolder() {
    return PRINTCONV_SOURCE_DIR;
}

void be16(std::string& s, std::uint32_t v) {
    s += static_cast<char>(v >> 8 & 0xFF);
    s += static_cast<char>(v & 0xFF);
}
void be32(std::string& s, std::uint32_t v) {
    be16(s, v >> 16);
    be16(s, v & 0xFFFF);
}
void le16(std::string& s, std::uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8 & 0xFF);
}
void le32(std::string& s, std::uint32_t v) {
    le16(s, v & 0xFFFF);
    le16(s, v >> 16);
}

bool stopProcessGroup(int pid, int tries) {
    if (pid <= 0) return true;
    ::kill(-pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < tries; ++i) {
        if (::waitpid(pid, &status, WNOHANG) == pid) return true;
        ::usleep(20000);
    }
    ::kill(-pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return false;
}

int listenOnLoopback(int& port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 8) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(a.sin_port);
    return fd;
}

CliRun runCli(const TempDir& dir, const std::string& args, const std::string& env) {
    const std::string errFile = dir.file("cli-stderr.txt");
    const std::string cmd = env + (env.empty() ? "" : " ") + std::string(PRINTCONV_BINARY_DIR) +
                            "/bin/printconv-cli " + args + " 2>" + errFile;
    CliRun r;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        r.out.append(buf, n);
    int status = ::pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = readFile(errFile);
    return r;
}

ScopedEnv::ScopedEnv(const char* n, const std::string& value) : name(n) {
    const char* old = std::getenv(n);
    wasSet = old != nullptr;
    if (old) saved = old;
    setenv(n, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (wasSet)
        setenv(name.c_str(), saved.c_str(), 1);
    else
        unsetenv(name.c_str());
}

std::vector<int> processesWithArgument(const std::string& text) {
    std::vector<int> pids;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string name = e.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        if (readFile(e.path().string() + "/cmdline").find(text) != std::string::npos)
            pids.push_back(std::stoi(name));
    }
    return pids;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}
void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}
bool fileExists(const std::string& path) {
    return std::filesystem::exists(path);
}

} // namespace testsupport

namespace testsupport {
void setMedium(AppState& state, std::string_view name) {
    fillMediaList(state.target, state.language, state.page);
    const int id = findMedium(state.page, state.language, name);
    if (id != 0) {
        selectMedium(state.page, id);
        return;
    }
    // Rules are also tested for media the list does not offer this printer.
    for (int u = 1; u <= 3; ++u)
        if (name == mediaLabel(state.language, kUserTypeMedia + u)) {
            state.page.mediaId = kUserTypeMedia + u;
            return;
        }
    for (int n = 101; n < 200 && !name.empty(); ++n)
        if (text(state.language, n) == name || builtInText(n) == name) {
            state.page.mediaId = n;
            return;
        }
    state.page.mediaId = 0;
}
} // namespace testsupport

namespace testsupport {
void replayCorpus(const std::string& name, int (*harness)(const std::uint8_t*, std::size_t),
                  std::size_t minFiles) {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& e :
         std::filesystem::directory_iterator(sourceFolder() + "/fuzz/corpus/" + name, ec))
        if (e.is_regular_file()) files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    ASSERT_GE(files.size(), minFiles) << "no corpus for " << name;
    for (const auto& f : files) {
        SCOPED_TRACE(f);
        const std::string bytes = readFile(f);
        harness(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
}
} // namespace testsupport
