#include "app/TTRSFilter.h"

#include "platform/CodePageConv.h"

namespace ttrs {

const std::array<const char*, 17> MasterTables = {
    "",         "T_INMAS",  "T_EN1MAS", "T_EN2MAS", "T_EN3MAS", "T_EN4MAS",
    "T_TNIMAS", "T_TNOMAS", "T_SAAMAS", "T_GARMAS", "T_GQMAS",  "T_CRMAS",
    "T_RFCMAS", "T_ARBYCA", "T_RRMAS",  "T_ACKMAS", "T_ERRMAS",
};

namespace {

bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

/// Every trail byte of the Windows double-byte code pages is 0x40 or above, so
/// a lead byte followed by anything lower (a quote, a blank, "%", "*") is a
/// broken character: its lead byte stands alone and the next byte is read on
/// its own. That keeps a quote from ever hiding behind a lead byte.
constexpr unsigned char LowestTrailByte = 0x40;

/// The characters a LIKE pattern writes in brackets.
bool BracketEscaped(char c) {
    return c == '%' || c == '_' || c == '[';
}

} // namespace

bool IsBlankFilterText(const AnsiString& text) {
    for (char c : text)
        if (!IsBlankOrControl(c))
            return false;
    return true;
}

AnsiString EscapeFilterValue(const AnsiString& text, FilterForm form, CodePage ansiCodePage) {
    const platform::LeadByteTable leads = platform::DBCSLeadBytes(ansiCodePage);
    AnsiString out;
    out.reserve(text.size() + 8);
    size_t i = 0;
    while (i < text.size() && IsBlankOrControl(text[i]))
        ++i;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        if (leads[byte] && i + 1 < text.size() &&
            static_cast<unsigned char>(text[i + 1]) >= LowestTrailByte) {
            out += c;
            out += text[++i];
            continue;
        }
        if (c == '\'') {
            out += "''";
            continue;
        }
        if (form == FilterForm::Like && leads[byte] && i + 1 < text.size() &&
            BracketEscaped(text[i + 1])) {
            // A lone lead byte would take the "[" of the next escape as its trail
            // byte and leave the wildcard after it free; it is no character anyway.
            out += '?';
            continue;
        }
        if (form == FilterForm::Like) {
            switch (c) {
            case '%':
                out += "[%]";
                continue;
            case '_':
                out += "[_]";
                continue;
            case '[':
                out += "[[]";
                continue;
            case '*':
                out += '%';
                continue;
            default:
                break;
            }
        }
        out += c;
    }
    return out;
}

AnsiString FilterClause(const AnsiString& column, const AnsiString& text, CodePage ansiCodePage) {
    if (text.find('*') != AnsiString::npos)
        return column + " LIKE '" + EscapeFilterValue(text, FilterForm::Like, ansiCodePage) + "'";
    return column + " = '" + EscapeFilterValue(text, FilterForm::Equality, ansiCodePage) + "'";
}

} // namespace ttrs
