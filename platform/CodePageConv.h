#pragma once
// Byte text in a Windows code page to UTF-16 and back, through ICU with the
// Windows tables ("windows-950", "windows-936", "ibm-437", "windows-1252", ...).
// Invalid bytes and unrepresentable characters become the code page's default
// character; nothing is reported.
#include "platform/Locale.h"

#include <string_view>

namespace platform {

WideString MultiByteToWide(CodePage codePage, std::string_view bytes);
AnsiString WideToMultiByte(CodePage codePage, std::u16string_view text);

/// Narrow text in the process ANSI code page, widened / narrowed.
WideString AnsiToWide(std::string_view bytes);
AnsiString WideToAnsi(std::u16string_view text);

/// The ICU converter name for a Windows code page number.
const char* IcuConverterName(CodePage codePage);

} // namespace platform
