#include "standin/engine/Translator.h"

#include "standin/engine/SqlError.h"
#include "standin/engine/Text.h"

#include <set>

namespace standin::engine {
namespace {

const std::set<std::string> kStarters = {
    "SELECT", "INSERT",  "UPDATE",   "DELETE",    "USE",    "SET",    "PRINT",   "WAITFOR",
    "BEGIN",  "COMMIT",  "ROLLBACK", "SAVE",      "CREATE", "DROP",   "ALTER",   "TRUNCATE",
    "EXEC",   "EXECUTE", "DECLARE",  "IF",        "WHILE",  "RETURN", "GO",      "END",
    "GRANT",  "REVOKE",  "DBCC",     "RAISERROR", "DENY",   "BACKUP", "RESTORE", "CHECKPOINT"};

bool isStarter(const Token& t) {
    return t.kind == TokenKind::Name && kStarters.count(upperAscii(t.text)) > 0;
}

class Rewriter {
public:
    Rewriter(TokenSpan tokens, const TranslateContext& context) : t_(tokens), ctx_(context) {}

    Translation run() {
        Translation out;
        size_t i = 0;
        if (!t_.empty() && t_[0].isWord("DELETE") && t_.size() > 1 && !t_[1].isWord("FROM")) {
            emit("DELETE FROM");
            i = 1;
        } else if (!t_.empty() && t_[0].isWord("INSERT") && t_.size() > 1 &&
                   !t_[1].isWord("INTO")) {
            emit("INSERT INTO");
            i = 1;
        }
        out.sql = translateRange(i, t_.size(), true, &out);
        return out;
    }

private:
    void emit(const std::string& s) {
        if (!sql_.empty() && needsSpace(sql_.back(), s.front()))
            sql_ += ' ';
        sql_ += s;
    }
    static bool needsSpace(char a, char b) {
        if (a == '(' || b == ')' || b == ',' || a == '.' || b == '.')
            return false;
        return true;
    }

    /// Translates tokens [begin, end) into a fresh string.
    std::string translateRange(size_t begin, size_t end, bool outermost, Translation* out) {
        std::string saved = std::move(sql_);
        sql_.clear();
        int depth = 0;
        // A pending LIMIT per parenthesis depth, from TOP.
        std::vector<std::string> limits(1);
        bool inSelectList = false;
        std::string currentItem;
        size_t itemStart = 0;
        for (size_t i = begin; i < end; ++i) {
            const Token& tok = t_[i];
            if (outermost && depth == 0 && tok.isWord("SELECT") && out->selectItems.empty() &&
                !inSelectList) {
                emit("SELECT");
                inSelectList = true;
                // DISTINCT / TOP belong to the keyword, not to the first item.
                while (i + 1 < end && (t_[i + 1].isWord("DISTINCT") || t_[i + 1].isWord("ALL"))) {
                    emit(upperAscii(t_[++i].text));
                }
                if (i + 1 < end && t_[i + 1].isWord("TOP"))
                    i = readTop(i + 1, end, limits[0]);
                itemStart = sql_.size();
                continue;
            }
            if (tok.isWord("SELECT") && i + 1 < end) {
                emit("SELECT");
                while (i + 1 < end && (t_[i + 1].isWord("DISTINCT") || t_[i + 1].isWord("ALL")))
                    emit(upperAscii(t_[++i].text));
                if (i + 1 < end && t_[i + 1].isWord("TOP"))
                    i = readTop(i + 1, end, limits[size_t(depth)]);
                continue;
            }
            if (outermost && inSelectList && depth == 0 &&
                (tok.isSymbol(",") || tok.isWord("FROM") || tok.isWord("INTO") ||
                 tok.isWord("WHERE") || tok.isWord("ORDER") || tok.isWord("GROUP") ||
                 tok.isWord("UNION") || tok.isWord("HAVING"))) {
                std::string item = sql_.substr(itemStart);
                while (!item.empty() && item.front() == ' ')
                    item.erase(0, 1);
                out->selectItems.push_back(item);
                if (tok.isSymbol(",")) {
                    emit(",");
                    itemStart = sql_.size();
                    continue;
                }
                inSelectList = false;
                if (tok.isWord("INTO"))
                    throw SqlError(50000, "SELECT INTO is not supported by this server.");
                if (tok.isWord("FROM")) {
                    sql_ += ' ';
                    out->fromOffset = sql_.size();
                }
            }
            if (tok.isSymbol("(")) {
                ++depth;
                limits.emplace_back();
                emit("(");
                continue;
            }
            if (tok.isSymbol(")")) {
                if (depth > 0) {
                    if (!limits.back().empty())
                        emit("LIMIT " + limits.back());
                    limits.pop_back();
                    --depth;
                }
                emit(")");
                continue;
            }
            i = translateToken(i, end);
        }
        if (outermost && inSelectList) {
            std::string item = sql_.substr(itemStart);
            while (!item.empty() && item.front() == ' ')
                item.erase(0, 1);
            out->selectItems.push_back(item);
        }
        if (!limits[0].empty())
            emit("LIMIT " + limits[0]);
        std::string result = std::move(sql_);
        sql_ = std::move(saved);
        return result;
    }

    /// Reads "TOP n" or "TOP (n)" at i; returns the index of its last token.
    size_t readTop(size_t i, size_t end, std::string& limit) {
        if (i + 1 >= end)
            throw syntaxError("TOP");
        if (t_[i + 1].kind == TokenKind::Number) {
            limit = t_[i + 1].text;
            i += 1;
        } else if (t_[i + 1].isSymbol("(") && i + 3 < end && t_[i + 3].isSymbol(")") &&
                   (t_[i + 2].kind == TokenKind::Number || t_[i + 2].kind == TokenKind::Variable)) {
            limit = t_[i + 2].text;
            i += 3;
        } else {
            throw syntaxError(t_[i + 1].text);
        }
        if (i + 1 < end && t_[i + 1].isWord("PERCENT"))
            throw SqlError(50000, "TOP PERCENT is not supported by this server.");
        if (i + 2 < end && t_[i + 1].isWord("WITH") && t_[i + 2].isWord("TIES"))
            throw SqlError(50000, "TOP WITH TIES is not supported by this server.");
        return i;
    }

    bool isTextOperand(size_t i) const {
        if (isStringLiteral(i))
            return true;
        return i < t_.size() && t_[i].isName() && ctx_.isTextColumn &&
               ctx_.isTextColumn(t_[i].text);
    }

    /// '+' joins text when an operand next to it is a string literal or a
    /// character column, and neither is a number.
    bool concatenates(size_t i) const {
        size_t next = i + 1;
        while (next + 2 < t_.size() && t_[next + 1].isSymbol(".") && t_[next + 2].isName())
            next += 2;
        const bool numberNear = (i > 0 && t_[i - 1].kind == TokenKind::Number) ||
                                (i + 1 < t_.size() && t_[i + 1].kind == TokenKind::Number);
        if (numberNear)
            return false;
        return (i > 0 && isTextOperand(i - 1)) || isTextOperand(next);
    }

    bool isDateName(size_t i) const {
        return i < t_.size() && t_[i].isName() && ctx_.isDateColumn &&
               ctx_.isDateColumn(t_[i].text);
    }

    /// A literal on one side of a comparison (or BETWEEN) whose other side is a date column.
    bool comparedWithDate(size_t i) const {
        auto isComparison = [&](size_t k) {
            if (k >= t_.size() || t_[k].kind != TokenKind::Symbol)
                return false;
            const std::string& op = t_[k].text;
            return op == "=" || op == "<>" || op == "!=" || op == "<" || op == ">" || op == "<=" ||
                   op == ">=";
        };
        if (i >= 2 && isComparison(i - 1) && isDateName(i - 2))
            return true;
        if (isComparison(i + 1) && isDateName(i + 2))
            return true;
        if (i >= 2 && t_[i - 1].isWord("BETWEEN") && isDateName(i - 2))
            return true;
        if (i >= 4 && t_[i - 1].isWord("AND") && t_[i - 3].isWord("BETWEEN") && isDateName(i - 4))
            return true;
        return false;
    }

    bool isStringLiteral(size_t i) const {
        return i < t_.size() &&
               (t_[i].kind == TokenKind::String || t_[i].kind == TokenKind::NString);
    }

    /// Emits the translation of the token at i (and any it absorbs); returns the last index used.
    size_t translateToken(size_t i, size_t end) {
        const Token& tok = t_[i];
        switch (tok.kind) {
        case TokenKind::String:
        case TokenKind::NString:
            if (comparedWithDate(i))
                emit("__standin_datetime(" + sqliteTextLiteral(tok.text) + ", 0)");
            else
                emit(sqliteTextLiteral(tok.text));
            return i;
        case TokenKind::Number:
            emit(tok.text);
            return i;
        case TokenKind::Binary:
            emit("X'" + (tok.text.size() % 2 ? "0" + tok.text : tok.text) + "'");
            return i;
        case TokenKind::Variable:
            emit(variable(tok));
            return i;
        case TokenKind::Symbol:
            return symbol(i);
        case TokenKind::Name:
        case TokenKind::QuotedName:
            return name(i, end);
        }
        return i;
    }

    std::string variable(const Token& tok) {
        if (tok.text.rfind("@@", 0) != 0)
            return tok.text;
        std::string v = upperAscii(tok.text);
        if (v == "@@ROWCOUNT")
            return std::to_string(ctx_.rowCount);
        if (v == "@@IDENTITY")
            return ctx_.identity ? std::to_string(*ctx_.identity) : "NULL";
        if (v == "@@TRANCOUNT")
            return std::to_string(ctx_.tranCount);
        if (v == "@@ERROR")
            return std::to_string(ctx_.lastError);
        if (v == "@@SPID")
            return "51";
        if (v == "@@VERSION")
            return quoteLiteral("Velkin SQL stand-in 8.00.2039 on SQLite");
        if (v == "@@SERVERNAME")
            return quoteLiteral("VELKIN");
        if (v == "@@LANGUAGE")
            return quoteLiteral("us_english");
        throw SqlError(137, "Must declare the scalar variable \"" + tok.text + "\".", 15, 2);
    }

    size_t symbol(size_t i) {
        const Token& tok = t_[i];
        if (tok.text == "+" && concatenates(i)) {
            emit("||");
            return i;
        }
        if (tok.text == "!<") {
            emit(">=");
            return i;
        }
        if (tok.text == "!>") {
            emit("<=");
            return i;
        }
        if (tok.text == "{" || tok.text == "}" || tok.text == "`")
            throw syntaxError(tok.text);
        emit(tok.text);
        return i;
    }

    /// A multi-part name or a keyword or function name.
    size_t name(size_t i, size_t end) {
        const Token& tok = t_[i];
        // Function calls keep their names; CONVERT and CAST get their types mapped.
        if (tok.kind == TokenKind::Name && i + 1 < end && t_[i + 1].isSymbol("(")) {
            if (tok.isWord("CONVERT"))
                return convert(i, end);
            if (tok.isWord("CAST"))
                return cast(i, end);
            if (tok.isWord("COUNT_BIG")) {
                emit("count");
                return i;
            }
            if (tok.isWord("ISNULL")) { // an operator keyword in SQLite
                emit("ifnull");
                return i;
            }
            emit(tok.text);
            return i;
        }
        if (tok.isWord("WITH") && i + 2 < end && t_[i + 1].isSymbol("(") &&
            (t_[i + 2].isWord("NOLOCK") || t_[i + 2].isWord("READUNCOMMITTED") ||
             t_[i + 2].isWord("ROWLOCK") || t_[i + 2].isWord("UPDLOCK") ||
             t_[i + 2].isWord("HOLDLOCK") || t_[i + 2].isWord("TABLOCK") ||
             t_[i + 2].isWord("READPAST") || t_[i + 2].isWord("TABLOCKX"))) {
            size_t j = i + 2;
            while (j < end && !t_[j].isSymbol(")"))
                ++j;
            return j;
        }
        if (tok.kind == TokenKind::Name && (tok.isWord("NOLOCK")))
            return i;
        // Collect the parts of a dotted name; an empty part is allowed ("db..t").
        std::vector<std::string> parts{tok.text};
        std::vector<bool> quoted{tok.kind == TokenKind::QuotedName};
        size_t j = i;
        while (j + 1 < end && t_[j + 1].isSymbol(".")) {
            if (j + 2 < end && t_[j + 2].isName()) {
                parts.push_back(t_[j + 2].text);
                quoted.push_back(t_[j + 2].kind == TokenKind::QuotedName);
                j += 2;
            } else if (j + 2 < end && t_[j + 2].isSymbol(".")) {
                parts.push_back("");
                quoted.push_back(false);
                j += 1;
            } else if (j + 2 < end && t_[j + 2].isSymbol("*")) {
                parts.push_back("*");
                quoted.push_back(false);
                j += 2;
            } else {
                throw syntaxError(".");
            }
        }
        auto part = [&](size_t k) {
            if (parts[k] == "*")
                return std::string("*");
            return quoted[k] ? quoteIdent(parts[k]) : parts[k];
        };
        if (parts.size() == 1) {
            emit(part(0));
            return j;
        }
        if (parts.size() > 4)
            throw syntaxError(parts.back());
        if (parts.size() == 4) // db.schema.table.column
            parts.erase(parts.begin() + 1), quoted.erase(quoted.begin() + 1),
                parts.erase(parts.begin()), quoted.erase(quoted.begin());
        if (parts.size() == 3) {
            // database.schema.object: the current database needs no prefix.
            std::string db = parts[0];
            if (db.empty() || iequals(db, ctx_.currentDatabase)) {
                emit(part(2));
            } else {
                std::string schema = ctx_.attach(db);
                emit(quoteIdent(schema) + "." + part(2));
            }
            return j;
        }
        if (iequals(parts[0], "dbo") || parts[0].empty()) {
            emit(part(1));
            return j;
        }
        emit(part(0) + "." + part(1));
        return j;
    }

    size_t matchingParen(size_t open, size_t end) const {
        int depth = 0;
        for (size_t k = open; k < end; ++k) {
            if (t_[k].isSymbol("("))
                ++depth;
            else if (t_[k].isSymbol(")") && --depth == 0)
                return k;
        }
        throw syntaxError(t_[end - 1].text);
    }

    /// Reads a type (name and optional "(n[,m])") from i; returns the SQLite type.
    std::string readType(size_t& i, size_t end) {
        if (i >= end || !t_[i].isName())
            throw syntaxError(i < end ? t_[i].text : "(");
        std::string type = sqliteCastType(t_[i].text);
        if (i + 1 < end && t_[i + 1].isSymbol("(")) {
            // A length, precision and scale, or MAX: (n), (p, s), (max). Anything
            // else there (a literal, an expression) is refused, not dropped.
            size_t close = matchingParen(i + 1, end);
            for (size_t k = i + 2; k < close; ++k) {
                const bool argument = (k - i) % 2 == 0;
                const bool fits = argument ? t_[k].kind == TokenKind::Number || t_[k].isWord("MAX")
                                           : t_[k].isSymbol(",");
                if (!fits)
                    throw syntaxError(t_[k].text);
            }
            if (close == i + 2 || (close - i) % 2 != 1)
                throw syntaxError(")");
            i = close;
        }
        return type;
    }

    size_t cast(size_t i, size_t end) {
        size_t close = matchingParen(i + 1, end);
        // Find the AS at depth 1.
        int depth = 0;
        size_t as = close;
        for (size_t k = i + 1; k < close; ++k) {
            if (t_[k].isSymbol("("))
                ++depth;
            else if (t_[k].isSymbol(")"))
                --depth;
            else if (depth == 1 && t_[k].isWord("AS"))
                as = k;
        }
        if (as == close)
            throw syntaxError(")");
        if (as == i + 2)
            throw syntaxError("AS");
        std::string expr = translateRange(i + 2, as, false, nullptr);
        size_t k = as + 1;
        std::string type = readType(k, close);
        if (k + 1 != close)
            throw syntaxError(t_[k + 1].text);
        emit("CAST(" + expr + " AS " + type + ")");
        return close;
    }

    size_t convert(size_t i, size_t end) {
        size_t close = matchingParen(i + 1, end);
        size_t k = i + 2;
        std::string type = readType(k, close);
        if (k + 1 >= close || !t_[k + 1].isSymbol(","))
            throw syntaxError(k + 1 < close ? t_[k + 1].text : ")");
        // The expression runs to a comma at depth 1 (a style) or the close.
        int depth = 0;
        size_t exprEnd = close;
        for (size_t m = k + 2; m < close; ++m) {
            if (t_[m].isSymbol("("))
                ++depth;
            else if (t_[m].isSymbol(")"))
                --depth;
            else if (depth == 0 && t_[m].isSymbol(",")) {
                exprEnd = m;
                break;
            }
        }
        if (exprEnd == k + 2)
            throw syntaxError(t_[exprEnd].text);
        if (exprEnd != close) {
            // The style only shapes dates as text here; it must still be a number.
            if (exprEnd + 1 < close && isStringLiteral(exprEnd + 1))
                throw SqlError(8116, "Argument data type varchar is invalid for argument 3 of "
                                     "convert function.");
            if (exprEnd + 1 == close)
                throw syntaxError(")");
            if (t_[exprEnd + 1].kind != TokenKind::Number)
                throw syntaxError(t_[exprEnd + 1].text);
            if (exprEnd + 2 != close)
                throw syntaxError(t_[exprEnd + 2].text);
        }
        std::string expr = translateRange(k + 2, exprEnd, false, nullptr);
        emit("CAST(" + expr + " AS " + type + ")");
        return close;
    }

    TokenSpan t_;
    const TranslateContext& ctx_;
    std::string sql_;
};

} // namespace

std::string sqliteCastType(const std::string& tsqlType) {
    std::string t = lowerAscii(tsqlType);
    if (t == "int" || t == "smallint" || t == "tinyint" || t == "bigint" || t == "bit" ||
        t == "integer")
        return "INTEGER";
    if (t == "float" || t == "real")
        return "REAL";
    if (t == "decimal" || t == "numeric" || t == "money" || t == "smallmoney")
        return "NUMERIC";
    if (t == "binary" || t == "varbinary" || t == "image")
        return "BLOB";
    return "TEXT";
}

std::vector<TokenSpan> splitBatch(const std::vector<Token>& tokens) {
    std::vector<TokenSpan> out;
    size_t start = 0;
    int depth = 0;
    std::string kind;     // first word of the current statement
    bool seenSet = false; // UPDATE ... SET
    bool seenSelect = false;
    bool seenValues = false;
    bool view = false;
    auto finish = [&](size_t end) {
        if (end > start)
            out.emplace_back(tokens.data() + start, end - start);
        start = end;
        kind.clear();
        seenSet = seenSelect = seenValues = view = false;
    };
    // CREATE VIEW takes the rest of the batch, as the server requires it to.
    auto begin = [&](size_t i) {
        kind = upperAscii(tokens[i].text);
        view = (kind == "CREATE" || kind == "ALTER") && i + 1 < tokens.size() &&
               tokens[i + 1].isWord("VIEW");
    };
    for (size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        if (t.isSymbol("(")) {
            ++depth;
            continue;
        }
        if (t.isSymbol(")")) {
            if (depth > 0)
                --depth;
            continue;
        }
        if (depth == 0 && t.isSymbol(";")) {
            finish(i);
            start = i + 1;
            continue;
        }
        if (i == start) {
            begin(i);
            continue;
        }
        if (depth == 0 && kind == "INSERT" && t.isWord("VALUES"))
            seenValues = true;
        if (depth > 0 || view || !isStarter(t))
            continue;
        const std::string word = upperAscii(t.text);
        const Token& prev = tokens[i - 1];
        if (word == "SELECT" && (prev.isWord("UNION") || prev.isWord("ALL") ||
                                 prev.isWord("EXCEPT") || prev.isWord("INTERSECT")))
            continue;
        if (word == "SELECT" && kind == "INSERT" && !seenSelect && !seenValues) {
            seenSelect = true;
            continue;
        }
        if ((word == "EXEC" || word == "EXECUTE") && kind == "INSERT" && !seenValues) {
            continue;
        }
        if (word == "SET" && kind == "UPDATE" && !seenSet) {
            seenSet = true;
            continue;
        }
        finish(i);
        begin(i);
    }
    finish(tokens.size());
    return out;
}

Translation translateStatement(TokenSpan tokens, const TranslateContext& context) {
    return Rewriter(tokens, context).run();
}

} // namespace standin::engine
