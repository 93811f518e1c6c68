#pragma once
// A stand-in server run as a child process for the length of a test or benchmark.
//
// The constructor starts the program with "--port 0", waits for its one line
// "listening on HOST:PORT" and keeps the port; the destructor sends SIGTERM and
// reaps the child, so a test that throws still leaves no server behind.
#include <chrono>
#include <string>
#include <vector>

namespace standin {

class StandinProcess {
public:
    /// Starts the stand-in with the given extra arguments (for example {"--seed", "demo"}).
    /// The program is $VELKIN_STANDIN when set, else the one this build produced.
    /// Throws std::runtime_error when it does not come up within the wait.
    explicit StandinProcess(std::vector<std::string> extraArgs = {},
                            std::chrono::seconds wait = std::chrono::seconds(60));
    ~StandinProcess();
    StandinProcess(const StandinProcess&) = delete;
    StandinProcess& operator=(const StandinProcess&) = delete;

    const std::string& host() const { return host_; }
    int port() const { return port_; }
    /// "HOST,PORT", the form an OLE DB "Data Source" takes.
    std::string dataSource() const;
    /// Stops the server now (SIGTERM, then SIGKILL after a grace period).
    void stop();

private:
    int pid_ = -1;
    std::string host_;
    int port_ = 0;
};

} // namespace standin
