#pragma once
// Locale facts that Windows keeps in its national language support: the system
// and user default locales and the default OEM and ANSI code pages of each, and
// the platform family.
//
// The system locale is the machine's configured locale (/etc/default/locale,
// /etc/locale.conf), the user locale the process environment (LC_ALL, LC_CTYPE,
// LANG); VELKIN_SYSTEM_LOCALE and VELKIN_USER_LOCALE override them ("zh_TW").
// The platform family is NT; VELKIN_PLATFORM_FAMILY ("NT" or "9x") stands in
// for the other one.
#include "platform/Strings.h"

#include <cstdint>

namespace platform {

using CodePage = uint16_t;

constexpr uint32_t LOCALE_SYSTEM_DEFAULT = 0x0800;
constexpr uint32_t LOCALE_USER_DEFAULT = 0x0400;
constexpr uint32_t LOCALE_IDEFAULTCODEPAGE = 11; ///< OEM code page
constexpr uint32_t LOCALE_IDEFAULTANSICODEPAGE = 0x1004;

struct LocaleCodePages {
    CodePage oem;
    CodePage ansi;
};

/// The locale name ("zh_TW", "en_US") of the system or the user.
AnsiString SystemLocaleName();
AnsiString UserLocaleName();
/// The locale that a shell-style configuration file (/etc/default/locale) sets:
/// its LC_ALL, else its LANG, normalised ("zh_TW"); "" when it sets neither.
AnsiString LocaleFromConfigFile(const AnsiString& path);
/// The code pages Windows gives a language and territory ("zh_TW.UTF-8" → 950/950;
/// C and POSIX count as en_US).
LocaleCodePages CodePagesForLocale(const AnsiString& localeName);
/// The Windows locale identifier of a locale name (0x0404 for "zh_TW"); unknown
/// names give en_US's.
uint16_t LocaleIdentifier(const AnsiString& localeName);

/// As GetLocaleInfoA answers LOCALE_IDEFAULTCODEPAGE / LOCALE_IDEFAULTANSICODEPAGE
/// for LOCALE_SYSTEM_DEFAULT or LOCALE_USER_DEFAULT: the number as decimal text.
/// The locale identifiers of the known locales (0x0404) answer too; an unknown
/// locale or information type answers "", as the failed call leaves no text.
AnsiString GetLocaleInfoA(uint32_t locale, uint32_t infoType);

/// The process ANSI code page: the ANSI code page of the system locale.
CodePage GetACP();

/// The start-up rule for a code page: the default OEM code page that
/// GetLocaleInfoA names for `locale`, read by CodePageFromLocaleAnswer.
CodePage ReadDefaultCodePage(uint32_t locale);
/// The code page that a GetLocaleInfoA answer names: the text up to its
/// terminator, trimmed of blanks and control characters, read as a decimal
/// 32-bit number, its low 16 bits; otherwise the ANSI code page.
CodePage CodePageFromLocaleAnswer(const AnsiString& answer);

/// True on the NT family (wide text output). This platform is NT unless
/// VELKIN_PLATFORM_FAMILY says "9x" (letter case ignored); a test's
/// SetNTPlatformForTesting wins over both until ResetPlatformForTesting.
bool IsNTPlatform();
void SetNTPlatformForTesting(bool isNT);
void ResetPlatformForTesting();

} // namespace platform
