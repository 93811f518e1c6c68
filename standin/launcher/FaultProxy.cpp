#include "standin/launcher/FaultProxy.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace standin {

namespace {

constexpr size_t kTdsHeaderSize = 8;

int loopbackSocket() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("fault proxy: socket() failed");
    return fd;
}

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool sendAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace

/// Where the reply stream of one connection stands in its TDS packets.
struct FaultProxy::Relay {
    uint8_t header[kTdsHeaderSize] = {};
    size_t headerFill = 0;
    size_t bodyLeft = 0;
};

FaultProxy::FaultProxy(int targetPort) : targetPort_(targetPort) {
    listener_ = loopbackSocket();
    const int yes = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address = loopback(0);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 16) != 0) {
        ::close(listener_);
        throw std::runtime_error("fault proxy: cannot listen on loopback");
    }
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    if (::pipe2(wake_, O_CLOEXEC) != 0) {
        ::close(listener_);
        throw std::runtime_error("fault proxy: pipe() failed");
    }
    acceptor_ = std::thread([this] { acceptLoop(); });
}

FaultProxy::~FaultProxy() {
    stopping_ = true;
    const char wake = 1;
    [[maybe_unused]] ssize_t ignored = ::write(wake_[1], &wake, 1);
    acceptor_.join();
    std::vector<std::thread> relays;
    {
        std::lock_guard lock(mutex_);
        relays.swap(relays_);
    }
    for (auto& t : relays)
        t.join();
    ::close(listener_);
    ::close(wake_[0]);
    ::close(wake_[1]);
}

void FaultProxy::arm(Fault fault) {
    std::lock_guard lock(mutex_);
    fault_ = fault;
}

void FaultProxy::armCutAfterBytes(size_t bytes) {
    arm({Kind::CutBytes, bytes, {}, 0, false});
}
void FaultProxy::armCutAfterPackets(size_t packets) {
    arm({Kind::CutPackets, packets, {}, 0, false});
}
void FaultProxy::armStall(std::chrono::milliseconds delay) {
    arm({Kind::Stall, 0, delay, 0, false});
}
void FaultProxy::armFlip(size_t offset, uint8_t mask) {
    arm({Kind::Flip, offset, {}, mask, false});
}
void FaultProxy::disarm() {
    arm({});
}
bool FaultProxy::fired() const {
    std::lock_guard lock(mutex_);
    return fault_.fired;
}

void FaultProxy::acceptLoop() {
    while (!stopping_) {
        pollfd fds[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (stopping_ || fds[1].revents)
            return;
        if (!(fds[0].revents & POLLIN))
            continue;
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        const int server = loopbackSocket();
        sockaddr_in target = loopback(targetPort_);
        if (::connect(server, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
            ::close(server);
            ::close(client);
            continue;
        }
        const int yes = 1;
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        ::setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        ++accepted_;
        std::lock_guard lock(mutex_);
        relays_.emplace_back([this, client, server] { relay(client, server); });
    }
}

void FaultProxy::relay(int client, int server) {
    Relay state;
    uint8_t buffer[16384];
    bool open = true;
    while (open && !stopping_) {
        pollfd fds[3] = {{client, POLLIN, 0}, {server, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[2].revents)
            break;
        if (fds[0].revents) {
            const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            open = n > 0 && sendAll(server, buffer, static_cast<size_t>(n));
        }
        if (open && fds[1].revents) {
            const ssize_t n = ::recv(server, buffer, sizeof buffer, 0);
            open = n > 0 && passReply(client, buffer, static_cast<size_t>(n), state);
        }
    }
    // A cut: both peers see the connection end at once.
    ::shutdown(client, SHUT_RDWR);
    ::shutdown(server, SHUT_RDWR);
    ::close(client);
    ::close(server);
}

bool FaultProxy::passReply(int client, uint8_t* data, size_t size, Relay& state) {
    // How many bytes of this chunk go out before a cut; size means no cut in it.
    size_t cutAt = size;
    std::chrono::milliseconds stall{0};
    {
        std::lock_guard lock(mutex_);
        Fault& f = fault_;
        if (f.kind == Kind::Stall && !f.fired) {
            stall = f.delay;
            f.fired = true;
        } else if (f.kind == Kind::Flip && !f.fired) {
            if (f.count < size) {
                data[f.count] ^= f.mask;
                f.fired = true;
            } else {
                f.count -= size;
            }
        } else if (f.kind == Kind::CutBytes && !f.fired) {
            if (f.count <= size) {
                cutAt = f.count;
                f.fired = true;
            } else {
                f.count -= size;
            }
        } else if (f.kind == Kind::CutPackets && !f.fired && f.count == 0) {
            cutAt = 0;
            f.fired = true;
        } else if (f.kind == Kind::CutPackets && !f.fired) {
            // Walk the packet headers to find where the Nth whole packet ends.
            for (size_t i = 0; i < size && !f.fired;) {
                if (state.headerFill < kTdsHeaderSize) {
                    state.header[state.headerFill++] = data[i++];
                    if (state.headerFill == kTdsHeaderSize) {
                        const size_t length = size_t{state.header[2]} << 8 | state.header[3];
                        state.bodyLeft = length > kTdsHeaderSize ? length - kTdsHeaderSize : 0;
                    }
                } else {
                    const size_t take = std::min(state.bodyLeft, size - i);
                    state.bodyLeft -= take;
                    i += take;
                }
                if (state.headerFill == kTdsHeaderSize && state.bodyLeft == 0) {
                    state.headerFill = 0;
                    if (--f.count == 0) {
                        cutAt = i;
                        f.fired = true;
                    }
                }
            }
        }
    }
    if (stall.count() > 0) {
        // Hold the reply, but give up at once when the proxy is torn down.
        pollfd wake{wake_[0], POLLIN, 0};
        ::poll(&wake, 1, static_cast<int>(stall.count()));
        if (stopping_)
            return false;
    }
    if (!sendAll(client, data, cutAt))
        return false;
    return cutAt == size;
}

} // namespace standin
