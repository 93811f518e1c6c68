#pragma once
// The code-page adjustment the long-text editor applies to a value before it is
// written back: on windows without native wide text, and only when the system
// and user OEM code pages differ, the text is reinterpreted in the system one.
#include "platform/Locale.h"
#include "platform/Strings.h"

/// The memo text as it is written: unchanged with native wide-text windows or
/// equal code pages, else narrowed with the ANSI code page and widened with
/// `systemOEM`.
platform::WideString ConvertToSystemCodePage(const platform::WideString& text,
                                             bool nativeWideWindows, platform::CodePage systemOEM,
                                             platform::CodePage userOEM);
