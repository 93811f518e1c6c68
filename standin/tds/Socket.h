#pragma once
// ByteSource and ByteSink over a connected stream socket.
#include "standin/tds/Packet.h"

namespace standin::tds {

class SocketSource : public ByteSource {
public:
    explicit SocketSource(int fd) : fd_(fd) {}
    size_t receive(uint8_t* data, size_t size) override;

private:
    int fd_;
};

/// Sends without raising SIGPIPE; a peer that went away becomes an exception.
class SocketSink : public ByteSink {
public:
    explicit SocketSink(int fd) : fd_(fd) {}
    void send(const uint8_t* data, size_t size) override;

private:
    int fd_;
};

/// Sets the options a served connection wants (large send buffer, no Nagle delay).
void tuneServedSocket(int fd);

} // namespace standin::tds
