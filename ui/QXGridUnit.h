#pragma once
// The grid unit's two start-up facts and the text rules of its cells.
//
// GridCodePage (the default OEM code page of the system default locale) and
// GridAnsiOnly (no wide text output: not the NT family) are read once, before
// the first grid exists, and never change afterwards; painting makes no locale
// query. The text functions here say what a cell shows, so that painting and
// editing agree on it.
#include "data/db/Field.h"
#include "platform/Locale.h"

namespace QXGrid {

using platform::AnsiString;
using platform::CodePage;
using platform::WideString;

/// Reads the start-up facts once; later calls change nothing.
void InitGridUnit();
/// The code page byte text of a cell is read in.
CodePage GridCodePage();
/// True when the platform has no wide text output.
bool GridAnsiOnly();
/// Replaces the start-up facts; for tests standing in for another system.
void SetGridUnitForTesting(CodePage codePage, bool ansiOnly);

/// The characters DrawAnsiCellText puts on the screen for `bytes`.
WideString AnsiCellText(const AnsiString& bytes);
/// The characters DrawWideCellText puts on the screen for `text`.
WideString WideCellText(const WideString& text);
/// What a data cell shows for `field` on the record reads go to; "" without a field.
WideString CellText(const db::TField* field);
/// True when the field's text is drawn as wide text as it stands.
bool IsWideField(const db::TField& field);
/// Edited cell text turned back into the bytes a byte-text field is written with.
AnsiString CellTextToBytes(const WideString& text);

} // namespace QXGrid
