#pragma once
// Byte text in a Windows code page to UTF-16 and back, through ICU with the
// Windows tables ("windows-950", "windows-936", "ibm-437", "windows-1252", ...).
// Invalid bytes and unrepresentable characters become the code page's default
// character; nothing is reported.
//
// Bytes that are invalid in the code page read as U+FFFD each; characters it
// cannot hold are written as "?" (as U+FFFD under 65001), after the same
// best-fit mappings Windows applies. Code pages 0 and 3 mean the process ANSI
// code page and 1 the OEM one, as CP_ACP, CP_THREAD_ACP and CP_OEMCP do. A
// code page without a table converts anything to empty text. Safe to call from
// several threads: each keeps its own converters.
#include "platform/Locale.h"

#include <array>
#include <string_view>

namespace platform {

WideString MultiByteToWide(CodePage codePage, std::string_view bytes);
AnsiString WideToMultiByte(CodePage codePage, std::u16string_view text);

/// Narrow text in the process ANSI code page, widened / narrowed.
WideString AnsiToWide(std::string_view bytes);
AnsiString WideToAnsi(std::u16string_view text);

/// Which bytes start a double-byte character in `codePage` (the lead bytes of
/// 932, 936, 949 and 950), indexed by byte; none for a single-byte code page,
/// for UTF-8 and for a code page without a table.
using LeadByteTable = std::array<bool, 256>;
LeadByteTable DBCSLeadBytes(CodePage codePage);
/// One entry of DBCSLeadBytes, as the Windows call answers it.
bool IsDBCSLeadByteEx(CodePage codePage, unsigned char byte);

/// The ICU converter name for a Windows code page number; nullptr when there is
/// no table for it.
const char* IcuConverterName(CodePage codePage);

} // namespace platform
