#include "standin/launcher/SilentListener.h"

#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace standin {

SilentListener::SilentListener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    // The backlog holds every login a test or benchmark leaves waiting.
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd_, 16) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        const std::string reason = std::strerror(errno);
        if (fd_ >= 0)
            ::close(fd_);
        throw std::runtime_error("cannot listen on loopback: " + reason);
    }
    port_ = ntohs(address.sin_port);
}

SilentListener::~SilentListener() {
    ::close(fd_);
}

} // namespace standin
