#include "data/ado/Criterion.h"

#include "data/ado/ValueText.h"
#include "platform/CodePageConv.h"

#include <cmath>

namespace ado {
namespace {

std::string narrow(const WideString& s) {
    return platform::WideToAnsi(s);
}

bool isSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

class Parser {
public:
    explicit Parser(const WideString& text) : t_(text) {}

    using Dnf = std::vector<std::vector<Clause>>;

    Dnf parseAll() {
        Dnf result = parseOr();
        skipSpace();
        if (i_ < t_.size())
            fail("unexpected text");
        return result;
    }

private:
    const WideString& t_;
    size_t i_ = 0;

    [[noreturn]] void fail(const char* what) const {
        throw CriterionError(std::string("Invalid criterion (") + what + " at position " +
                             std::to_string(i_ + 1) + "): " + narrow(t_));
    }

    void skipSpace() {
        while (i_ < t_.size() && isSpace(t_[i_]))
            ++i_;
    }

    // A keyword matches as a whole word, without regard to case.
    bool keyword(const char* word) {
        skipSpace();
        size_t n = 0;
        while (word[n]) {
            if (i_ + n >= t_.size())
                return false;
            char16_t c = t_[i_ + n];
            if (c >= u'a' && c <= u'z')
                c = char16_t(c - 32);
            if (c != char16_t(word[n]))
                return false;
            ++n;
        }
        if (i_ + n < t_.size()) {
            const char16_t next = t_[i_ + n];
            if (!isSpace(next) && next != u'(' && next != u')' && next != u'\'' && next != u'#' &&
                next != u'[')
                return false;
        }
        i_ += n;
        return true;
    }

    Dnf parseOr() {
        Dnf result = parseAnd();
        while (keyword("OR")) {
            Dnf next = parseAnd();
            result.insert(result.end(), next.begin(), next.end());
        }
        return result;
    }

    Dnf parseAnd() {
        Dnf result = parseTerm();
        while (keyword("AND")) {
            const Dnf next = parseTerm();
            // ADO takes no OR'ed group as an operand of AND.
            if (result.size() != 1 || next.size() != 1)
                fail("a group joined by OR may not be joined to another clause by AND");
            result[0].insert(result[0].end(), next[0].begin(), next[0].end());
        }
        return result;
    }

    Dnf parseTerm() {
        skipSpace();
        if (i_ < t_.size() && t_[i_] == u'(') {
            ++i_;
            Dnf inner = parseOr();
            skipSpace();
            if (i_ >= t_.size() || t_[i_] != u')')
                fail("missing )");
            ++i_;
            return inner;
        }
        return Dnf{{parseClause()}};
    }

    WideString parseFieldName() {
        skipSpace();
        if (i_ >= t_.size())
            fail("field name expected");
        WideString name;
        if (t_[i_] == u'[') {
            const size_t close = t_.find(u']', i_ + 1);
            if (close == WideString::npos)
                fail("missing ]");
            name = t_.substr(i_ + 1, close - i_ - 1);
            i_ = close + 1;
        } else {
            while (i_ < t_.size() && !isSpace(t_[i_]) && t_[i_] != u'<' && t_[i_] != u'>' &&
                   t_[i_] != u'=' && t_[i_] != u'(' && t_[i_] != u')')
                name += t_[i_++];
        }
        if (name.empty())
            fail("field name expected");
        return name;
    }

    CompareOp parseOperator() {
        skipSpace();
        auto at = [&](size_t k) {
            return i_ + k < t_.size() ? t_[i_ + k] : u'\0';
        };
        if (at(0) == u'<' && at(1) == u'=')
            return i_ += 2, CompareOp::LessEqual;
        if (at(0) == u'>' && at(1) == u'=')
            return i_ += 2, CompareOp::GreaterEqual;
        if (at(0) == u'<' && at(1) == u'>')
            return i_ += 2, CompareOp::NotEqual;
        if (at(0) == u'<')
            return i_ += 1, CompareOp::Less;
        if (at(0) == u'>')
            return i_ += 1, CompareOp::Greater;
        if (at(0) == u'=')
            return i_ += 1, CompareOp::Equal;
        if (keyword("LIKE"))
            return CompareOp::Like;
        fail("operator expected");
    }

    Variant parseValue() {
        skipSpace();
        if (i_ >= t_.size())
            fail("value expected");
        const char16_t c = t_[i_];
        if (c == u'\'') {
            WideString s;
            ++i_;
            for (;;) {
                if (i_ >= t_.size())
                    fail("unterminated text");
                if (t_[i_] == u'\'') {
                    if (i_ + 1 < t_.size() && t_[i_ + 1] == u'\'') {
                        s += u'\'';
                        i_ += 2;
                        continue;
                    }
                    ++i_;
                    return Variant(s);
                }
                s += t_[i_++];
            }
        }
        if (c == u'#') {
            const size_t close = t_.find(u'#', i_ + 1);
            if (close == WideString::npos)
                fail("unterminated #");
            const WideString inner = t_.substr(i_ + 1, close - i_ - 1);
            i_ = close + 1;
            if (auto d = parseDate(inner))
                return Variant(*d);
            return Variant(inner);
        }
        if (keyword("NULL"))
            return Variant::null();
        // A bare number.
        std::string digits;
        while (i_ < t_.size() && !isSpace(t_[i_]) && t_[i_] != u')') {
            const char16_t d = t_[i_];
            if (!((d >= u'0' && d <= u'9') || d == u'.' || d == u'-' || d == u'+' || d == u'e' ||
                  d == u'E'))
                fail("value expected");
            digits += static_cast<char>(d);
            ++i_;
        }
        if (digits.empty())
            fail("value expected");
        char* end = nullptr;
        if (digits.find_first_of(".eE") == std::string::npos) {
            const long long v = std::strtoll(digits.c_str(), &end, 10);
            if (*end == 0)
                return Variant(static_cast<int64_t>(v));
        }
        const double d = std::strtod(digits.c_str(), &end);
        if (*end != 0)
            fail("number expected");
        return Variant(d);
    }

    Clause parseClause() {
        Clause clause;
        clause.field = parseFieldName();
        clause.op = parseOperator();
        clause.value = parseValue();
        if (clause.op == CompareOp::Like) {
            if (!clause.value.is<WideString>())
                fail("LIKE needs a text pattern");
            WideString pattern = clause.value.get<WideString>();
            auto wild = [](char16_t ch) {
                return ch == u'*' || ch == u'%';
            };
            if (!pattern.empty() && wild(pattern.back())) {
                clause.likeSuffixWildcard = true;
                pattern.pop_back();
            }
            if (!pattern.empty() && wild(pattern.front())) {
                if (!clause.likeSuffixWildcard)
                    fail("a LIKE wildcard may stand only at the end or at both ends");
                clause.likePrefixWildcard = true;
                pattern.erase(0, 1);
            }
            for (char16_t ch : pattern)
                if (wild(ch))
                    fail("a LIKE wildcard may stand only at the end or at both ends");
            clause.value = Variant(pattern);
        }
        return clause;
    }
};

int sign(double d) {
    return d < 0 ? -1 : (d > 0 ? 1 : 0);
}

bool isNumeric(const Variant& v) {
    return v.is<bool>() || v.is<int64_t>() || v.is<double>() || v.is<Decimal>();
}

bool opHolds(CompareOp op, int cmp) {
    switch (op) {
    case CompareOp::Less:
        return cmp < 0;
    case CompareOp::Greater:
        return cmp > 0;
    case CompareOp::LessEqual:
        return cmp <= 0;
    case CompareOp::GreaterEqual:
        return cmp >= 0;
    case CompareOp::NotEqual:
        return cmp != 0;
    case CompareOp::Equal:
        return cmp == 0;
    case CompareOp::Like:
        return cmp == 0;
    }
    return false;
}

} // namespace

Criterion Criterion::parseFilter(const WideString& text) {
    Criterion c;
    c.groups_ = Parser(text).parseAll();
    return c;
}

Criterion Criterion::parseFind(const WideString& text) {
    Criterion c = parseFilter(text);
    if (c.groups_.size() != 1 || c.groups_[0].size() != 1)
        throw CriterionError("Find takes a single clause: " + narrow(text));
    return c;
}

void Criterion::bind(const std::function<int(const WideString&)>& columnOf) {
    columns_.clear();
    for (const auto& group : groups_) {
        std::vector<int> cols;
        for (const auto& clause : group) {
            const int col = columnOf(clause.field);
            if (col < 0)
                throw CriterionError("Unknown field in criterion: " + narrow(clause.field));
            cols.push_back(col);
        }
        columns_.push_back(std::move(cols));
    }
}

bool Criterion::matches(const ValueAt& valueAt) const {
    for (size_t g = 0; g < groups_.size(); ++g) {
        bool all = true;
        for (size_t k = 0; k < groups_[g].size() && all; ++k)
            all = compareValues(valueAt(columns_[g][k]), groups_[g][k].op, groups_[g][k]);
        if (all)
            return true;
    }
    return false;
}

bool compareValues(const Variant& value, CompareOp op, const Clause& clause) {
    const Variant& operand = clause.value;
    if (operand.isNull())
        return op == CompareOp::Equal ? value.isBlank()
                                      : (op == CompareOp::NotEqual && !value.isBlank());
    if (value.isBlank())
        return false;
    if (op == CompareOp::Like) {
        const WideString v = upperText(textOf(value));
        const WideString p = upperText(operand.get<WideString>());
        if (clause.likePrefixWildcard)
            return v.find(p) != WideString::npos;
        if (clause.likeSuffixWildcard)
            return v.compare(0, p.size(), p) == 0 && v.size() >= p.size();
        return v == p;
    }
    if (value.is<DateTime>()) {
        std::optional<DateTime> d;
        if (operand.is<DateTime>())
            d = operand.get<DateTime>();
        else if (operand.is<WideString>())
            d = parseDate(operand.get<WideString>());
        if (d) {
            const auto& v = value.get<DateTime>();
            return opHolds(op, v < *d ? -1 : (*d < v ? 1 : 0));
        }
    }
    if (isNumeric(value) || isNumeric(operand)) {
        if (value.is<int64_t>() && operand.is<int64_t>()) {
            const int64_t a = value.get<int64_t>(), b = operand.get<int64_t>();
            return opHolds(op, a < b ? -1 : (a > b ? 1 : 0));
        }
        const auto a = numberOf(value), b = numberOf(operand);
        if (a && b)
            return opHolds(op, sign(*a - *b));
        if (isNumeric(value))
            throw CriterionError("The criterion's value does not fit the field's type: " +
                                 narrow(textOf(operand)));
    }
    return opHolds(op, compareTextNoCase(textOf(value), textOf(operand)));
}

int compareForSort(const Variant& a, const Variant& b) {
    if (a.isBlank() || b.isBlank())
        return (a.isBlank() ? 0 : 1) - (b.isBlank() ? 0 : 1);
    if (a.is<int64_t>() && b.is<int64_t>()) {
        const int64_t x = a.get<int64_t>(), y = b.get<int64_t>();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    if (a.is<DateTime>() && b.is<DateTime>()) {
        const auto& x = a.get<DateTime>();
        const auto& y = b.get<DateTime>();
        return x < y ? -1 : (y < x ? 1 : 0);
    }
    if (isNumeric(a) && isNumeric(b)) {
        const auto x = numberOf(a), y = numberOf(b);
        if (x && y)
            return sign(*x - *y);
    }
    if (a.is<WideString>() && b.is<WideString>())
        return compareTextNoCase(a.get<WideString>(), b.get<WideString>());
    return compareTextNoCase(textOf(a), textOf(b));
}

} // namespace ado
