#pragma once
// The code page environment shared by the window, the datasets and the grid:
// the conversion pair between byte text in a named code page and wide text, and
// the start-up facts (system code page, platform family).
#include "platform/Locale.h"

namespace Cmn_Modules {

using platform::AnsiString;
using platform::CodePage;
using platform::WideString;

WideString AnsiToWideCP(const AnsiString& text, CodePage codePage);
AnsiString WideToAnsiCP(const WideString& text, CodePage codePage);

/// The start-up rule: the default OEM code page of LOCALE_SYSTEM_DEFAULT (or, for
/// the user's code page, LOCALE_USER_DEFAULT), read as text, trimmed and parsed;
/// its low 16 bits. Text that is not a number falls back to the ANSI code page.
CodePage ReadDefaultCodePage(uint32_t locale);
/// The code page that a GetLocaleInfoA answer names, by the start-up rule: the
/// text up to its terminator, trimmed of blanks and control characters, read
/// as a decimal 32-bit number, its low 16 bits; otherwise the ANSI code page.
CodePage CodePageFromLocaleAnswer(const AnsiString& answer);
/// NT family or not.
bool ReadIsNT();

/// Process-wide start-up of the data-access runtime, where COM was initialised.
/// Idempotent; stays up until the process ends. Runs the start-up that the data
/// access layer registered with SetDataAccessStartup, once; an exception from it
/// propagates and the next call tries again.
void InitializeDataAccess();
/// Registers the data access layer's process start-up (the ODBC environment);
/// nullptr removes it. Registered before InitializeDataAccess runs.
void SetDataAccessStartup(void (*startup)());
/// True once InitializeDataAccess has completed.
bool DataAccessInitialized();

} // namespace Cmn_Modules
