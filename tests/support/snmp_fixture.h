// A private SNMP agent for tests: snmpd on 127.0.0.1 with its own configuration, community
// "public", answering the printer OIDs from a table the test can rewrite while it runs; and a
// TCP listener standing in for a printer's web port.
#pragma once

#include <atomic>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace testsupport {

// One answer of the agent. type is a pass type: integer, gauge, counter, timeticks, ipaddress,
// objectid, string, octet (value = space separated hex bytes). When awakeValue is set, value
// is answered before the wake-up connection and awakeValue after it.
struct SnmpAnswer {
    std::string oid;
    std::string type;
    std::string value;
    std::string awakeValue;
    bool hasAwakeValue = false;
};

class PrivateSnmpd {
  public:
    // folder must exist; the agent's files go below folder + "/snmp".
    explicit PrivateSnmpd(const std::string& folder);
    ~PrivateSnmpd();
    PrivateSnmpd(const PrivateSnmpd&) = delete;
    PrivateSnmpd& operator=(const PrivateSnmpd&) = delete;

    // Replaces the answer table (takes effect with the next request). OIDs not in the table
    // are not answered (noSuchName).
    void setAnswers(const std::vector<SnmpAnswer>& answers);
    // Marks the printer awake (answers switch to their awakeValue) or asleep.
    void setAwake(bool awake);
    // Path of the file whose existence means "awake".
    const std::string& awakeFlagPath() const { return awakeFlag_; }

    // Starts snmpd on udp:127.0.0.1:port (0 = a free port) and waits (at most 10 s) until it
    // answers. False with error and the agent's log otherwise.
    bool start(std::string& error, int port = 0);
    void stop();
    int port() const { return port_; }

  private:
    std::string root_;
    std::string awakeFlag_;
    pid_t pid_ = -1;
    int port_ = 0;
};

// Accepts TCP connections on 127.0.0.1 (a free port) and counts them; on each one it runs
// onConnect first (for example to mark an agent awake).
class WakeListener {
  public:
    explicit WakeListener(std::string flagFile = {});
    ~WakeListener();
    WakeListener(const WakeListener&) = delete;
    WakeListener& operator=(const WakeListener&) = delete;
    bool ok() const { return fd_ >= 0; }
    int port() const { return port_; }
    int connections() const { return count_.load(); }

  private:
    std::string flagFile_;
    int fd_ = -1;
    int port_ = 0;
    int stopPipe_[2] = {-1, -1};
    std::atomic<int> count_{0};
    std::thread thread_;
};

} // namespace testsupport
