#include "tests/support/snmp_fixture.h"

#include "tests/support/test_support.h"

#include "tests/support/cups_fixture.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace testsupport {

namespace fs = std::filesystem;

namespace {

// The pass_persist handler (one process for the agent's life, so nothing is cached between
// requests): answers GET from the table file; the fourth field is the answer once the awake
// flag file exists. GETNEXT and SET are not served.
const char* kPassScript = R"(#!/bin/sh
d=$(dirname "$0")
while read -r cmd; do
  case "$cmd" in
    PING) echo PONG ;;
    get)
      read -r oid
      # Always answered: the readiness probe of the test fixture.
      if [ "$oid" = ".1.3.6.1.4.1.2001.99.0" ]; then printf '%s\ninteger\n1\n' "$oid"; continue; fi
      fields=$(awk -F'|' -v o="$oid" '$1==o { print NF; exit }' "$d/table")
      # The wake-up connection may still be on its way to the listener: give it a moment.
      if [ -n "$fields" ] && [ "$fields" -ge 4 ] && [ ! -e "$d/awake" ]; then sleep 0.3; fi
      awake=0
      [ -e "$d/awake" ] && awake=1
      awk -F'|' -v o="$oid" -v w="$awake" '$1==o { v=$3; if (w==1 && NF>=4) v=$4; print $1; print $2; print v; f=1; exit } END { if (!f) print "NONE" }' "$d/table"
      ;;
    getnext) read -r oid; echo NONE ;;
    set) read -r oid; read -r value; echo not-writable ;;
    *) exit 0 ;;
  esac
done
)";

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

} // namespace

PrivateSnmpd::PrivateSnmpd(const std::string& folder) : root_(folder + "/snmp") {
    fs::create_directories(root_ + "/persist");
    awakeFlag_ = root_ + "/awake";
    std::ofstream(root_ + "/pass.sh") << kPassScript;
    fs::permissions(root_ + "/pass.sh", fs::perms::owner_all);
    setAnswers({});
}

PrivateSnmpd::~PrivateSnmpd() {
    stop();
}

void PrivateSnmpd::setAnswers(const std::vector<SnmpAnswer>& answers) {
    std::string table;
    for (const auto& a : answers) {
        table += a.oid + "|" + a.type + "|" + a.value;
        if (a.hasAwakeValue) table += "|" + a.awakeValue;
        table += "\n";
    }
    // Replaced in one step: the agent may be reading it right now.
    const std::string tmp = root_ + "/table.new";
    std::ofstream(tmp, std::ios::trunc) << table;
    fs::rename(tmp, root_ + "/table");
}

void PrivateSnmpd::setAwake(bool awake) {
    std::error_code ec;
    if (awake)
        std::ofstream(awakeFlag_) << "1";
    else
        fs::remove(awakeFlag_, ec);
}

bool PrivateSnmpd::start(std::string& error, int port) {
    port_ = port > 0 ? port : freeLoopbackPort(true);
    const std::string pass = root_ + "/pass.sh";
    // Only the printer OIDs are visible; the system group comes from the table alone (the
    // built-in one is left out with -I), so a table without sysName has none.
    const std::string conf = "view printer included .1.3.6.1.2.1.1.5\n"
                             "view printer included .1.3.6.1.4.1.2001\n"
                             "view printer included .1.3.6.1.4.1.11\n"
                             "rocommunity public 127.0.0.1 -V printer\n"
                             "pass_persist .1.3.6.1.2.1.1.5 " +
                             pass +
                             "\n"
                             "pass_persist .1.3.6.1.4.1.2001 " +
                             pass +
                             "\n"
                             "pass_persist .1.3.6.1.4.1.11 " +
                             pass + "\n";
    std::ofstream(root_ + "/snmpd.conf", std::ios::trunc) << conf;
    const std::string log = root_ + "/snmpd.log";

    ::setenv("SNMP_PERSISTENT_DIR", (root_ + "/persist").c_str(), 1);
    ::setenv("MIBS", "", 1);
    if (!fs::exists("/usr/sbin/snmpd")) {
        error = "snmpd is not installed (/usr/sbin/snmpd; package snmpd)";
        return false;
    }
    pid_ =
        startDaemon({"/usr/sbin/snmpd", "-f", "-C", "-I", "-system_mib", "-c",
                     root_ + "/snmpd.conf", "-Lf", log, "udp:127.0.0.1:" + std::to_string(port_)},
                    root_ + "/snmpd.out");
    if (pid_ < 0) {
        error = "snmpd could not be started";
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    const std::string peer = "127.0.0.1:" + std::to_string(port_);
    while (true) {
        std::string out;
        int st = runProgram({"snmpget", "-v1", "-c", "public", "-t", "0.2", "-r", "0", "-On", peer,
                             ".1.3.6.1.4.1.2001.99.0"},
                            &out);
        if (st == 0 && out.find("INTEGER") != std::string::npos) return true;
        if (st == -1) {
            stop();
            error = "snmpget could not be run (is the snmp package installed?)";
            return false;
        }
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            error = "snmpd exited at start:\n" + slurp(log);
            return false;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            stop();
            error = "snmpd did not answer within 10 s:\n" + slurp(log);
            return false;
        }
        ::usleep(50000);
    }
}

void PrivateSnmpd::stop() {
    if (pid_ <= 0) return;
    stopProcessGroup(pid_, 150);
    pid_ = -1;
}

WakeListener::WakeListener(std::string flagFile) : flagFile_(std::move(flagFile)) {
    if (::pipe2(stopPipe_, O_CLOEXEC) != 0) return;
    int port = 0;
    fd_ = listenOnLoopback(port);
    if (fd_ < 0) return;
    port_ = port;
    thread_ = std::thread([this] {
        while (true) {
            pollfd p[2] = {{fd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
            if (::poll(p, 2, -1) < 0) continue;
            if (p[1].revents) return;
            int c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0) continue;
            if (!flagFile_.empty()) std::ofstream(flagFile_) << "1";
            ++count_;
            ::close(c);
        }
    });
}

WakeListener::~WakeListener() {
    if (stopPipe_[1] >= 0) {
        char c = 'x';
        (void)!::write(stopPipe_[1], &c, 1);
    }
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) ::close(fd_);
    for (int f : stopPipe_)
        if (f >= 0) ::close(f);
}

} // namespace testsupport
