#pragma once
// A TCP proxy on loopback that stands between a client (the ODBC driver) and a
// server (the stand-in) and injects network faults into the server's replies,
// so that tests can show what the program does when the network fails.
//
// Every connection the client opens to port() is relayed to the target port.
// Requests pass untouched; a fault armed with one of the arm... calls applies to
// the reply bytes that follow the call, on whichever connection carries them
// first, and fires once:
//   - cut after N bytes, or after N whole TDS packets: both sides of that
//     connection are closed, as when a cable is pulled or the server dies;
//   - stall S seconds before the next reply byte is passed on;
//   - flip a byte: the reply byte N bytes on is XOR-ed with a mask.
// A cut connection stays cut; connections opened afterwards relay normally.
// Everything is torn down by the destructor.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace standin {

class FaultProxy {
public:
    /// Listens on 127.0.0.1 (a free port) and relays to 127.0.0.1:targetPort.
    explicit FaultProxy(int targetPort);
    ~FaultProxy();
    FaultProxy(const FaultProxy&) = delete;
    FaultProxy& operator=(const FaultProxy&) = delete;

    int port() const { return port_; }

    /// Cuts the connection after `bytes` more reply bytes were passed on.
    void armCutAfterBytes(size_t bytes);
    /// Cuts the connection after `packets` more whole reply packets were passed on.
    void armCutAfterPackets(size_t packets);
    /// Holds the next reply bytes for `delay` before passing them on.
    void armStall(std::chrono::milliseconds delay);
    /// XORs the reply byte `offset` bytes on with `mask`.
    void armFlip(size_t offset, uint8_t mask = 0xFF);
    /// Drops whatever fault is armed and not yet fired.
    void disarm();
    /// True once the armed fault has fired (and until the next arm... call).
    bool fired() const;
    /// Client connections accepted so far.
    int connectionsAccepted() const { return accepted_.load(); }

private:
    struct Relay;
    enum class Kind { None, CutBytes, CutPackets, Stall, Flip };
    struct Fault {
        Kind kind = Kind::None;
        size_t count = 0; ///< bytes or packets to go, or the flip's offset
        std::chrono::milliseconds delay{0};
        uint8_t mask = 0;
        bool fired = false;
    };

    void acceptLoop();
    void relay(int client, int server);
    /// Passes `size` reply bytes on to `client` with the armed fault applied;
    /// false when the connection was cut.
    bool passReply(int client, uint8_t* data, size_t size, Relay& state);
    void arm(Fault fault);

    int listener_ = -1;
    int targetPort_;
    int port_ = 0;
    int wake_[2] = {-1, -1}; ///< written to on destruction, so every poll returns
    std::atomic<bool> stopping_{false};
    std::atomic<int> accepted_{0};
    mutable std::mutex mutex_;
    Fault fault_;
    std::thread acceptor_;
    std::vector<std::thread> relays_;
};

} // namespace standin
