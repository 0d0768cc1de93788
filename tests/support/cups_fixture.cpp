#include "tests/support/cups_fixture.h"

#include "tests/support/test_support.h"

#include <cups/cups.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace testsupport {

namespace fs = std::filesystem;

int runProgram(const std::vector<std::string>& argv, std::string* output) {
    int pipeFd[2];
    if (::pipe2(pipeFd, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFd[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeFd[1], 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFd[1]);
    std::string out;
    if (rc == 0) {
        char buf[4096];
        ssize_t n;
        while ((n = ::read(pipeFd[0], buf, sizeof buf)) > 0)
            out.append(buf, static_cast<std::size_t>(n));
    }
    ::close(pipeFd[0]);
    if (output) *output = out;
    if (rc != 0) return -1;
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

pid_t startDaemon(const std::vector<std::string>& argv, const std::string& outputPath) {
    // Everything the child needs is prepared before fork: between fork and exec it may only
    // make async-signal-safe calls.
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        ::setpgid(0, 0);
        // A crashed or killed test must not leave its daemons behind.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) ::_exit(127);
        int in = ::open("/dev/null", O_RDONLY);
        int out = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0) ::_exit(127);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(out, 2);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    return pid;
}

int freeLoopbackPort(bool udp) {
    int fd = ::socket(AF_INET, udp ? SOCK_DGRAM : SOCK_STREAM, 0);
    if (fd < 0) return 0;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

namespace {

void writeText(const std::string& path, const std::string& text, fs::perms mode) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    fs::permissions(path, mode);
}

bool answers(const std::string& socket) {
    http_t* http =
        httpConnect2(socket.c_str(), 0, nullptr, AF_UNSPEC, HTTP_ENCRYPTION_NEVER, 1, 500, nullptr);
    if (!http) return false;
    ipp_t* response = cupsDoRequest(http, ippNewRequest(IPP_OP_CUPS_GET_DEFAULT), "/");
    bool ok = response != nullptr;
    ippDelete(response);
    httpClose(http);
    return ok;
}

} // namespace

PrivateCupsd::PrivateCupsd(const std::string& folder) : folder_(folder), root_(folder + "/cups") {
    socket_ = root_ + "/run/cups.sock";
}

PrivateCupsd::~PrivateCupsd() {
    stop();
}

void PrivateCupsd::addBackend(const std::string& name, const std::string& script) {
    backends_.emplace_back(name, script);
}

std::string PrivateCupsd::errorLog() const {
    std::ifstream in(root_ + "/log/error_log");
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool PrivateCupsd::start(std::string& error) {
    const std::string& d = root_;
    std::error_code ec;
    for (const char* sub :
         {"etc/ppd", "etc/ssl", "spool/tmp", "cache", "state/certs", "log", "run", "bin/backend"})
        fs::create_directories(d + "/" + sub, ec);
    for (const char* f : {"raw.types", "raw.convs"}) {
        fs::copy_file(std::string("/etc/cups/") + f, d + "/etc/" + f,
                      fs::copy_options::overwrite_existing, ec);
        if (ec) {
            error = std::string("cannot copy /etc/cups/") + f + ": " + ec.message();
            return false;
        }
    }
    // A private ServerBin: the system's filters and backends plus the test's own backends.
    for (const auto& e : fs::directory_iterator("/usr/lib/cups", ec)) {
        const std::string name = e.path().filename().string();
        if (name == "backend") continue;
        fs::create_symlink(e.path(), d + "/bin/" + name, ec);
    }
    for (const auto& e : fs::directory_iterator("/usr/lib/cups/backend", ec))
        fs::create_symlink(e.path(), d + "/bin/backend/" + e.path().filename().string(), ec);
    for (const auto& [name, script] : backends_)
        writeText(d + "/bin/backend/" + name, script, fs::perms::owner_all);

    writeText(d + "/etc/cups-files.conf",
              "ServerRoot " + d + "/etc\nRequestRoot " + d + "/spool\nTempDir " + d +
                  "/spool/tmp\nCacheDir " + d + "/cache\nStateDir " + d +
                  "/state\nServerKeychain " + d + "/etc/ssl\nServerBin " + d +
                  "/bin\nDataDir /usr/share/cups\nDocumentRoot /usr/share/cups/doc-root\n"
                  "ErrorLog " +
                  d + "/log/error_log\nAccessLog " + d + "/log/access_log\nPageLog " + d +
                  "/log/page_log\nPrintcap " + d +
                  "/etc/printcap\nUser lp\nGroup lp\nSystemGroup root\nFileDevice Yes\n",
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);
    std::string conf = "Listen " + socket_ +
                       "\nLogLevel debug\nBrowsing No\nBrowseLocalProtocols none\n"
                       "WebInterface No\nDefaultAuthType None\nMaxJobs 0\n"
                       "PreserveJobHistory Yes\nJobRetryInterval 1\n";
    if (maxRequestSize_ > 0) conf += "MaxRequestSize " + std::to_string(maxRequestSize_) + "\n";
    conf += "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
            "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n";
    writeText(d + "/etc/cupsd.conf", conf,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);
    // Backends run as lp: they must reach the spooled files.
    const auto open = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                      fs::perms::others_read | fs::perms::others_exec;
    ::chmod(folder_.c_str(), 0755);
    ::chmod(d.c_str(), 0755);
    fs::permissions(d + "/spool", open, ec);
    fs::permissions(d + "/spool/tmp", fs::perms::all | fs::perms::sticky_bit, ec);

    const std::string cupsdConf = d + "/etc/cupsd.conf", filesConf = d + "/etc/cups-files.conf";
    const std::string outLog = d + "/log/cupsd.out";
    if (!fs::exists("/usr/sbin/cupsd")) {
        error = "cupsd is not installed (/usr/sbin/cupsd; packages cups, cups-daemon)";
        return false;
    }
    pid_ = startDaemon({"/usr/sbin/cupsd", "-f", "-c", cupsdConf, "-s", filesConf}, outLog);
    if (pid_ < 0) {
        error = "cupsd could not be started";
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!answers(socket_)) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            error = "cupsd exited at start:\n" + errorLog();
            return false;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            stop();
            error = "cupsd did not answer within 10 s:\n" + errorLog();
            return false;
        }
        ::usleep(20000);
    }
    ::setenv("CUPS_SERVER", socket_.c_str(), 1);
    cupsSetServer(socket_.c_str());
    return true;
}

void PrivateCupsd::stop() {
    if (pid_ <= 0) return;
    // Backends may still be retrying after the scheduler has gone.
    if (stopProcessGroup(pid_, 250)) ::kill(-pid_, SIGKILL);
    pid_ = -1;
}

bool PrivateCupsd::addQueue(const std::string& name, const std::string& uri, bool enabled,
                            std::string& error, const std::vector<std::string>& extra) {
    std::vector<std::string> argv{"lpadmin", "-h", socket_, "-p", name, "-v", uri};
    if (enabled) argv.push_back("-E");
    argv.insert(argv.end(), extra.begin(), extra.end());
    std::string out;
    int rc = runProgram(argv, &out);
    if (rc != 0) error = "lpadmin -p " + name + " -v " + uri + ": " + out;
    return rc == 0;
}

bool PrivateCupsd::addToClass(const std::string& member, const std::string& className,
                              std::string& error) {
    std::string out;
    int rc = runProgram({"lpadmin", "-h", socket_, "-p", member, "-c", className}, &out);
    if (rc != 0) error = "lpadmin -c " + className + ": " + out;
    return rc == 0;
}

void PrivateCupsd::cancelAll() {
    runProgram({"cancel", "-h", socket_, "-a"}, nullptr);
}

std::uint64_t fnv1a(const void* data, std::size_t size, std::uint64_t seed) {
    const auto* p = static_cast<const unsigned char*>(data);
    std::uint64_t h = seed;
    for (std::size_t i = 0; i < size; ++i) {
        h ^= p[i];
        h *= 1099511628211ull;
    }
    return h;
}

CaptureListener::CaptureListener(bool keepBytes) : keepBytes_(keepBytes) {
    if (::pipe2(stopPipe_, O_CLOEXEC) != 0) return;
    int port = 0;
    fd_ = listenOnLoopback(port);
    if (fd_ < 0) return;
    port_ = port;
    thread_ = std::thread([this] { run(); });
}

CaptureListener::~CaptureListener() {
    if (stopPipe_[1] >= 0) {
        char c = 'x';
        (void)!::write(stopPipe_[1], &c, 1);
    }
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) ::close(fd_);
    for (int f : stopPipe_)
        if (f >= 0) ::close(f);
}

void CaptureListener::run() {
    std::vector<char> buf(1 << 20);
    while (true) {
        pollfd p[2] = {{fd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (::poll(p, 2, -1) < 0) continue;
        if (p[1].revents) return;
        int c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (c < 0) continue;
        std::string bytes;
        std::uint64_t size = 0, sum = 14695981039346656037ull;
        // The socket backend half-closes after the job: read to the end, then close.
        while (true) {
            pollfd q[2] = {{c, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
            if (::poll(q, 2, -1) < 0) continue;
            if (q[1].revents) {
                ::close(c);
                return;
            }
            ssize_t n = ::read(c, buf.data(), buf.size());
            if (n <= 0) break;
            size += static_cast<std::uint64_t>(n);
            sum = fnv1a(buf.data(), static_cast<std::size_t>(n), sum);
            if (keepBytes_) bytes.append(buf.data(), static_cast<std::size_t>(n));
        }
        ::close(c);
        std::lock_guard<std::mutex> lock(m_);
        jobs_.push_back(std::move(bytes));
        sizes_.push_back(size);
        sums_.push_back(sum);
        cv_.notify_all();
    }
}

bool CaptureListener::waitForJobs(std::size_t count, int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                        [&] { return jobs_.size() >= count; });
}

std::vector<std::string> CaptureListener::jobs() {
    std::lock_guard<std::mutex> lock(m_);
    return jobs_;
}
std::vector<std::uint64_t> CaptureListener::sizes() {
    std::lock_guard<std::mutex> lock(m_);
    return sizes_;
}
std::vector<std::uint64_t> CaptureListener::checksums() {
    std::lock_guard<std::mutex> lock(m_);
    return sums_;
}

} // namespace testsupport
