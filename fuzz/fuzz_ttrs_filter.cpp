// The TTRS filter escaping on arbitrary filter text. The first byte picks the
// ANSI code page (950, 936, 1252, 437); the rest is the text as typed. Properties:
// - the clause is `column = '...'` or `column LIKE '...'`, LIKE exactly when the
//   text holds "*";
// - read as the server reads it, by characters of that code page, the literal
//   is one quoted literal: it opens after the operator, every quote inside it is
//   doubled, and its closing quote is the last character of the clause;
// - the same holds for the clause widened through the code page, as it is sent;
// - undoing the escapes gives back the text without its leading blanks and
//   control characters (and, in a pattern, with "*" for each "%", and a lead
//   byte standing alone before an escaped wildcard as "?"), so nothing the
//   operator typed is lost or changed, and no double-byte character is split
//   or merged with a quote or an escape.
#include "app/TTRSFilter.h"
#include "fuzz/FuzzCheck.h"
#include "platform/CodePageConv.h"

#include <string>
#include <vector>

namespace {

using platform::AnsiString;
using platform::CodePage;
using platform::WideString;

constexpr CodePage kCodePages[] = {950, 936, 1252, 437};
const AnsiString kColumn = "a.UTR";

/// The characters of `text` as the escaping reads them: a lead byte followed by
/// a byte of 0x40 or above makes one double-byte character.
std::vector<AnsiString> charactersOf(const AnsiString& text, CodePage codePage) {
    const platform::LeadByteTable leads = platform::DBCSLeadBytes(codePage);
    std::vector<AnsiString> chars;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (leads[byte] && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x40) {
            chars.push_back(text.substr(i, 2));
            ++i;
        } else {
            chars.push_back(text.substr(i, 1));
        }
    }
    return chars;
}

/// Checks that `chars`, from `open` on, is one quoted literal whose closing
/// quote is the last character, and returns what it stands for.
template <class Text>
Text literalAt(const std::vector<Text>& chars, size_t open, const Text& quote) {
    FUZZ_CHECK(open < chars.size() && chars[open] == quote, "the literal opens with a quote");
    Text value;
    size_t i = open + 1;
    for (; i < chars.size(); ++i) {
        if (chars[i] != quote) {
            value += chars[i];
            continue;
        }
        if (i + 1 < chars.size() && chars[i + 1] == quote) {
            value += quote;
            ++i;
            continue;
        }
        break;
    }
    FUZZ_CHECK(i < chars.size(), "the literal is closed");
    FUZZ_CHECK(i + 1 == chars.size(), "the literal ends the clause");
    return value;
}

/// The text a LIKE pattern was made from: [%], [_], [[] back to themselves and
/// "%" back to "*"; whole characters throughout.
AnsiString unescapePattern(const std::vector<AnsiString>& chars) {
    AnsiString text;
    for (size_t i = 0; i < chars.size(); ++i) {
        const AnsiString& c = chars[i];
        if (c == "[") {
            FUZZ_CHECK(i + 2 < chars.size() && chars[i + 2] == "]",
                       "a bracket in a pattern only escapes one character");
            const AnsiString& inner = chars[i + 1];
            FUZZ_CHECK(inner == "%" || inner == "_" || inner == "[",
                       "only %, _ and [ are bracketed");
            text += inner;
            i += 2;
            continue;
        }
        FUZZ_CHECK(c != "_", "no bare _ is left in a pattern");
        text += c == "%" ? AnsiString("*") : c;
    }
    return text;
}

/// The text a pattern stands for: the typed text, with a lead byte that stands
/// alone before "%", "_" or "[" (no character; it would pair with the escape's
/// "[") read as "?".
AnsiString typedPattern(const AnsiString& typed, CodePage codePage) {
    const platform::LeadByteTable leads = platform::DBCSLeadBytes(codePage);
    const std::vector<AnsiString> chars = charactersOf(typed, codePage);
    AnsiString text;
    for (size_t i = 0; i < chars.size(); ++i) {
        const bool lone = chars[i].size() == 1 && leads[static_cast<unsigned char>(chars[i][0])];
        const bool beforeEscape =
            i + 1 < chars.size() &&
            (chars[i + 1] == "%" || chars[i + 1] == "_" || chars[i + 1] == "[");
        text += lone && beforeEscape ? AnsiString("?") : chars[i];
    }
    return text;
}

std::vector<WideString> unitsOf(const WideString& text) {
    std::vector<WideString> units;
    for (char16_t c : text)
        units.emplace_back(1, c);
    return units;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const CodePage codePage = kCodePages[data[0] % std::size(kCodePages)];
    const AnsiString text(reinterpret_cast<const char*>(data) + 1, size - 1);

    size_t start = 0;
    while (start < text.size() && static_cast<unsigned char>(text[start]) <= 0x20)
        ++start;
    const AnsiString typed = text.substr(start);
    const bool like = text.find('*') != AnsiString::npos;

    const AnsiString clause = ttrs::FilterClause(kColumn, text, codePage);
    const AnsiString head = kColumn + (like ? " LIKE " : " = ");
    FUZZ_CHECK(clause.compare(0, head.size(), head) == 0, "the clause names its column and form");

    // As the server reads the bytes, by characters of the code page.
    const std::vector<AnsiString> chars = charactersOf(clause, codePage);
    size_t open = 0;
    for (size_t bytes = 0; bytes < head.size(); ++open)
        bytes += chars[open].size();
    const ttrs::FilterForm form = like ? ttrs::FilterForm::Like : ttrs::FilterForm::Equality;
    const AnsiString escaped = ttrs::EscapeFilterValue(text, form, codePage);
    FUZZ_CHECK(clause.substr(head.size()) == "'" + escaped + "'",
               "the clause quotes the escaped value");
    const AnsiString value = literalAt(chars, open, AnsiString("'"));
    const std::vector<AnsiString> valueChars = charactersOf(value, codePage);
    if (like)
        FUZZ_CHECK(unescapePattern(valueChars) == typedPattern(typed, codePage),
                   "the pattern gives back the text");
    else
        FUZZ_CHECK(value == typed, "an equality literal gives back the text");

    // As it is sent: widened through the code page. The head is ASCII, so the
    // literal starts at the same place.
    const WideString wide = platform::MultiByteToWide(codePage, clause);
    const WideString wideHead = platform::MultiByteToWide(codePage, head);
    FUZZ_CHECK(wide.compare(0, wideHead.size(), wideHead) == 0, "the head widens as it is");
    const std::vector<WideString> units = unitsOf(wide);
    const WideString wideValue = literalAt(units, wideHead.size(), WideString(u"'"));
    FUZZ_CHECK(wideValue == platform::MultiByteToWide(codePage, value),
               "the widened literal holds the widened value");
    return 0;
}
