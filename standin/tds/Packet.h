#pragma once
// TDS packet framing: reassembling received packets into messages and cutting
// outgoing messages into packets of the negotiated size.
//
// A message is the payload of consecutive packets of one type, ended by the
// packet whose status carries the end-of-message bit. Packet ids are ignored.
// A message larger than the reader's cap is refused (ProtocolError), so a
// client cannot make the server hold unbounded memory.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace standin::tds {

enum class PacketType : uint8_t {
    SqlBatch = 0x01,
    Rpc = 0x03,
    Reply = 0x04,
    Attention = 0x06,
    TransManager = 0x0E,
    Login7 = 0x10,
    Prelogin = 0x12,
};

constexpr size_t kHeaderSize = 8;
constexpr uint8_t kStatusEom = 0x01;
constexpr size_t kDefaultPacketSize = 4096;
constexpr size_t kMinPacketSize = 512;
constexpr size_t kMaxPacketSize = 32767;
constexpr size_t kDefaultMessageCap = 64u << 20;

/// Where received bytes come from (a socket, or memory in tests).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    /// Reads up to `size` bytes; returns 0 at end of stream. Throws on failure.
    virtual size_t receive(uint8_t* data, size_t size) = 0;
};

/// Where outgoing bytes go.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    /// Sends all bytes or throws.
    virtual void send(const uint8_t* data, size_t size) = 0;
};

struct Message {
    uint8_t type = 0;
    std::vector<uint8_t> payload;
};

/// Reads whole messages from a byte stream.
class MessageReader {
public:
    explicit MessageReader(ByteSource& source, size_t cap = kDefaultMessageCap)
        : source_(source), cap_(cap) {}
    /// The next message, or nothing when the peer closed the stream between
    /// messages. Throws ProtocolError on a malformed header, a type change
    /// inside a message, an oversized message or a stream cut mid-packet.
    std::optional<Message> read();

private:
    bool readExactly(uint8_t* data, size_t size, bool eofAllowed);

    ByteSource& source_;
    size_t cap_;
};

/// Builds one outgoing message, emitting full packets as it goes.
///
/// Bytes are appended straight into a send buffer holding several packets; a
/// packet's header is filled in when it is full, and the buffer is handed to
/// the sink when it holds enough packets, so writing a row costs no allocation.
class PacketWriter {
public:
    PacketWriter(ByteSink& sink, size_t packetSize = kDefaultPacketSize);

    /// Changes the packet size; only between messages.
    void setPacketSize(size_t packetSize);
    size_t packetSize() const { return packetSize_; }

    void put(const void* data, size_t size) {
        if (size <= static_cast<size_t>(packetEnd_ - pos_)) [[likely]] {
            // An empty value may come without storage (a null data pointer), which
            // memcpy must not be given even for no bytes.
            if (size != 0)
                std::memcpy(pos_, data, size);
            pos_ += size;
            return;
        }
        putSlow(static_cast<const uint8_t*>(data), size);
    }
    void u8(uint8_t v) {
        if (pos_ == packetEnd_) [[unlikely]]
            nextPacket();
        *pos_++ = v;
    }
    void u16(uint16_t v) { le(v, 2); }
    void u32(uint32_t v) { le(v, 4); }
    void u64(uint64_t v) { le(v, 8); }
    void u16be(uint16_t v) {
        uint8_t b[2] = {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
        put(b, 2);
    }
    /// UTF-16 code units as UTF-16LE bytes.
    void utf16(std::u16string_view s);

    /// Ends the message: the last packet gets the end-of-message bit and
    /// everything buffered is sent.
    void endMessage();

private:
    void le(uint64_t v, int n) {
        if constexpr (std::endian::native == std::endian::little) {
            put(&v, static_cast<size_t>(n));
        } else {
            uint8_t b[8];
            for (int i = 0; i < n; ++i)
                b[i] = static_cast<uint8_t>(v >> (8 * i));
            put(b, static_cast<size_t>(n));
        }
    }
    void putSlow(const uint8_t* data, size_t size);
    void nextPacket();
    void sealPacket(bool last);
    void reset();

    ByteSink& sink_;
    size_t packetSize_;
    std::vector<uint8_t> buffer_;
    uint8_t* packetStart_ = nullptr;
    uint8_t* packetEnd_ = nullptr;
    uint8_t* pos_ = nullptr;
    uint8_t packetId_ = 1;
};

} // namespace standin::tds
