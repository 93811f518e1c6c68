#include "standin/engine/Tokenizer.h"

#include "standin/engine/SqlError.h"
#include "standin/engine/Text.h"

#include <cctype>

namespace standin::engine {

bool Token::isWord(std::string_view word) const {
    return kind == TokenKind::Name && iequals(text, word);
}

namespace {

bool isNameStart(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '#' || c >= 0x80;
}
bool isNameChar(unsigned char c) {
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '$' || c == '@';
}
bool isDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

/// Reads a literal closed by `close`, where a doubled `close` stands for one.
size_t readQuoted(std::string_view sql, size_t i, char close, std::string& out) {
    for (;;) {
        if (i >= sql.size())
            return std::string_view::npos;
        if (sql[i] == close) {
            if (i + 1 < sql.size() && sql[i + 1] == close) {
                out += close;
                i += 2;
                continue;
            }
            return i + 1;
        }
        out += sql[i++];
    }
}

} // namespace

std::vector<Token> tokenize(std::string_view sql) {
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < sql.size()) {
        auto c = static_cast<unsigned char>(sql[i]);
        if (c <= ' ') {
            ++i;
            continue;
        }
        if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            while (i < sql.size() && sql[i] != '\n')
                ++i;
            continue;
        }
        if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            int depth = 0;
            do {
                if (sql.compare(i, 2, "/*") == 0) {
                    ++depth;
                    i += 2;
                } else if (sql.compare(i, 2, "*/") == 0) {
                    --depth;
                    i += 2;
                } else {
                    ++i;
                }
            } while (depth > 0 && i < sql.size());
            if (depth > 0)
                throw SqlError(113, "Missing end comment mark '*/'.", 15);
            continue;
        }
        Token t;
        t.offset = i;
        if ((c == 'N' || c == 'n') && i + 1 < sql.size() && sql[i + 1] == '\'') {
            t.kind = TokenKind::NString;
            i = readQuoted(sql, i + 2, '\'', t.text);
            if (i == std::string_view::npos)
                throw SqlError(
                    105, "Unclosed quotation mark after the character string '" + t.text + "'.",
                    15);
        } else if (c == '\'') {
            t.kind = TokenKind::String;
            i = readQuoted(sql, i + 1, '\'', t.text);
            if (i == std::string_view::npos)
                throw SqlError(
                    105, "Unclosed quotation mark after the character string '" + t.text + "'.",
                    15);
        } else if (c == '[') {
            t.kind = TokenKind::QuotedName;
            i = readQuoted(sql, i + 1, ']', t.text);
            if (i == std::string_view::npos)
                throw SqlError(
                    105, "Unclosed quotation mark after the character string '" + t.text + "'.",
                    15);
        } else if (c == '"') {
            t.kind = TokenKind::QuotedName;
            i = readQuoted(sql, i + 1, '"', t.text);
            if (i == std::string_view::npos)
                throw SqlError(
                    105, "Unclosed quotation mark after the character string '" + t.text + "'.",
                    15);
        } else if (c == '0' && i + 1 < sql.size() && (sql[i + 1] == 'x' || sql[i + 1] == 'X')) {
            t.kind = TokenKind::Binary;
            i += 2;
            while (i < sql.size() && std::isxdigit(static_cast<unsigned char>(sql[i])))
                t.text += sql[i++];
        } else if (isDigit(c) || (c == '.' && i + 1 < sql.size() && isDigit(sql[i + 1]))) {
            t.kind = TokenKind::Number;
            while (i < sql.size() && (isDigit(sql[i]) || sql[i] == '.'))
                t.text += sql[i++];
            if (i < sql.size() && (sql[i] == 'e' || sql[i] == 'E')) {
                size_t j = i + 1;
                if (j < sql.size() && (sql[j] == '+' || sql[j] == '-'))
                    ++j;
                if (j < sql.size() && isDigit(sql[j])) {
                    t.text.append(sql.substr(i, j - i));
                    i = j;
                    while (i < sql.size() && isDigit(sql[i]))
                        t.text += sql[i++];
                }
            }
        } else if (c == '@') {
            t.kind = TokenKind::Variable;
            t.text += sql[i++];
            if (i < sql.size() && sql[i] == '@')
                t.text += sql[i++];
            while (i < sql.size() && isNameChar(static_cast<unsigned char>(sql[i])))
                t.text += sql[i++];
        } else if (isNameStart(c)) {
            t.kind = TokenKind::Name;
            while (i < sql.size() && isNameChar(static_cast<unsigned char>(sql[i])))
                t.text += sql[i++];
        } else {
            t.kind = TokenKind::Symbol;
            static const char* twoChar[] = {"<>", "!=", ">=", "<=", "!<", "!>", "||"};
            t.text = std::string(1, char(c));
            for (const char* op : twoChar)
                if (sql.compare(i, 2, op) == 0)
                    t.text = op;
            i += t.text.size();
        }
        // SQLite would end the statement's text at a NUL inside a quoted name.
        if (t.kind == TokenKind::QuotedName && t.text.find('\0') != std::string::npos)
            throw SqlError(
                102, "Incorrect syntax near '" + t.text.substr(0, t.text.find('\0')) + "'.", 15);
        tokens.push_back(std::move(t));
    }
    return tokens;
}

} // namespace standin::engine
