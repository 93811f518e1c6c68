#include "data/SqlTokenizer.h"

#include "data/ado/ValueText.h"

namespace tnt {

using platform::WideString;

namespace {

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f' || c == u'\v';
}

bool IsNameStart(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u'@' ||
           c == u'#' || c >= 0x80;
}

bool IsNameChar(char16_t c) {
    return IsNameStart(c) || (c >= u'0' && c <= u'9') || c == u'$';
}

bool IsWord(const WideString& text, const char16_t* word) {
    return ado::compareTextNoCase(text, word) == 0;
}

} // namespace

void TSqlTokenizer::SkipBlanksAndComments() {
    for (;;) {
        while (FPos < FText.size() && IsBlank(FText[FPos]))
            ++FPos;
        if (FText.compare(FPos, 2, u"--") == 0) {
            while (FPos < FText.size() && FText[FPos] != u'\n')
                ++FPos;
        } else if (FText.compare(FPos, 2, u"/*") == 0) {
            const size_t close = FText.find(u"*/", FPos + 2);
            FPos = close == WideString::npos ? FText.size() : close + 2;
        } else {
            return;
        }
    }
}

bool TSqlTokenizer::ReadNamePart() {
    if (FPos >= FText.size())
        return false;
    const char16_t c = FText[FPos];
    if (c == u'[' || c == u'"') {
        // A closing bracket or quote written twice stands for itself.
        const char16_t close = c == u'[' ? u']' : u'"';
        WideString part;
        size_t i = FPos + 1;
        for (; i < FText.size(); ++i) {
            if (FText[i] == close) {
                if (i + 1 < FText.size() && FText[i + 1] == close) {
                    part += close;
                    ++i;
                    continue;
                }
                break;
            }
            part += FText[i];
        }
        FPos = i < FText.size() ? i + 1 : i;
        FParts.push_back(part);
        return true;
    }
    if (!IsNameStart(c))
        return false;
    const size_t start = FPos;
    while (FPos < FText.size() && IsNameChar(FText[FPos]))
        ++FPos;
    FParts.push_back(FText.substr(start, FPos - start));
    return true;
}

TSqlToken TSqlTokenizer::Next() {
    FParts.clear();
    SkipBlanksAndComments();
    const size_t start = FPos;
    TSqlToken kind = TSqlToken::stOther;
    if (FPos >= FText.size()) {
        FToken.clear();
        return FPrevious = TSqlToken::stEnd;
    }
    const char16_t c = FText[FPos];
    const bool nationalText =
        (c == u'N' || c == u'n') && FPos + 1 < FText.size() && FText[FPos + 1] == u'\'';
    if (c == u'\'' || nationalText) {
        FPos += nationalText ? 2 : 1;
        while (FPos < FText.size()) {
            if (FText[FPos++] == u'\'') {
                if (FPos < FText.size() && FText[FPos] == u'\'') {
                    ++FPos;
                    continue;
                }
                break;
            }
        }
    } else if (c == u',') {
        ++FPos;
        kind = TSqlToken::stComma;
    } else if (c == u'*') {
        ++FPos;
        kind = TSqlToken::stStar;
    } else if (ReadNamePart()) {
        const bool quoted = c == u'[' || c == u'"';
        // Qualified names: db.schema.table, db..table, [a b].c.
        while (FPos < FText.size() && FText[FPos] == u'.') {
            ++FPos;
            if (FPos < FText.size() && FText[FPos] == u'.') {
                FParts.push_back(WideString());
                continue;
            }
            if (!ReadNamePart())
                FParts.push_back(WideString());
        }
        kind = TSqlToken::stName;
        if (!quoted && FParts.size() == 1) {
            const WideString& word = FParts.front();
            if (IsWord(word, u"SELECT")) {
                kind = TSqlToken::stSelect;
            } else if (IsWord(word, u"FROM")) {
                kind = TSqlToken::stFrom;
            } else if (IsWord(word, u"WHERE")) {
                kind = TSqlToken::stWhere;
            } else if (IsWord(word, u"ORDER")) {
                const size_t after = FPos;
                SkipBlanksAndComments();
                const size_t byStart = FPos;
                while (FPos < FText.size() && IsNameChar(FText[FPos]))
                    ++FPos;
                if (IsWord(FText.substr(byStart, FPos - byStart), u"BY"))
                    kind = TSqlToken::stOrderBy;
                else
                    FPos = after;
            }
        }
        if (kind == TSqlToken::stName && FPrevious == TSqlToken::stFrom)
            kind = TSqlToken::stTableName;
    } else if (c >= u'0' && c <= u'9') {
        while (FPos < FText.size() && (IsNameChar(FText[FPos]) || FText[FPos] == u'.'))
            ++FPos;
    } else {
        ++FPos;
    }
    FToken = FText.substr(start, FPos - start);
    return FPrevious = kind;
}

bool PlainSelectColumns(const WideString& statement, std::vector<TSelectColumn>& columns,
                        bool& star) {
    columns.clear();
    star = false;
    TSqlTokenizer tokens(statement);
    if (tokens.Next() != TSqlToken::stSelect)
        return false;
    int position = 0;
    int itemTokens = 0;
    bool itemIsName = false, itemIsStar = false, sawStar = false;
    WideString column;
    auto endItem = [&] {
        if (itemTokens == 1 && itemIsName)
            columns.push_back({position, column});
        sawStar = sawStar || (itemTokens == 1 && itemIsStar);
        ++position;
        itemTokens = 0;
        itemIsName = itemIsStar = false;
    };
    int depth = 0;
    for (;;) {
        const TSqlToken t = tokens.Next();
        if (t == TSqlToken::stEnd)
            return false;
        if (depth == 0 && t == TSqlToken::stFrom)
            break;
        if (tokens.Text() == u"(")
            ++depth;
        else if (tokens.Text() == u")")
            --depth;
        if (depth == 0 && t == TSqlToken::stComma) {
            endItem();
            continue;
        }
        ++itemTokens;
        itemIsName = t == TSqlToken::stName && !tokens.NameParts().empty() &&
                     !tokens.NameParts().back().empty();
        itemIsStar = t == TSqlToken::stStar;
        if (itemIsName)
            column = tokens.NameParts().back();
    }
    endItem();
    if (sawStar) {
        // "*" among other items shifts the positions of everything after it.
        star = position == 1;
        columns.clear();
        return star;
    }
    return true;
}

} // namespace tnt
