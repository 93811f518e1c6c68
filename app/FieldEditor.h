#pragma once
// What the long-text pages of the window share: which cells hold long text, the
// whole text of such a cell, and the code-page adjustment the long-text editor
// applies to a value before it is written back: on windows without native wide
// text, and only when the system and user OEM code pages differ, the text is
// reinterpreted in the system one.
#include "data/db/Field.h"
#include "platform/Locale.h"
#include "platform/Strings.h"

#include <QString>

/// Long text: memo fields, and the wide string fields of the largest size by
/// which the Unicode datasets deliver text, ntext and the (max) types.
bool IsLongText(const db::TField& field);
/// A field's whole text: a wide field's as it stands, a narrow one's widened
/// with the ANSI code page.
QString FieldText(const db::TField& field);

/// The memo text as it is written: unchanged with native wide-text windows or
/// equal code pages, else narrowed with the ANSI code page and widened with
/// `systemOEM`.
platform::WideString ConvertToSystemCodePage(const platform::WideString& text,
                                             bool nativeWideWindows, platform::CodePage systemOEM,
                                             platform::CodePage userOEM);
