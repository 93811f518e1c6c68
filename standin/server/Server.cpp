#include "standin/server/Server.h"

#include "standin/tds/Connection.h"
#include "standin/tds/Socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace standin::server {

namespace {
std::runtime_error systemError(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}
} // namespace

Server::Server(Engine& engine, const std::string& host, uint16_t port) : engine_(engine) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found); rc != 0)
        throw std::runtime_error("cannot resolve " + host + ": " + ::gai_strerror(rc));
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> guard(found, ::freeaddrinfo);

    listenFd_ = ::socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0)
        throw systemError("socket");
    int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(listenFd_, found->ai_addr, found->ai_addrlen) != 0 || ::listen(listenFd_, 64) != 0) {
        auto error = systemError("cannot listen on " + host + ":" + service);
        ::close(listenFd_);
        throw error;
    }
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&bound), &length);
    char text[INET6_ADDRSTRLEN] = {};
    if (bound.ss_family == AF_INET6) {
        auto* a = reinterpret_cast<sockaddr_in6*>(&bound);
        ::inet_ntop(AF_INET6, &a->sin6_addr, text, sizeof text);
        port_ = ntohs(a->sin6_port);
    } else {
        auto* a = reinterpret_cast<sockaddr_in*>(&bound);
        ::inet_ntop(AF_INET, &a->sin_addr, text, sizeof text);
        port_ = ntohs(a->sin_port);
    }
    host_ = text;
}

Server::~Server() {
    if (listenFd_ >= 0)
        ::close(listenFd_);
    for (auto& client : clients_)
        client.connection->stop();
    for (auto& client : clients_)
        if (client.thread.joinable())
            client.thread.join();
}

std::string Server::address() const {
    return host_ + ":" + std::to_string(port_);
}

void Server::run(int stopFd) {
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {stopFd, POLLIN, 0}};
        // Wake now and then to join connections that have ended.
        const int n = ::poll(fds, 2, 1000);
        if (n < 0 && errno != EINTR)
            throw systemError("poll");
        if (fds[1].revents != 0)
            break;
        if (n > 0 && (fds[0].revents & POLLIN))
            accept();
        reapFinished();
    }
    ::close(listenFd_);
    listenFd_ = -1;
    for (auto& client : clients_)
        client.connection->stop();
    for (auto& client : clients_)
        client.thread.join();
    clients_.clear();
}

void Server::accept() {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
        if (errno != EINTR && errno != EAGAIN && errno != ECONNABORTED)
            std::fprintf(stderr, "velkin-standin: accept failed: %s\n", std::strerror(errno));
        return;
    }
    tds::tuneServedSocket(fd);
    auto& client = clients_.emplace_back();
    client.connection = std::make_unique<tds::Connection>(fd, engine_, nextId_++);
    tds::Connection* connection = client.connection.get();
    client.thread = std::thread([connection] { connection->run(); });
}

void Server::reapFinished() {
    for (auto it = clients_.begin(); it != clients_.end();) {
        if (it->connection->finished()) {
            it->thread.join();
            it = clients_.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace standin::server
