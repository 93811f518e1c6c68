#pragma once
// ADO's criterion language, as Filter and Find accept it:
//   clause   := field op value          op: < > <= >= <> = LIKE
//   field    := name | [name with blanks]
//   value    := 'text' (quote doubled inside) | #date# | #text# | number | Null
//   filter   := and-group (OR and-group)*    and-group := term (AND term)*
//   term     := clause | ( filter )
// AND and OR have no precedence over each other in ADO's words; what that means in
// practice is that a filter is an OR of AND-groups: a parenthesised group holding
// OR may not be AND'ed to anything, and such a filter is rejected. LIKE accepts
// the wildcard * or % only at the end of the pattern or at both ends.
// Text compares without regard to case; a field compared with Null matches only
// with = (is null) or <> (is not null).
#include "data/ado/Variant.h"

#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

namespace ado {

/// A criterion that does not follow the grammar; its message says where.
class CriterionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class CompareOp { Less, Greater, LessEqual, GreaterEqual, NotEqual, Equal, Like };

/// One "field op value" comparison.
struct Clause {
    WideString field;
    CompareOp op = CompareOp::Equal;
    Variant value; ///< WideString, int64_t, double, DateTime or Null
    /// For LIKE: where the wildcards stood.
    bool likePrefixWildcard = false, likeSuffixWildcard = false;
};

/// A parsed filter: an OR of AND-groups of clauses (a single clause for Find).
class Criterion {
public:
    /// Parses a Filter text. Throws CriterionError on text the grammar rejects.
    static Criterion parseFilter(const WideString& text);
    /// Parses a Find text: exactly one clause. Throws CriterionError otherwise.
    static Criterion parseFind(const WideString& text);

    /// The groups: the criterion holds when every clause of some group holds.
    const std::vector<std::vector<Clause>>& groups() const { return groups_; }

    /// Looks a field's value up by the column index resolved by bind().
    using ValueAt = std::function<Variant(int column)>;
    /// Resolves field names to column indexes; throws CriterionError for an unknown name.
    void bind(const std::function<int(const WideString& name)>& columnOf);
    /// Whether a row passes; bind() first.
    bool matches(const ValueAt& valueAt) const;

private:
    std::vector<std::vector<Clause>> groups_;
    std::vector<std::vector<int>> columns_;
};

/// Whether one value satisfies "value op operand" with the rules above.
bool compareValues(const Variant& value, CompareOp op, const Clause& clause);

/// Orders two field values the way Sort does: null and empty first, numbers by value,
/// text without regard to case. Negative, zero or positive.
int compareForSort(const Variant& a, const Variant& b);

} // namespace ado
