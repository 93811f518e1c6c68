#pragma once
// Crossing between the window's narrow fields (bytes in the process ANSI code
// page) and the text of Qt controls.
#include "platform/CodePageConv.h"

#include <QString>

/// Narrow ANSI text widened for a control.
inline QString AnsiToQString(const platform::AnsiString& text) {
    return QString::fromStdU16String(platform::AnsiToWide(text));
}

/// A control's text narrowed to the ANSI code page.
inline platform::AnsiString QStringToAnsi(const QString& text) {
    return platform::WideToAnsi(text.toStdU16String());
}
