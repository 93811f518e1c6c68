#include "app/IntegerText.h"

#include "data/db/DBErrors.h"

#include <cstdint>

namespace {

int DigitValue(char c, int base) {
    int value = -1;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    return value < base ? value : -1;
}

} // namespace

int StrToInt(const platform::AnsiString& text) {
    auto fail = [&text]() -> int {
        throw db::EConvertError("'" + text + "' is not a valid integer value");
    };
    size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        negative = text[pos++] == '-';
    int base = 10;
    if (pos < text.size() && text[pos] == '$') {
        base = 16;
        ++pos;
    }
    if (pos == text.size())
        return fail();
    // Decimal stops at 2^31 (the magnitude of the lowest value); hexadecimal may
    // fill all 32 bits.
    const uint64_t limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    uint64_t magnitude = 0;
    for (; pos < text.size(); ++pos) {
        int digit = DigitValue(text[pos], base);
        if (digit < 0)
            return fail();
        magnitude = magnitude * base + digit;
        if (magnitude > limit)
            return fail();
    }
    uint32_t bits = static_cast<uint32_t>(magnitude);
    if (negative)
        bits = 0u - bits;
    return static_cast<int32_t>(bits);
}
