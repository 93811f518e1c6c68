// Which socket a connection holds after its login: exactly the one new stream
// socket connected to the server's port, or none when that cannot be told, so
// that a cut never reaches another connection; and a cut ends a blocked read.
#include "data/odbc/LinkSocket.h"

#include <QTest>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <vector>

namespace {

// A loopback listener and the client sockets connected to it.
class Loopback {
public:
    Loopback() {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = address(0);
        socklen_t length = sizeof a;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::listen(listener_, 8) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &length) != 0)
            qFatal("cannot listen on loopback");
        port_ = ntohs(a.sin_port);
    }
    ~Loopback() {
        for (int fd : fds_)
            ::close(fd);
        ::close(listener_);
    }
    int port() const { return port_; }
    /// A new client connection; returns the client's descriptor.
    int connectClient() {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = address(port_);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
            qFatal("cannot connect on loopback");
        fds_.push_back(fd);
        fds_.push_back(::accept(listener_, nullptr, nullptr));
        return fd;
    }

private:
    static sockaddr_in address(int port) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<uint16_t>(port));
        return a;
    }
    int listener_ = -1;
    int port_ = 0;
    std::vector<int> fds_;
};

} // namespace

class TestLinkSocket : public QObject {
    Q_OBJECT
private slots:
    void adoptsOnlyTheOneNewSocket_data() {
        QTest::addColumn<int>("toServer");
        QTest::addColumn<int>("toOther");
        QTest::addColumn<bool>("held");
        QTest::newRow("one to the server") << 1 << 0 << true;
        QTest::newRow("one to the server, one elsewhere") << 1 << 1 << true;
        QTest::newRow("none") << 0 << 0 << false;
        QTest::newRow("only elsewhere") << 0 << 1 << false;
        QTest::newRow("two to the server") << 2 << 0 << false;
    }
    void adoptsOnlyTheOneNewSocket() {
        QFETCH(int, toServer);
        QFETCH(int, toOther);
        QFETCH(bool, held);
        Loopback server, other;
        server.connectClient(); // there before the login: never the login's
        const odbc::LinkSocket::Snapshot before = odbc::LinkSocket::snapshot();
        for (int i = 0; i < toServer; ++i)
            server.connectClient();
        for (int i = 0; i < toOther; ++i)
            other.connectClient();
        odbc::LinkSocket link;
        link.adopt(before, server.port());
        QCOMPARE(link.held(), held);
        link.release();
        QVERIFY(!link.held());
    }

    // The cut ends a read that waits on a silent peer, and only that one.
    void cutEndsTheBlockedRead() {
        Loopback server;
        const int bystander = server.connectClient();
        const odbc::LinkSocket::Snapshot before = odbc::LinkSocket::snapshot();
        const int client = server.connectClient();
        odbc::LinkSocket link;
        link.adopt(before, server.port());
        QVERIFY(link.held());
        link.cut();
        pollfd waits[] = {{client, POLLIN, 0}, {bystander, POLLIN, 0}};
        QCOMPARE(::poll(waits, 2, 2000), 1);
        char byte = 0;
        QCOMPARE(::read(client, &byte, 1), ssize_t(0));
        QCOMPARE(waits[1].revents, short(0));
    }
};

QTEST_GUILESS_MAIN(TestLinkSocket)
#include "tst_linksocket.moc"
