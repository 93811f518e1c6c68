#pragma once
// Splits T-SQL text into tokens: names (plain, [bracketed] or "quoted"),
// string literals ('..' and N'..', quotes undoubled), numbers, binary
// literals (0x..), @variables and @@globals, and operator symbols. Comments
// and white space are dropped. Every token keeps its offset in the text so a
// statement's source can be cut out again.
#include <string>
#include <string_view>
#include <vector>

namespace standin::engine {

enum class TokenKind { Name, QuotedName, String, NString, Number, Binary, Variable, Symbol };

struct Token {
    TokenKind kind = TokenKind::Symbol;
    std::string text; ///< names unquoted, strings undoubled, symbols as written
    size_t offset = 0;

    bool isName() const { return kind == TokenKind::Name || kind == TokenKind::QuotedName; }
    /// True for an unquoted name equal to `word` regardless of case.
    bool isWord(std::string_view word) const;
    bool isSymbol(std::string_view s) const { return kind == TokenKind::Symbol && text == s; }
};

/// Tokenizes `sql` (UTF-8). Throws SqlError for an unterminated literal or name.
std::vector<Token> tokenize(std::string_view sql);

} // namespace standin::engine
