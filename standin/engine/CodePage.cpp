#include "standin/engine/CodePage.h"

#include <unicode/ucnv.h>

#include <map>
#include <memory>
#include <stdexcept>
#include <vector>

namespace standin::engine {
namespace {

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

const char* converterName(uint16_t codePage) {
    switch (codePage) {
    case 950:
        return "windows-950-2000";
    case 936:
        return "windows-936-2000";
    case 1252:
        return "windows-1252";
    case 437:
        return "ibm-437";
    case 65001:
        return "UTF-8";
    default:
        return nullptr;
    }
}

UConverter* converterFor(uint16_t codePage) {
    thread_local std::map<uint16_t, ConverterPtr> cache;
    auto it = cache.find(codePage);
    if (it != cache.end())
        return it->second.get();
    const char* name = converterName(codePage);
    if (!name)
        name = "windows-1252";
    UErrorCode status = U_ZERO_ERROR;
    ConverterPtr conv(ucnv_open(name, &status));
    if (U_FAILURE(status))
        throw std::runtime_error("no converter for code page " + std::to_string(codePage));
    // The server writes '?' for a character its code page lacks.
    ucnv_setSubstChars(conv.get(), "?", 1, &status);
    return cache.emplace(codePage, std::move(conv)).first->second.get();
}

bool isAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

UConverter* utf8Converter() {
    thread_local ConverterPtr conv = [] {
        UErrorCode status = U_ZERO_ERROR;
        ConverterPtr c(ucnv_open("UTF-8", &status));
        if (U_FAILURE(status))
            throw std::runtime_error("no UTF-8 converter");
        return c;
    }();
    return conv.get();
}

} // namespace

void utf8ToCodePage(uint16_t codePage, std::string_view utf8, std::string& out) {
    out.clear();
    if (isAscii(utf8) || codePage == 65001) {
        out.append(utf8);
        return;
    }
    UConverter* target = converterFor(codePage);
    UConverter* source = utf8Converter();
    out.resize(utf8.size() * 2 + 8);
    char* dst = out.data();
    const char* src = utf8.data();
    UErrorCode status = U_ZERO_ERROR;
    ucnv_convertEx(target, source, &dst, out.data() + out.size(), &src, utf8.data() + utf8.size(),
                   nullptr, nullptr, nullptr, nullptr, true, true, &status);
    if (U_FAILURE(status)) {
        out.assign(utf8.size(), '?');
        return;
    }
    out.resize(size_t(dst - out.data()));
}

std::string codePageToUtf8(uint16_t codePage, std::string_view bytes) {
    if (isAscii(bytes) || codePage == 65001)
        return std::string(bytes);
    UConverter* source = converterFor(codePage);
    UConverter* target = utf8Converter();
    std::string out(bytes.size() * 3 + 8, '\0');
    char* dst = out.data();
    const char* src = bytes.data();
    UErrorCode status = U_ZERO_ERROR;
    ucnv_convertEx(target, source, &dst, out.data() + out.size(), &src, bytes.data() + bytes.size(),
                   nullptr, nullptr, nullptr, nullptr, true, true, &status);
    if (U_FAILURE(status))
        return std::string(bytes.size(), '?');
    out.resize(size_t(dst - out.data()));
    return out;
}

} // namespace standin::engine
