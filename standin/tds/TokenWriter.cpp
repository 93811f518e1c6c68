#include "standin/tds/TokenWriter.h"

#include <algorithm>

namespace standin::tds {

namespace {

/// Little-endian appends for the few tokens whose length must be known first.
struct Bytes {
    std::vector<uint8_t> b;
    void u8(uint8_t v) { b.push_back(v); }
    void u16(uint16_t v) {
        b.push_back(static_cast<uint8_t>(v));
        b.push_back(static_cast<uint8_t>(v >> 8));
    }
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    void utf16(std::u16string_view s) {
        for (char16_t c : s)
            u16(static_cast<uint16_t>(c));
    }
    /// A string with a one-byte character count, cut at 255 characters.
    void bVarchar(std::u16string_view s) {
        s = s.substr(0, 255);
        u8(static_cast<uint8_t>(s.size()));
        utf16(s);
    }
    void usVarchar(std::u16string_view s) {
        s = s.substr(0, 0xFFFF);
        u16(static_cast<uint16_t>(s.size()));
        utf16(s);
    }
    /// Token byte, two-byte length, body.
    void writeToken(PacketWriter& out, uint8_t token) const {
        out.u8(token);
        out.u16(static_cast<uint16_t>(std::min<size_t>(b.size(), 0xFFFF)));
        out.put(b.data(), std::min<size_t>(b.size(), 0xFFFF));
    }
};

} // namespace

void TokenWriter::columnMetadata(const ResultMeta& meta) {
    const bool browse = !meta.tables.empty();
    const size_t count = std::min<size_t>(meta.columns.size(), 0xFFFF);
    columns_.clear();
    columns_.reserve(count);
    out_.u8(TokenColMetadata);
    out_.u16(static_cast<uint16_t>(count));
    for (size_t i = 0; i < count; ++i) {
        const ColumnInfo& c = meta.columns[i];
        columns_.push_back(describeColumn(c));
        out_.u32(0); // user type
        out_.u16(columnFlags(c, browse));
        static const std::vector<std::u16string> kNoTable;
        const std::vector<std::u16string>* table = &kNoTable;
        if (c.tableIndex > 0 && static_cast<size_t>(c.tableIndex) <= meta.tables.size())
            table = &meta.tables[static_cast<size_t>(c.tableIndex) - 1].parts;
        writeTypeInfo(out_, columns_.back(), table);
        const auto name = std::u16string_view(c.name).substr(0, 255);
        out_.u8(static_cast<uint8_t>(name.size()));
        out_.utf16(name);
    }
    nullBitmap_.assign((count + 7) / 8, 0);
    if (browse && count <= 255) {
        tableNames(meta);
        columnInfo(meta);
    }
}

void TokenWriter::tableNames(const ResultMeta& meta) {
    Bytes body;
    for (const auto& table : meta.tables) {
        const size_t parts = std::min<size_t>(table.parts.size(), 255);
        body.u8(static_cast<uint8_t>(parts));
        for (size_t i = 0; i < parts; ++i)
            body.usVarchar(table.parts[i]);
    }
    body.writeToken(out_, TokenTabName);
}

void TokenWriter::columnInfo(const ResultMeta& meta) {
    Bytes body;
    for (size_t i = 0; i < meta.columns.size(); ++i) {
        const ColumnInfo& c = meta.columns[i];
        const bool fromTable =
            c.tableIndex > 0 && static_cast<size_t>(c.tableIndex) <= meta.tables.size();
        uint8_t status = 0;
        if (!fromTable)
            status |= 0x04;
        if (c.isKey)
            status |= 0x08;
        if (c.hidden)
            status |= 0x10;
        const bool renamed = fromTable && !c.baseColumn.empty() && c.baseColumn != c.name;
        if (renamed)
            status |= 0x20;
        body.u8(static_cast<uint8_t>(i + 1));
        body.u8(fromTable ? static_cast<uint8_t>(c.tableIndex) : 0);
        body.u8(status);
        if (renamed)
            body.bVarchar(c.baseColumn);
    }
    body.writeToken(out_, TokenColInfo);
}

void TokenWriter::row(std::span<const Value> values) {
    const size_t n = columns_.size();
    static const Value kNull;
    bool anyNull = false;
    for (size_t i = 0; i < n; ++i) {
        if (i >= values.size() || isNull(values[i])) {
            anyNull = true;
            break;
        }
    }
    if (!anyNull) {
        out_.u8(TokenRow);
        for (size_t i = 0; i < n; ++i)
            writeValue(out_, columns_[i], values[i]);
        return;
    }
    std::fill(nullBitmap_.begin(), nullBitmap_.end(), 0);
    for (size_t i = 0; i < n; ++i)
        if (i >= values.size() || isNull(values[i]))
            nullBitmap_[i / 8] |= static_cast<uint8_t>(1u << (i % 8));
    out_.u8(TokenNbcRow);
    out_.put(nullBitmap_.data(), nullBitmap_.size());
    for (size_t i = 0; i < n; ++i)
        if (!(nullBitmap_[i / 8] & (1u << (i % 8))))
            writeValue(out_, columns_[i], i < values.size() ? values[i] : kNull);
}

void TokenWriter::done(Token token, uint16_t status, uint16_t curCmd, uint64_t rowCount) {
    out_.u8(token);
    out_.u16(status);
    out_.u16(curCmd);
    out_.u64(rowCount);
}

void TokenWriter::message(const ServerMessage& msg) {
    Bytes body;
    body.u32(static_cast<uint32_t>(msg.number));
    body.u8(msg.state);
    body.u8(msg.severity);
    // Keep the whole token within its two-byte length.
    body.usVarchar(std::u16string_view(msg.text).substr(0, 30000));
    body.bVarchar(kServerName);
    body.bVarchar(msg.procedure);
    body.u32(static_cast<uint32_t>(msg.line));
    body.writeToken(out_, msg.isError() ? TokenError : TokenInfo);
}

void TokenWriter::envChange(EnvChangeType type, std::u16string_view newValue,
                            std::u16string_view oldValue) {
    Bytes body;
    body.u8(type);
    body.bVarchar(newValue);
    body.bVarchar(oldValue);
    body.writeToken(out_, TokenEnvChange);
}

void TokenWriter::envChangeBytes(EnvChangeType type, std::span<const uint8_t> newValue,
                                 std::span<const uint8_t> oldValue) {
    Bytes body;
    body.u8(type);
    body.u8(static_cast<uint8_t>(newValue.size()));
    body.b.insert(body.b.end(), newValue.begin(), newValue.end());
    body.u8(static_cast<uint8_t>(oldValue.size()));
    body.b.insert(body.b.end(), oldValue.begin(), oldValue.end());
    body.writeToken(out_, TokenEnvChange);
}

void TokenWriter::collationChange(const Collation& c) {
    const uint8_t bytes[5] = {static_cast<uint8_t>(c.info), static_cast<uint8_t>(c.info >> 8),
                              static_cast<uint8_t>(c.info >> 16),
                              static_cast<uint8_t>(c.info >> 24), c.sortId};
    envChangeBytes(EnvCollation, bytes, {});
}

void TokenWriter::loginAck(uint32_t tdsVersion, std::u16string_view programName) {
    Bytes body;
    body.u8(1); // interface: SQL
    for (int shift = 24; shift >= 0; shift -= 8)
        body.u8(static_cast<uint8_t>(tdsVersion >> shift));
    body.bVarchar(programName);
    for (uint8_t b : {uint8_t{16}, uint8_t{0}, uint8_t{0x03}, uint8_t{0xE8}})
        body.u8(b);
    body.writeToken(out_, TokenLoginAck);
}

void TokenWriter::returnStatus(int32_t status) {
    out_.u8(TokenReturnStatus);
    out_.u32(static_cast<uint32_t>(status));
}

void TokenWriter::returnValue(uint16_t ordinal, const Param& param) {
    const WireColumn column = describeColumn(param.type);
    out_.u8(TokenReturnValue);
    out_.u16(ordinal);
    const auto name = std::u16string_view(param.name).substr(0, 255);
    out_.u8(static_cast<uint8_t>(name.size()));
    out_.utf16(name);
    out_.u8(0x01); // output parameter
    out_.u32(0);
    out_.u16(columnFlags(param.type, false));
    writeTypeInfo(out_, column, nullptr);
    writeValue(out_, column, param.value);
}

} // namespace standin::tds
