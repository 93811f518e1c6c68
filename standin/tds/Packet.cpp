#include "standin/tds/Packet.h"

#include "standin/tds/ByteReader.h"

#include <algorithm>

namespace standin::tds {

namespace {
// Several packets are gathered before each send so that a large result costs
// few system calls whatever the negotiated packet size.
constexpr size_t kSendBufferTarget = 256 * 1024;
} // namespace

bool MessageReader::readExactly(uint8_t* data, size_t size, bool eofAllowed) {
    size_t got = 0;
    while (got < size) {
        size_t n = source_.receive(data + got, size - got);
        if (n == 0) {
            if (got == 0 && eofAllowed)
                return false;
            throw ProtocolError("connection closed in the middle of a packet");
        }
        got += n;
    }
    return true;
}

std::optional<Message> MessageReader::read() {
    Message message;
    bool first = true;
    for (;;) {
        uint8_t header[kHeaderSize];
        if (!readExactly(header, kHeaderSize, first))
            return std::nullopt;
        const uint8_t type = header[0];
        const uint8_t status = header[1];
        const size_t length = static_cast<size_t>(header[2] << 8 | header[3]);
        if (length < kHeaderSize)
            throw ProtocolError("packet length " + std::to_string(length) +
                                " is below the header size");
        if (first)
            message.type = type;
        else if (type != message.type)
            throw ProtocolError("packet type changed inside a message");
        const size_t body = length - kHeaderSize;
        if (message.payload.size() + body > cap_)
            throw ProtocolError("message exceeds " + std::to_string(cap_) + " bytes");
        const size_t old = message.payload.size();
        message.payload.resize(old + body);
        readExactly(message.payload.data() + old, body, false);
        first = false;
        if (status & kStatusEom)
            return message;
    }
}

PacketWriter::PacketWriter(ByteSink& sink, size_t packetSize) : sink_(sink) {
    setPacketSize(packetSize);
}

void PacketWriter::setPacketSize(size_t packetSize) {
    packetSize_ = std::clamp(packetSize, kMinPacketSize, kMaxPacketSize);
    const size_t packets = std::max<size_t>(1, kSendBufferTarget / packetSize_);
    buffer_.assign(packets * packetSize_, 0);
    reset();
}

void PacketWriter::reset() {
    packetStart_ = buffer_.data();
    packetEnd_ = packetStart_ + packetSize_;
    pos_ = packetStart_ + kHeaderSize;
}

void PacketWriter::utf16(std::u16string_view s) {
    for (char16_t c : s)
        u16(static_cast<uint16_t>(c));
}

void PacketWriter::putSlow(const uint8_t* data, size_t size) {
    while (size > 0) {
        if (pos_ == packetEnd_)
            nextPacket();
        const size_t n = std::min(size, static_cast<size_t>(packetEnd_ - pos_));
        std::memcpy(pos_, data, n);
        pos_ += n;
        data += n;
        size -= n;
    }
}

void PacketWriter::sealPacket(bool last) {
    const size_t length = static_cast<size_t>(pos_ - packetStart_);
    packetStart_[0] = static_cast<uint8_t>(PacketType::Reply);
    packetStart_[1] = last ? kStatusEom : 0;
    packetStart_[2] = static_cast<uint8_t>(length >> 8);
    packetStart_[3] = static_cast<uint8_t>(length);
    packetStart_[4] = 0;
    packetStart_[5] = 0;
    packetStart_[6] = packetId_++;
    packetStart_[7] = 0;
}

void PacketWriter::nextPacket() {
    sealPacket(false);
    uint8_t* next = packetEnd_;
    if (next + packetSize_ > buffer_.data() + buffer_.size()) {
        const size_t n = static_cast<size_t>(next - buffer_.data());
        sink_.send(buffer_.data(), n);
        reset();
        return;
    }
    packetStart_ = next;
    packetEnd_ = next + packetSize_;
    pos_ = packetStart_ + kHeaderSize;
}

void PacketWriter::endMessage() {
    sealPacket(true);
    const size_t n = static_cast<size_t>(pos_ - buffer_.data());
    reset();
    packetId_ = 1;
    sink_.send(buffer_.data(), n);
}

} // namespace standin::tds
