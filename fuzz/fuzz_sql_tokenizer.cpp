// The SELECT tokenizer and the table-name reading built on it, on arbitrary
// statement text (bytes in the process ANSI code page). Properties:
// - the tokenizer ends: stEnd comes within one call per character and then on
//   every call; each other token is a non-empty piece of the text, the pieces in
//   order and not overlapping; a table name follows FROM, a name has parts;
// - TableNameFromSelect answers a table name the tokenizer read after FROM (or
//   the whole text when it holds no blank), and reading
//   "SELECT * FROM <answer>" again gives the same answer;
// - any text, bracketed with "]" doubled, reads back as one name of one part
//   holding exactly that text, wherever it stands in a statement: no keyword,
//   quote or comment inside a bracketed name is ever seen as one;
// - the plain select columns come in increasing positions and name a column.
#include "data/SqlTokenizer.h"
#include "data/TntLXAdoDataSet.h"
#include "fuzz/FuzzCheck.h"
#include "platform/CodePageConv.h"

#include <vector>

namespace {

using platform::AnsiString;
using platform::WideString;
using tnt::TSqlToken;
using tnt::TSqlTokenizer;

struct Token {
    TSqlToken kind;
    WideString text;
};

std::vector<Token> tokensOf(const WideString& text) {
    TSqlTokenizer tokens(text);
    std::vector<Token> all;
    size_t from = 0;
    for (size_t calls = 0;; ++calls) {
        FUZZ_CHECK(calls <= text.size(), "the tokenizer reaches the end");
        const TSqlToken kind = tokens.Next();
        if (kind == TSqlToken::stEnd) {
            FUZZ_CHECK(tokens.Text().empty(), "the end has no text");
            break;
        }
        const WideString& piece = tokens.Text();
        FUZZ_CHECK(!piece.empty(), "a token has text");
        const size_t at = text.find(piece, from);
        FUZZ_CHECK(at != WideString::npos, "a token is a piece of the text, in order");
        from = at + piece.size();
        if (kind == TSqlToken::stTableName)
            FUZZ_CHECK(!all.empty() && all.back().kind == TSqlToken::stFrom,
                       "a table name follows FROM");
        if (kind == TSqlToken::stName || kind == TSqlToken::stTableName)
            FUZZ_CHECK(!tokens.NameParts().empty(), "a name has parts");
        all.push_back({kind, piece});
    }
    FUZZ_CHECK(tokens.Next() == TSqlToken::stEnd && tokens.Next() == TSqlToken::stEnd,
               "the end stays the end");
    return all;
}

bool hasBlank(const WideString& text) {
    for (char16_t c : text)
        if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n')
            return true;
    return false;
}

WideString bracketed(const WideString& name) {
    WideString out = u"[";
    for (char16_t c : name) {
        out += c;
        if (c == u']')
            out += u']';
    }
    return out + u"]";
}

void checkTableName(const AnsiString& statement, const std::vector<Token>& tokens) {
    const WideString table = tnt::TTntADODataSetLX::TableNameFromSelect(statement);
    const WideString wide = platform::AnsiToWide(statement);
    if (!hasBlank(wide)) {
        FUZZ_CHECK(table == wide, "a text without blanks is a table name");
        return;
    }
    if (table.empty())
        return;
    bool read = false;
    for (const Token& t : tokens)
        read = read || (t.kind == TSqlToken::stTableName && t.text == table);
    FUZZ_CHECK(read, "the table name is one the tokenizer read after FROM");
    const AnsiString again = "SELECT * FROM " + platform::WideToAnsi(table);
    if (platform::AnsiToWide(platform::WideToAnsi(table)) == table)
        FUZZ_CHECK(tnt::TTntADODataSetLX::TableNameFromSelect(again) == table,
                   "the table name reads back");
}

void checkBracketedName(const WideString& name) {
    const WideString quoted = bracketed(name);
    const WideString statement = u"SELECT " + quoted + u" FROM " + quoted + u" WHERE 1=0";
    TSqlTokenizer tokens(statement);
    FUZZ_CHECK(tokens.Next() == TSqlToken::stSelect, "SELECT opens the statement");
    FUZZ_CHECK(tokens.Next() == TSqlToken::stName && tokens.Text() == quoted,
               "a bracketed column is one name");
    FUZZ_CHECK(tokens.NameParts() == std::vector<WideString>{name}, "the column reads back");
    FUZZ_CHECK(tokens.Next() == TSqlToken::stFrom, "FROM follows the bracketed column");
    FUZZ_CHECK(tokens.Next() == TSqlToken::stTableName && tokens.Text() == quoted,
               "a bracketed table is one name");
    FUZZ_CHECK(tokens.NameParts() == std::vector<WideString>{name}, "the table reads back");
    FUZZ_CHECK(tokens.Next() == TSqlToken::stWhere, "WHERE follows the bracketed table");

    std::vector<tnt::TSelectColumn> columns;
    bool star = true;
    FUZZ_CHECK(tnt::PlainSelectColumns(statement, columns, star), "the select list is read");
    if (!name.empty())
        FUZZ_CHECK(!star && columns.size() == 1 && columns[0].Position == 0 &&
                       columns[0].Column == name,
                   "the bracketed column is the one plain column");
}

void checkSelectColumns(const WideString& statement) {
    std::vector<tnt::TSelectColumn> columns;
    bool star = false;
    if (!tnt::PlainSelectColumns(statement, columns, star))
        return;
    FUZZ_CHECK(!star || columns.empty(), "a lone star names no columns");
    for (size_t i = 0; i < columns.size(); ++i) {
        FUZZ_CHECK(!columns[i].Column.empty(), "a plain column has a name");
        FUZZ_CHECK(i == 0 || columns[i].Position > columns[i - 1].Position,
                   "columns come in increasing positions");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const AnsiString statement(reinterpret_cast<const char*>(data), size);
    const WideString wide = platform::AnsiToWide(statement);
    const std::vector<Token> tokens = tokensOf(wide);
    checkTableName(statement, tokens);
    checkBracketedName(wide);
    checkSelectColumns(wide);
    return 0;
}
