#pragma once
// odbc::LinkSocket: the TCP socket under one driver connection, held through a
// descriptor of our own, so that a connection whose server has gone silent (a
// stalled host, a cable pulled without a reset) can be cut from this side. The
// driver cannot be interrupted otherwise: a cancel it sends to such a server is
// never acknowledged, and its read waits out the query time-out.
//
// The driver does not name its socket. It is found as the one stream socket that
// appeared during the login and is connected to the server's port; when that is
// not exactly one socket (another login ran at the same time), none is held and
// nothing can be cut. The own descriptor is a duplicate: it keeps referring to
// the same socket whatever the driver does with its descriptor, so a cut never
// reaches another socket that happens to reuse the number.
#include <atomic>
#include <set>
#include <sys/types.h>

namespace odbc {

class LinkSocket {
public:
    /// The sockets of this process now, to compare with after a login.
    using Snapshot = std::set<ino_t>;
    static Snapshot snapshot();

    LinkSocket() = default;
    ~LinkSocket() { release(); }
    LinkSocket(const LinkSocket&) = delete;
    LinkSocket& operator=(const LinkSocket&) = delete;

    /// Holds the one stream socket, new since `before`, whose peer's port is
    /// `serverPort`; holds nothing when there is not exactly one.
    void adopt(const Snapshot& before, int serverPort);
    bool held() const { return fd_.load() >= 0; }
    /// Shuts the socket down both ways (any thread): the driver's read in progress,
    /// or its next one, ends at once and the connection is dead.
    void cut() const;
    /// Lets go of the socket (after the driver has disconnected).
    void release();

private:
    std::atomic<int> fd_{-1};
};

} // namespace odbc
