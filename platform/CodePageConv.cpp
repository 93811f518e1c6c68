// Conversions run through one ICU converter per code page and thread, opened on
// first use and kept until the thread ends: the grid converts every visible
// cell, so opening a converter per call would dominate the drawing time.
//
// Both directions substitute and never fail. Bytes that are not valid in the
// code page read as U+FFFD; characters the code page lacks are written as "?",
// the default character Windows uses for these code pages (UTF-8 writes U+FFFD).
// A code page without a table converts to empty text, as the Windows calls fail.
#include "platform/CodePageConv.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>

#include <climits>
#include <memory>
#include <utility>
#include <vector>

namespace platform {
namespace {

struct CodePageTable {
    CodePage codePage;
    const char* icuName;
};

// Canonical ICU names of the Windows tables, so that no alias is ambiguous.
// ICU's "cp950" and "cp936" are IBM's tables and must not be used here.
constexpr CodePageTable kTables[] = {
    {437, "ibm-437_P100-1995"},   {720, "ibm-720_P100-1997"},
    {737, "ibm-737_P100-1997"},   {775, "ibm-775_P100-1996"},
    {850, "ibm-850_P100-1995"},   {852, "ibm-852_P100-1995"},
    {857, "ibm-857_P100-1995"},   {862, "ibm-862_P100-1995"},
    {866, "ibm-866_P100-1995"},   {874, "windows-874-2000"},
    {932, "ibm-943_P15A-2003"},   {936, "windows-936-2000"},
    {949, "windows-949-2000"},    {950, "windows-950-2000"},
    {1250, "ibm-5346_P100-1998"}, {1251, "ibm-5347_P100-1998"},
    {1252, "ibm-5348_P100-1997"}, {1253, "ibm-5349_P100-1998"},
    {1254, "ibm-5350_P100-1998"}, {1255, "ibm-9447_P100-2002"},
    {1256, "ibm-9448_X100-2005"}, {1257, "ibm-9449_P100-2002"},
    {1258, "ibm-5354_P100-1998"}, {20127, "US-ASCII"},
    {28591, "ISO-8859-1"},        {65001, "UTF-8"},
};

constexpr CodePage kAnsiCodePage = 0;       // CP_ACP
constexpr CodePage kOemCodePage = 1;        // CP_OEMCP
constexpr CodePage kThreadAnsiCodePage = 3; // CP_THREAD_ACP

CodePage resolveAlias(CodePage codePage) {
    if (codePage == kAnsiCodePage || codePage == kThreadAnsiCodePage)
        return GetACP();
    if (codePage == kOemCodePage)
        return CodePagesForLocale(SystemLocaleName()).oem;
    return codePage;
}

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

// Writes U+FFFD for every invalid or unassigned byte sequence; ICU's own
// substitute would be U+001A for single bytes of some tables.
void substituteReplacementCharacter(const void*, UConverterToUnicodeArgs* args, const char*,
                                    int32_t, UConverterCallbackReason reason, UErrorCode* status) {
    if (reason > UCNV_IRREGULAR)
        return;
    static const UChar kReplacement = 0xFFFD;
    *status = U_ZERO_ERROR;
    ucnv_cbToUWriteUChars(args, &kReplacement, 1, 0, status);
}

UConverter* openConverter(CodePage codePage) {
    const char* name = IcuConverterName(codePage);
    if (!name)
        return nullptr;
    UErrorCode status = U_ZERO_ERROR;
    ConverterPtr converter(ucnv_open(name, &status));
    if (U_FAILURE(status))
        return nullptr;
    // Windows writes "?" for what these code pages cannot hold; ICU's own
    // substitute is a double-byte character for some of the tables.
    if (codePage != 65001)
        ucnv_setSubstChars(converter.get(), "?", 1, &status);
    // Windows converts with its best-fit tables unless told otherwise; ICU's
    // fallback mappings are the same kind of one-way mapping.
    ucnv_setFallback(converter.get(), true);
    ucnv_setToUCallBack(converter.get(), substituteReplacementCharacter, nullptr, nullptr, nullptr,
                        &status);
    if (U_FAILURE(status))
        return nullptr;
    return converter.release();
}

/// The converter of `codePage` for this thread, or nullptr when there is no table.
UConverter* converterFor(CodePage codePage) {
    thread_local std::vector<std::pair<CodePage, ConverterPtr>> cache;
    for (auto& [cached, converter] : cache) {
        if (cached == codePage) {
            ucnv_reset(converter.get());
            return converter.get();
        }
    }
    UConverter* opened = openConverter(codePage);
    if (opened)
        cache.emplace_back(codePage, ConverterPtr(opened));
    return opened;
}

} // namespace

const char* IcuConverterName(CodePage codePage) {
    for (const auto& table : kTables) {
        if (table.codePage == codePage)
            return table.icuName;
    }
    return nullptr;
}

WideString MultiByteToWide(CodePage codePage, std::string_view bytes) {
    if (bytes.empty() || bytes.size() > INT32_MAX / 2)
        return {};
    UConverter* converter = converterFor(resolveAlias(codePage));
    if (!converter)
        return {};
    // No code page widens a byte to more than one UTF-16 unit, except UTF-8,
    // whose sequences never grow either; so the byte count is enough room.
    WideString result(bytes.size(), u'\0');
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = ucnv_toUChars(converter, result.data(), static_cast<int32_t>(result.size()),
                                   bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        result.assign(static_cast<size_t>(length), u'\0');
        status = U_ZERO_ERROR;
        ucnv_reset(converter);
        length = ucnv_toUChars(converter, result.data(), length, bytes.data(),
                               static_cast<int32_t>(bytes.size()), &status);
    }
    if (U_FAILURE(status))
        return {};
    result.resize(static_cast<size_t>(length));
    return result;
}

AnsiString WideToMultiByte(CodePage codePage, std::u16string_view text) {
    if (text.empty() || text.size() > INT32_MAX / 4)
        return {};
    UConverter* converter = converterFor(resolveAlias(codePage));
    if (!converter)
        return {};
    AnsiString result(text.size() * static_cast<size_t>(ucnv_getMaxCharSize(converter)), '\0');
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = ucnv_fromUChars(converter, result.data(), static_cast<int32_t>(result.size()),
                                     text.data(), static_cast<int32_t>(text.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        result.assign(static_cast<size_t>(length), '\0');
        status = U_ZERO_ERROR;
        ucnv_reset(converter);
        length = ucnv_fromUChars(converter, result.data(), length, text.data(),
                                 static_cast<int32_t>(text.size()), &status);
    }
    if (U_FAILURE(status))
        return {};
    result.resize(static_cast<size_t>(length));
    return result;
}

LeadByteTable DBCSLeadBytes(CodePage codePage) {
    LeadByteTable leads{};
    UConverter* converter = converterFor(resolveAlias(codePage));
    // UTF-8 has multi-byte sequences but no lead bytes in the Windows sense.
    if (!converter || ucnv_getType(converter) != UCNV_MBCS)
        return leads;
    UBool starters[256] = {};
    UErrorCode status = U_ZERO_ERROR;
    ucnv_getStarters(converter, starters, &status);
    if (U_FAILURE(status))
        return leads;
    for (size_t byte = 0; byte < leads.size(); ++byte)
        leads[byte] = starters[byte];
    return leads;
}

bool IsDBCSLeadByteEx(CodePage codePage, unsigned char byte) {
    return DBCSLeadBytes(codePage)[byte];
}

WideString AnsiToWide(std::string_view bytes) {
    return MultiByteToWide(GetACP(), bytes);
}

AnsiString WideToAnsi(std::u16string_view text) {
    return WideToMultiByte(GetACP(), text);
}

} // namespace platform
