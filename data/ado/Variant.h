#pragma once
// The value of one field as the ADO layer hands it out: empty, null, or a typed
// value. It is the API's currency, not the recordset's storage: rows are kept
// packed and a Variant is made only for the field that is asked for.
#include "platform/Strings.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace ado {

using platform::AnsiString;
using platform::WideString;

/// SQL NULL.
struct Null {
    bool operator==(const Null&) const = default;
};

/// A date and time as SQL Server's datetime holds it (milliseconds).
struct DateTime {
    int16_t year = 1900;
    uint8_t month = 1, day = 1, hour = 0, minute = 0, second = 0;
    uint16_t millisecond = 0;
    auto operator<=>(const DateTime&) const = default;
};

/// decimal, numeric and money, kept exact as their decimal text ("-12.3400").
struct Decimal {
    std::string text;
    bool operator==(const Decimal&) const = default;
};

using Bytes = std::vector<uint8_t>;

class Variant {
public:
    using Value = std::variant<std::monostate, Null, bool, int64_t, double, Decimal, DateTime,
                               AnsiString, WideString, Bytes>;

    Variant() = default;
    Variant(Null n) : v_(n) {}
    Variant(bool b) : v_(b) {}
    Variant(int v) : v_(int64_t{v}) {}
    Variant(int64_t v) : v_(v) {}
    Variant(double v) : v_(v) {}
    Variant(Decimal v) : v_(std::move(v)) {}
    Variant(DateTime v) : v_(v) {}
    Variant(AnsiString v) : v_(std::move(v)) {}
    Variant(const char* v) : v_(AnsiString(v)) {}
    Variant(WideString v) : v_(std::move(v)) {}
    Variant(const char16_t* v) : v_(WideString(v)) {}
    Variant(Bytes v) : v_(std::move(v)) {}

    static Variant null() { return Variant(Null{}); }

    bool isEmpty() const { return std::holds_alternative<std::monostate>(v_); }
    bool isNull() const { return std::holds_alternative<Null>(v_); }
    /// Empty or null: the field holds no value.
    bool isBlank() const { return isEmpty() || isNull(); }

    template <class T> bool is() const { return std::holds_alternative<T>(v_); }
    template <class T> const T& get() const { return std::get<T>(v_); }
    const Value& value() const { return v_; }

    bool operator==(const Variant&) const = default;

private:
    Value v_;
};

} // namespace ado
