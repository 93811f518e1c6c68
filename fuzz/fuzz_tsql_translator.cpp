// The stand-in's T-SQL tokenizer, batch splitter and translator to SQLite on
// arbitrary text. Properties:
// - tokens come in text order, each inside the text;
// - a batch splits into statements in order, without overlap, dropping only the
//   top-level ";" between them;
// - a translated statement is complete SQLite text: every literal and quoted
//   name it opens is closed, and no comment swallows its end, so no value
//   written in the T-SQL can change what the statement does;
// - every string literal of the statement reaches the SQLite text holding the
//   same characters (a NUL, which would end SQLite's text, as char(0));
// - a refusal is an SqlError.
#include "fuzz/FuzzCheck.h"
#include "standin/engine/SqlError.h"
#include "standin/engine/Translator.h"

#include <algorithm>
#include <sqlite3.h>

using namespace standin::engine;

namespace {

std::string sqliteLiteral(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'')
            out += c;
    }
    return out + "'";
}

TranslateContext sampleContext() {
    TranslateContext context;
    context.currentDatabase = "VELKIN_DEMO";
    context.attach = [](const std::string& name) -> std::string {
        if (name.empty() || name.size() > 20)
            throw SqlError(911, "Database '" + name + "' does not exist.");
        return "db1";
    };
    context.isTextColumn = [](const std::string& column) {
        return column == "City";
    };
    context.isDateColumn = [](const std::string&) {
        return false;
    };
    return context;
}

void checkTranslation(TokenSpan statement, const TranslateContext& context) {
    Translation translation;
    try {
        translation = translateStatement(statement, context);
    } catch (const SqlError&) {
        return;
    }
    const std::string& sql = translation.sql;
    FUZZ_CHECK(sqlite3_complete((sql + "\n;").c_str()) == 1,
               "a translation closes every literal, name and comment it opens");
    FUZZ_CHECK(translation.fromOffset == std::string::npos || translation.fromOffset <= sql.size(),
               "the FROM offset lies inside the translation");
    // A NUL goes as char(0) between the pieces around it: SQLite text ends at one.
    for (const Token& token : statement) {
        if (token.kind != TokenKind::String && token.kind != TokenKind::NString)
            continue;
        for (size_t start = 0; start <= token.text.size();) {
            const size_t nul = std::min(token.text.find('\0', start), token.text.size());
            FUZZ_CHECK(sql.find(sqliteLiteral(token.text.substr(start, nul - start))) !=
                           std::string::npos,
                       "a string literal reaches SQLite as the same characters");
            start = nul + 1;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<Token> tokens;
    try {
        tokens = tokenize(text);
    } catch (const SqlError&) {
        return 0;
    }
    for (size_t i = 0; i < tokens.size(); ++i) {
        FUZZ_CHECK(tokens[i].offset < text.size(), "a token lies inside the text");
        if (i > 0)
            FUZZ_CHECK(tokens[i].offset > tokens[i - 1].offset, "tokens come in text order");
    }
    const std::vector<TokenSpan> statements = splitBatch(tokens);
    const Token* next = tokens.data();
    for (TokenSpan statement : statements) {
        FUZZ_CHECK(!statement.empty(), "a statement holds tokens");
        FUZZ_CHECK(statement.data() >= next, "statements come in order without overlap");
        for (const Token* skipped = next; skipped < statement.data(); ++skipped)
            FUZZ_CHECK(skipped->isSymbol(";"), "only \";\" falls between statements");
        next = statement.data() + statement.size();
    }
    for (const Token* skipped = next; skipped < tokens.data() + tokens.size(); ++skipped)
        FUZZ_CHECK(skipped->isSymbol(";"), "only \";\" falls after the last statement");

    const TranslateContext context = sampleContext();
    for (TokenSpan statement : statements)
        checkTranslation(statement, context);
    return 0;
}
