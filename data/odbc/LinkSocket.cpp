#include "data/odbc/LinkSocket.h"

#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace odbc {
namespace {

struct OpenSocket {
    int fd;
    ino_t inode;
};

/// The descriptors of this process that are sockets (numbers read from
/// /proc/self/fd; one closed meanwhile is simply not a socket any more).
std::vector<OpenSocket> openSockets() {
    std::vector<OpenSocket> sockets;
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir)
        return sockets;
    const int own = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd == own)
            continue;
        struct stat status {};
        if (::fstat(static_cast<int>(fd), &status) == 0 && S_ISSOCK(status.st_mode))
            sockets.push_back({static_cast<int>(fd), status.st_ino});
    }
    ::closedir(dir);
    return sockets;
}

/// The port of the peer of a connected TCP socket, or -1.
int peerPort(int fd) {
    int type = 0;
    socklen_t typeLength = sizeof type;
    if (::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &typeLength) != 0 || type != SOCK_STREAM)
        return -1;
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0)
        return -1;
    if (peer.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in&>(peer).sin_port);
    if (peer.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6&>(peer).sin6_port);
    return -1;
}

} // namespace

LinkSocket::Snapshot LinkSocket::snapshot() {
    Snapshot inodes;
    for (const OpenSocket& socket : openSockets())
        inodes.insert(socket.inode);
    return inodes;
}

void LinkSocket::adopt(const Snapshot& before, int serverPort) {
    release();
    int found = -1;
    for (const OpenSocket& socket : openSockets()) {
        if (before.count(socket.inode) || peerPort(socket.fd) != serverPort)
            continue;
        if (found >= 0)
            return; // two candidates: which one is the driver's cannot be told
        found = socket.fd;
    }
    if (found >= 0)
        fd_ = ::fcntl(found, F_DUPFD_CLOEXEC, 0);
}

void LinkSocket::cut() const {
    const int fd = fd_.load();
    if (fd >= 0)
        ::shutdown(fd, SHUT_RDWR);
}

void LinkSocket::release() {
    const int fd = fd_.exchange(-1);
    if (fd >= 0)
        ::close(fd);
}

} // namespace odbc
