// The stand-in's receiving side on an arbitrary client byte stream: packet
// reassembly, then PRELOGIN, LOGIN7, SQL_BATCH, RPC and TRANS_MGR decoding of
// each message. Properties:
// - a message is never larger than the reader's cap nor than the bytes sent;
// - a reassembled message, cut into packets again and reread, is the same message;
// - a decoded LOGIN7, rebuilt and decoded again, gives the same login;
// - a decoded RPC parameter's value points into that parameter's own storage;
// - a refusal is ProtocolError or UnsupportedType, never another exception.
#include "fuzz/FuzzCheck.h"
#include "standin/tds/ByteReader.h"
#include "standin/tds/Login7.h"
#include "standin/tds/Packet.h"
#include "standin/tds/Prelogin.h"
#include "standin/tds/Request.h"
#include "standin/tds/TypeInfo.h"

#include <cstring>
#include <functional>
#include <variant>

using namespace standin;
using namespace standin::tds;

namespace {

constexpr size_t kCap = 256 * 1024;

class MemorySource : public ByteSource {
public:
    explicit MemorySource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    size_t receive(uint8_t* data, size_t size) override {
        // Short reads, as a socket gives them, exercise the reassembly.
        const size_t n = std::min({size, bytes_.size() - pos_, size_t{997}});
        std::memcpy(data, bytes_.data() + pos_, n);
        pos_ += n;
        return n;
    }

private:
    std::span<const uint8_t> bytes_;
    size_t pos_ = 0;
};

class MemorySink : public ByteSink {
public:
    void send(const uint8_t* data, size_t size) override {
        bytes.insert(bytes.end(), data, data + size);
    }
    std::vector<uint8_t> bytes;
};

bool within(const void* view, size_t viewSize, const void* storage, size_t storageSize) {
    auto v = static_cast<const char*>(view);
    auto s = static_cast<const char*>(storage);
    return viewSize == 0 || (v >= s && v + viewSize <= s + storageSize);
}

void checkParameter(const Param& p) {
    if (auto bytes = std::get_if<std::string_view>(&p.value))
        FUZZ_CHECK(within(bytes->data(), bytes->size(), p.bytes.data(), p.bytes.size()),
                   "a byte value points into its parameter");
    if (auto text = std::get_if<std::u16string_view>(&p.value))
        FUZZ_CHECK(within(text->data(), text->size() * 2, p.text.data(), p.text.size() * 2),
                   "a text value points into its parameter");
}

void checkReframing(const Message& message) {
    MemorySink sink;
    PacketWriter writer(sink, kMinPacketSize);
    writer.put(message.payload.data(), message.payload.size());
    writer.endMessage();
    // The writer stamps its own reply type; the reader must keep every byte.
    MemorySource source(sink.bytes);
    MessageReader reader(source, kCap);
    std::optional<Message> again = reader.read();
    FUZZ_CHECK(again && again->payload == message.payload, "reframed payload reads back whole");
    FUZZ_CHECK(!reader.read(), "reframing makes exactly one message");
}

void decode(const Message& message) {
    switch (static_cast<PacketType>(message.type)) {
    case PacketType::Prelogin:
        parsePrelogin(message.payload);
        break;
    case PacketType::Login7: {
        const Login7 login = parseLogin7(message.payload);
        const std::vector<uint8_t> rebuilt = buildLogin7(login);
        // LOGIN7 offsets are 16 bits wide; a login that large cannot be rebuilt.
        if (rebuilt.size() > 0xFFFF)
            break;
        const Login7 again = parseLogin7(rebuilt);
        FUZZ_CHECK(again.hostName == login.hostName && again.userName == login.userName &&
                       again.password == login.password && again.appName == login.appName &&
                       again.database == login.database && again.packetSize == login.packetSize,
                   "a rebuilt login decodes to the same login");
        break;
    }
    case PacketType::SqlBatch:
        parseSqlBatch(message.payload);
        break;
    case PacketType::Rpc:
        for (const RpcCall& call : parseRpc(message.payload)) {
            FUZZ_CHECK(!call.procedure.empty() || call.procId != 0, "a call names its procedure");
            for (const Param& p : call.params)
                checkParameter(p);
        }
        break;
    case PacketType::TransManager:
        parseTransactionRequest(message.payload);
        break;
    default:
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemorySource source(std::span<const uint8_t>(data, size));
    MessageReader reader(source, kCap);
    size_t received = 0;
    for (;;) {
        std::optional<Message> message;
        try {
            message = reader.read();
        } catch (const ProtocolError&) {
            return 0; // the connection would be closed here
        }
        if (!message)
            return 0;
        received += message->payload.size();
        FUZZ_CHECK(message->payload.size() <= kCap, "a message stays under the cap");
        FUZZ_CHECK(received <= size, "messages hold no more than the bytes sent");
        checkReframing(*message);
        try {
            decode(*message);
        } catch (const ProtocolError&) {
        } catch (const UnsupportedType&) {
        }
    }
}
