#pragma once
// A small tokenizer for the head of a SELECT statement: enough to tell whether
// a statement reads exactly one table, and which. Each token is classed in the
// light of the one before it: the name after FROM is a table name, "ORDER"
// followed by "BY" is one ORDER BY token. Quoted texts, [bracketed] and
// "quoted" names and comments are single tokens (comments are skipped), so a
// keyword inside them is never taken for one.
#include "platform/Strings.h"

#include <vector>

namespace tnt {

enum class TSqlToken {
    stSelect,
    stFrom,
    stTableName,
    stWhere,
    stOrderBy,
    stEnd,
    stComma,
    stStar,
    stName,  ///< a plain or qualified name (a.b, [a b].c) elsewhere than after FROM
    stOther, ///< numbers, texts, operators, parentheses, other keywords
};

class TSqlTokenizer {
public:
    explicit TSqlTokenizer(const platform::WideString& text) : FText(text) {}

    /// Reads the next token; stEnd at the end of the text, and every time after it.
    TSqlToken Next();
    /// The text of the token last read, as written.
    const platform::WideString& Text() const { return FToken; }
    /// For names: the parts without their brackets or quotes ("a b", "c").
    const std::vector<platform::WideString>& NameParts() const { return FParts; }

private:
    void SkipBlanksAndComments();
    bool ReadNamePart();

    platform::WideString FText;
    size_t FPos = 0;
    TSqlToken FPrevious = TSqlToken::stOther;
    platform::WideString FToken;
    std::vector<platform::WideString> FParts;
};

/// One item of a SELECT list that names a column of its table as it stands.
struct TSelectColumn {
    int Position = 0;            ///< the result column it becomes, from 0
    platform::WideString Column; ///< the table's column it reads
};

/// For "SELECT a, [b c], * ... FROM t": the plain column items of the select list.
/// `star` is set when the list is exactly "*". Items that are expressions, have an
/// alias or follow a "*" among other items are left out; false when the text is
/// not a SELECT whose list can be read.
bool PlainSelectColumns(const platform::WideString& statement, std::vector<TSelectColumn>& columns,
                        bool& star);

} // namespace tnt
