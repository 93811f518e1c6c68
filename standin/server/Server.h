#pragma once
// The listening side of the stand-in: accepts TDS clients on one address and
// serves each on its own thread with its own engine session.
//
// run() returns once stop is signalled through the wake-up descriptor: the
// listener is closed first, then every connection is asked to end and joined,
// so no thread outlives the server.
#include "standin/engine/EngineApi.h"

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <thread>

namespace standin::tds {
class Connection;
}

namespace standin::server {

class Server {
public:
    /// Binds and listens on host:port (port 0 picks a free one). Throws on failure.
    Server(Engine& engine, const std::string& host, uint16_t port);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    /// The address actually bound, as "HOST:PORT".
    std::string address() const;

    /// Serves until `stopFd` becomes readable.
    void run(int stopFd);

private:
    struct Client {
        std::unique_ptr<tds::Connection> connection;
        std::thread thread;
    };
    void accept();
    void reapFinished();

    Engine& engine_;
    int listenFd_ = -1;
    std::string host_;
    uint16_t port_ = 0;
    uint32_t nextId_ = 1;
    std::list<Client> clients_;
};

} // namespace standin::server
