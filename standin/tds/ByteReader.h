#pragma once
// Bounds-checked reading of a received TDS message.
//
// Every read checks the remaining length first and throws ProtocolError on
// overrun, so a truncated or hostile message can never read past its buffer.
// Multi-byte integers are little-endian unless the name says otherwise.
#include <cstdint>
#include <cstring>
#include <span>
#include <stdexcept>
#include <string>

namespace standin::tds {

/// A message that breaks the protocol; the connection that sent it is closed.
class ProtocolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}

    size_t remaining() const { return data_.size() - pos_; }
    size_t position() const { return pos_; }
    bool atEnd() const { return pos_ == data_.size(); }

    /// Throws unless `n` more bytes are available.
    void need(size_t n) const {
        if (n > remaining())
            throw ProtocolError("truncated message");
    }
    uint8_t u8() {
        need(1);
        return data_[pos_++];
    }
    uint8_t peek() const {
        need(1);
        return data_[pos_];
    }
    uint16_t u16() { return static_cast<uint16_t>(le(2)); }
    uint32_t u32() { return static_cast<uint32_t>(le(4)); }
    uint64_t u64() { return le(8); }
    uint16_t u16be() {
        need(2);
        uint16_t v = static_cast<uint16_t>(data_[pos_] << 8 | data_[pos_ + 1]);
        pos_ += 2;
        return v;
    }
    /// The next `n` bytes, still owned by the message.
    std::span<const uint8_t> bytes(size_t n) {
        need(n);
        auto s = data_.subspan(pos_, n);
        pos_ += n;
        return s;
    }
    void skip(size_t n) { bytes(n); }
    /// `chars` UTF-16LE code units.
    std::u16string utf16(size_t chars) {
        if (chars > remaining() / 2)
            throw ProtocolError("truncated message");
        std::u16string s(chars, u'\0');
        for (size_t i = 0; i < chars; ++i)
            s[i] = static_cast<char16_t>(data_[pos_ + 2 * i] | data_[pos_ + 2 * i + 1] << 8);
        pos_ += 2 * chars;
        return s;
    }
    /// A string with a one-byte character count.
    std::u16string bVarchar() { return utf16(u8()); }
    /// A string with a two-byte character count.
    std::u16string usVarchar() { return utf16(u16()); }

private:
    uint64_t le(int n) {
        need(static_cast<size_t>(n));
        uint64_t v = 0;
        for (int i = n - 1; i >= 0; --i)
            v = v << 8 | data_[pos_ + static_cast<size_t>(i)];
        pos_ += static_cast<size_t>(n);
        return v;
    }

    std::span<const uint8_t> data_;
    size_t pos_ = 0;
};

} // namespace standin::tds
