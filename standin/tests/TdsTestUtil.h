#pragma once
// Memory-backed byte streams and small byte helpers for the TDS unit tests.
#include "standin/tds/Packet.h"

#include <QByteArray>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace standin::testing {

using Bytes = std::vector<uint8_t>;

/// Hands out prepared bytes, at most `chunk` per call, then end of stream.
class MemorySource : public tds::ByteSource {
public:
    explicit MemorySource(Bytes data, size_t chunk = 7) : data_(std::move(data)), chunk_(chunk) {}
    size_t receive(uint8_t* out, size_t size) override {
        const size_t n = std::min({size, chunk_, data_.size() - pos_});
        if (n > 0)
            std::memcpy(out, data_.data() + pos_, n);
        pos_ += n;
        return n;
    }

private:
    Bytes data_;
    size_t chunk_;
    size_t pos_ = 0;
};

/// Collects everything sent.
class MemorySink : public tds::ByteSink {
public:
    void send(const uint8_t* data, size_t size) override {
        bytes.insert(bytes.end(), data, data + size);
    }
    Bytes bytes;
};

/// Bytes from a hex string; blanks are ignored ("81 01 00").
inline Bytes hex(const char* text) {
    Bytes out;
    const QByteArray h = QByteArray::fromHex(QByteArray(text).replace(' ', ""));
    out.assign(h.begin(), h.end());
    return out;
}

inline QByteArray toQ(const Bytes& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

/// A packet with the given type, status and payload.
inline Bytes packet(uint8_t type, uint8_t status, const Bytes& payload, uint8_t id = 1) {
    const size_t length = payload.size() + 8;
    Bytes out = {
        type, status, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length), 0, 0, id, 0};
    out.resize(length);
    std::copy(payload.begin(), payload.end(), out.begin() + 8);
    return out;
}

/// The payload of a reply made of whole packets (headers removed).
inline Bytes stripHeaders(const Bytes& stream) {
    Bytes out;
    size_t at = 0;
    while (at + 8 <= stream.size()) {
        const size_t length = size_t{stream[at + 2]} << 8 | stream[at + 3];
        out.insert(out.end(), stream.begin() + static_cast<long>(at) + 8,
                   stream.begin() + static_cast<long>(at + length));
        at += length;
    }
    return out;
}

inline void appendUtf16(Bytes& out, std::u16string_view s) {
    for (char16_t c : s) {
        out.push_back(static_cast<uint8_t>(c));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
}

} // namespace standin::testing
