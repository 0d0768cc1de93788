// A private CUPS scheduler for tests: its own configuration and spool under a test folder,
// listening only on a domain socket there, with libcups (and lpadmin) pointed at it; and a
// fake network printer that captures what a socket:// queue sends.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace testsupport {

// Runs argv (looked up on PATH) with stdout and stderr into *output; returns the exit status,
// or -1 when it could not be run.
int runProgram(const std::vector<std::string>& argv, std::string* output = nullptr);

// Starts argv[0] (a full path) in its own process group with stdin from /dev/null and stdout
// and stderr into outputPath; it gets SIGTERM should the test process die first. -1 on failure.
pid_t startDaemon(const std::vector<std::string>& argv, const std::string& outputPath);

// A TCP port on 127.0.0.1 (or UDP when udp) that nothing listened on a moment ago.
int freeLoopbackPort(bool udp);

class PrivateCupsd {
  public:
    // folder must exist; everything of the instance goes below folder + "/cups".
    explicit PrivateCupsd(const std::string& folder);
    ~PrivateCupsd();
    PrivateCupsd(const PrivateCupsd&) = delete;
    PrivateCupsd& operator=(const PrivateCupsd&) = delete;

    // Adds a backend script (run as root) before start; its device URIs are "name://...".
    void addBackend(const std::string& name, const std::string& script);
    // Lowest request size cupsd accepts (0 = unlimited); before start.
    void setMaxRequestSize(long bytes) { maxRequestSize_ = bytes; }

    // Writes the configuration, starts cupsd and waits (at most 10 s) until it answers; sets
    // CUPS_SERVER and cupsSetServer to its socket. False with error (and the log) otherwise.
    bool start(std::string& error);
    // Stops it (TERM, then KILL after 5 s) together with its backends.
    void stop();
    bool running() const { return pid_ > 0; }

    const std::string& socketPath() const { return socket_; }
    std::string errorLog() const;

    // lpadmin -p name -v uri [-E] [extra...]; false with lpadmin's output in error.
    bool addQueue(const std::string& name, const std::string& uri, bool enabled, std::string& error,
                  const std::vector<std::string>& extra = {});
    // lpadmin -p member -c className.
    bool addToClass(const std::string& member, const std::string& className, std::string& error);
    // Cancels every job of every queue.
    void cancelAll();

  private:
    std::string folder_;
    std::string root_;
    std::string socket_;
    long maxRequestSize_ = 0;
    std::vector<std::pair<std::string, std::string>> backends_;
    pid_t pid_ = -1;
};

// A fake printer on 127.0.0.1: every connection is read to its end and kept as one job.
class CaptureListener {
  public:
    // keepBytes false keeps only size and checksum of each job (for very large jobs).
    explicit CaptureListener(bool keepBytes = true);
    ~CaptureListener();
    CaptureListener(const CaptureListener&) = delete;
    CaptureListener& operator=(const CaptureListener&) = delete;

    bool ok() const { return fd_ >= 0; }
    int port() const { return port_; }
    // Waits until count jobs have ended or timeoutMs passed; true when they have.
    bool waitForJobs(std::size_t count, int timeoutMs);
    std::vector<std::string> jobs();
    std::vector<std::uint64_t> sizes();
    std::vector<std::uint64_t> checksums();

  private:
    void run();
    bool keepBytes_;
    int fd_ = -1;
    int port_ = 0;
    int stopPipe_[2] = {-1, -1};
    std::thread thread_;
    std::mutex m_;
    std::condition_variable cv_;
    std::vector<std::string> jobs_;
    std::vector<std::uint64_t> sizes_;
    std::vector<std::uint64_t> sums_;
};

// The checksum CaptureListener keeps: 64-bit FNV-1a over the bytes, continued from seed.
std::uint64_t fnv1a(const void* data, std::size_t size,
                    std::uint64_t seed = 14695981039346656037ull);

} // namespace testsupport
