#include "standin/tds/Socket.h"

#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>

namespace standin::tds {

size_t SocketSource::receive(uint8_t* data, size_t size) {
    for (;;) {
        const ssize_t n = ::recv(fd_, data, size, 0);
        if (n >= 0)
            return static_cast<size_t>(n);
        if (errno == EINTR)
            continue;
        if (errno == ECONNRESET)
            return 0;
        throw std::runtime_error(std::string("receive failed: ") + std::strerror(errno));
    }
}

void SocketSink::send(const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd_, data, size, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw std::runtime_error(std::string("send failed: ") + std::strerror(errno));
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
}

void tuneServedSocket(int fd) {
    int sendBuffer = 4 << 20;
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

} // namespace standin::tds
