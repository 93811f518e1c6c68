#include "data/ado/RowStore.h"

#include "data/ado/ValueText.h"
#include "platform/CodePageConv.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/mman.h>

namespace ado::detail {

namespace {
/// The largest chunk: one huge page, so that a big result takes a page fault per
/// two megabytes instead of one per four kilobytes as its rows arrive.
constexpr size_t kChunk = 2 << 20;

uint8_t* allocateChunk(size_t size) {
    void* p = nullptr;
    if (size == kChunk) {
        p = std::aligned_alloc(kChunk, kChunk);
        if (p)
            ::madvise(p, kChunk, MADV_HUGEPAGE); // advice only: without it, small pages
    } else {
        p = std::malloc(size);
    }
    if (!p)
        throw std::bad_alloc();
    return static_cast<uint8_t*>(p);
}

size_t fixedSlotSize(StorageKind k) {
    switch (k) {
    case StorageKind::Int:
    case StorageKind::Double:
        return 8;
    case StorageKind::Bool:
        return 1;
    case StorageKind::Date:
        return sizeof(DateTime);
    default:
        return 4; // end offset of the variable bytes
    }
}

bool isVariable(StorageKind k) {
    return k == StorageKind::Text || k == StorageKind::DecimalText || k == StorageKind::Bytes;
}

[[noreturn]] void conversionFailed() {
    throw AdoError("Multiple-step operation generated errors. Check each status value.");
}
} // namespace

StorageKind storageKindOf(DataType type) {
    switch (type) {
    case DataType::SmallInt:
    case DataType::Integer:
    case DataType::TinyInt:
    case DataType::UnsignedTinyInt:
    case DataType::BigInt:
        return StorageKind::Int;
    case DataType::Single:
    case DataType::Double:
        return StorageKind::Double;
    case DataType::Boolean:
        return StorageKind::Bool;
    case DataType::Currency:
    case DataType::Decimal:
    case DataType::Numeric:
        return StorageKind::DecimalText;
    case DataType::Date:
    case DataType::DBTimeStamp:
        return StorageKind::Date;
    case DataType::Binary:
    case DataType::VarBinary:
    case DataType::LongVarBinary:
        return StorageKind::Bytes;
    default:
        return StorageKind::Text;
    }
}

uint64_t RowStore::nextVersion() {
    // Stores are filled on worker threads too.
    static std::atomic<uint64_t> last{0};
    return ++last;
}

RowStore::RowStore(std::vector<ColumnInfo> cols)
    : columns(std::move(cols)), version(nextVersion()) {
    const size_t n = columns.size();
    fixedSize = static_cast<uint32_t>((n + 7) / 8);
    int lastVariable = -1;
    for (size_t c = 0; c < n; ++c) {
        const StorageKind k = storageKindOf(columns[c].type);
        kinds.push_back(k);
        slotOffset.push_back(fixedSize);
        fixedSize += static_cast<uint32_t>(fixedSlotSize(k));
        previousVariable.push_back(isVariable(k) ? lastVariable : -1);
        if (isVariable(k))
            lastVariable = static_cast<int>(c);
    }
    spans_.resize(n);
}

void RowStore::FreeChunk::operator()(uint8_t* p) const {
    std::free(p);
}

uint8_t* RowStore::allocate(size_t size) {
    if (chunks_.empty() || chunkUsed_ + size > chunkSize_) {
        // Small results (schema rowsets, probes) stay small; big ones grow to whole chunks.
        chunkSize_ =
            std::max(size, chunks_.empty() ? size_t{4096} : std::min(kChunk, chunkSize_ * 2));
        chunks_.emplace_back(allocateChunk(chunkSize_));
        arenaBytes_ += chunkSize_;
        chunkUsed_ = 0;
    }
    uint8_t* p = chunks_.back().get() + chunkUsed_;
    chunkUsed_ += size;
    return p;
}

void RowStore::begin() {
    fixed_.assign(fixedSize, 0);
    variable_.clear();
    std::fill(spans_.begin(), spans_.end(), std::pair<uint32_t, uint32_t>{0, 0});
}

void RowStore::putNull(int c) {
    fixed_[c / 8] |= uint8_t(1u << (c % 8));
}
void RowStore::putInt(int c, int64_t v) {
    std::memcpy(&fixed_[slotOffset[c]], &v, 8);
}
void RowStore::putDouble(int c, double v) {
    std::memcpy(&fixed_[slotOffset[c]], &v, 8);
}
void RowStore::putBool(int c, bool v) {
    fixed_[slotOffset[c]] = v ? 1 : 0;
}
void RowStore::putDate(int c, const DateTime& v) {
    std::memcpy(&fixed_[slotOffset[c]], &v, sizeof v);
}
void RowStore::putBytes(int c, const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    spans_[c] = {static_cast<uint32_t>(variable_.size()), static_cast<uint32_t>(size)};
    variable_.insert(variable_.end(), p, p + size);
}

const uint8_t* RowStore::pack() {
    size_t total = fixedSize;
    for (size_t c = 0; c < columns.size(); ++c)
        if (isVariable(kinds[c]))
            total += spans_[c].second;
    uint8_t* row = allocate(total);
    std::memcpy(row, fixed_.data(), fixedSize);
    uint32_t end = fixedSize;
    for (size_t c = 0; c < columns.size(); ++c) {
        if (!isVariable(kinds[c]))
            continue;
        const auto [from, size] = spans_[c];
        if (size)
            std::memcpy(row + end, variable_.data() + from, size);
        end += size;
        std::memcpy(row + slotOffset[c], &end, 4);
    }
    return row;
}

Bookmark RowStore::finish() {
    rows.push_back(pack());
    version = nextVersion();
    return static_cast<Bookmark>(rows.size());
}

void RowStore::putVariant(int c, const Variant& v) {
    if (v.isBlank()) {
        putNull(c);
        return;
    }
    switch (kinds[c]) {
    case StorageKind::Int: {
        if (v.is<int64_t>())
            putInt(c, v.get<int64_t>());
        else if (v.is<bool>())
            putInt(c, v.get<bool>() ? -1 : 0);
        else if (auto d = numberOf(v); d && *d == static_cast<double>(static_cast<int64_t>(*d)))
            putInt(c, static_cast<int64_t>(*d));
        else
            conversionFailed();
        break;
    }
    case StorageKind::Double: {
        const auto d = numberOf(v);
        if (!d)
            conversionFailed();
        putDouble(c, *d);
        break;
    }
    case StorageKind::Bool: {
        if (v.is<bool>())
            putBool(c, v.get<bool>());
        else if (auto d = numberOf(v))
            putBool(c, *d != 0);
        else if (v.is<WideString>() && compareTextNoCase(v.get<WideString>(), u"True") == 0)
            putBool(c, true);
        else if (v.is<WideString>() && compareTextNoCase(v.get<WideString>(), u"False") == 0)
            putBool(c, false);
        else
            conversionFailed();
        break;
    }
    case StorageKind::Date: {
        if (v.is<DateTime>())
            putDate(c, v.get<DateTime>());
        else if (auto d = parseDate(textOf(v)))
            putDate(c, *d);
        else
            conversionFailed();
        break;
    }
    case StorageKind::DecimalText: {
        const WideString t = textOf(v);
        if (!numberOf(Variant(t)))
            conversionFailed();
        const std::string ascii(t.begin(), t.end());
        putBytes(c, ascii.data(), ascii.size());
        break;
    }
    case StorageKind::Bytes: {
        if (!v.is<Bytes>())
            conversionFailed();
        const auto& b = v.get<Bytes>();
        putBytes(c, b.data(), b.size());
        break;
    }
    case StorageKind::Text: {
        const WideString t = textOf(v);
        putBytes(c, t.data(), t.size() * 2);
        break;
    }
    }
}

Bookmark RowStore::append(const std::vector<Variant>& values) {
    begin();
    for (size_t c = 0; c < columns.size(); ++c)
        putVariant(static_cast<int>(c), c < values.size() ? values[c] : Variant());
    return finish();
}

void RowStore::replace(Bookmark b, const std::vector<Variant>& values) {
    begin();
    for (size_t c = 0; c < columns.size(); ++c)
        putVariant(static_cast<int>(c), c < values.size() ? values[c] : Variant());
    rows.at(b - 1) = pack();
    version = nextVersion();
}

void RowStore::checkValue(int c, const Variant& value) {
    // Converted into the scratch row only, which the next append or replace starts afresh.
    begin();
    putVariant(c, value);
}

bool RowStore::isNull(Bookmark b, int c) const {
    const uint8_t* row = rows[b - 1];
    return !row || (row[c / 8] >> (c % 8)) & 1;
}

Variant RowStore::value(Bookmark b, int c) const {
    const uint8_t* row = rows.at(b - 1);
    if (!row)
        return {};
    if ((row[c / 8] >> (c % 8)) & 1)
        return Variant::null();
    const uint8_t* slot = row + slotOffset[c];
    auto variableBytes = [&](const uint8_t*& start, size_t& size) {
        uint32_t end, from = fixedSize;
        std::memcpy(&end, slot, 4);
        if (previousVariable[c] >= 0)
            std::memcpy(&from, row + slotOffset[previousVariable[c]], 4);
        start = row + from;
        size = end - from;
    };
    switch (kinds[c]) {
    case StorageKind::Int: {
        int64_t v;
        std::memcpy(&v, slot, 8);
        return Variant(v);
    }
    case StorageKind::Double: {
        double v;
        std::memcpy(&v, slot, 8);
        return Variant(v);
    }
    case StorageKind::Bool:
        return Variant(*slot != 0);
    case StorageKind::Date: {
        DateTime v;
        std::memcpy(&v, slot, sizeof v);
        return Variant(v);
    }
    case StorageKind::Text: {
        const uint8_t* p;
        size_t n;
        variableBytes(p, n);
        WideString s(n / 2, u'\0');
        if (n)
            std::memcpy(s.data(), p, n);
        return Variant(std::move(s));
    }
    case StorageKind::DecimalText: {
        const uint8_t* p;
        size_t n;
        variableBytes(p, n);
        return Variant(Decimal{std::string(reinterpret_cast<const char*>(p), n)});
    }
    case StorageKind::Bytes: {
        const uint8_t* p;
        size_t n;
        variableBytes(p, n);
        return Variant(Bytes(p, p + n));
    }
    }
    return {};
}

std::vector<Variant> RowStore::values(Bookmark b) const {
    std::vector<Variant> out;
    for (size_t c = 0; c < columns.size(); ++c)
        out.push_back(value(b, static_cast<int>(c)));
    return out;
}

size_t RowStore::memoryUsed() const {
    // Only the used part of the last chunk counts as held rows.
    const size_t unusedTail = chunks_.empty() ? 0 : chunkSize_ - chunkUsed_;
    return arenaBytes_ - unusedTail + rows.capacity() * sizeof(const uint8_t*);
}

} // namespace ado::detail
