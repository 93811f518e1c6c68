// The start-up facts live in one function-local record, so that the first grid
// (or the application's start-up) reads them and nobody reads them twice.
#include "ui/QXGridUnit.h"

#include "ui/Cmn_Modules.h"

namespace QXGrid {
namespace {

struct UnitFacts {
    bool read = false;
    CodePage codePage = 0;
    bool ansiOnly = false;
};

UnitFacts& facts() {
    static UnitFacts unit;
    return unit;
}

} // namespace

void InitGridUnit() {
    UnitFacts& unit = facts();
    if (unit.read)
        return;
    unit.codePage = Cmn_Modules::ReadDefaultCodePage(platform::LOCALE_SYSTEM_DEFAULT);
    unit.ansiOnly = !Cmn_Modules::ReadIsNT();
    unit.read = true;
}

CodePage GridCodePage() {
    InitGridUnit();
    return facts().codePage;
}

bool GridAnsiOnly() {
    InitGridUnit();
    return facts().ansiOnly;
}

void SetGridUnitForTesting(CodePage codePage, bool ansiOnly) {
    UnitFacts& unit = facts();
    unit.codePage = codePage;
    unit.ansiOnly = ansiOnly;
    unit.read = true;
}

WideString AnsiCellText(const AnsiString& bytes) {
    // Without wide output the bytes reach the screen as they are, which shows
    // them in the process ANSI code page.
    return Cmn_Modules::AnsiToWideCP(bytes, GridAnsiOnly() ? platform::GetACP() : GridCodePage());
}

WideString WideCellText(const WideString& text) {
    if (!GridAnsiOnly())
        return text;
    const CodePage ansi = platform::GetACP();
    return Cmn_Modules::AnsiToWideCP(Cmn_Modules::WideToAnsiCP(text, ansi), ansi);
}

bool IsWideField(const db::TField& field) {
    return field.DataType() == db::ftWideString;
}

WideString CellText(const db::TField* field) {
    if (!field)
        return AnsiCellText(AnsiString());
    if (IsWideField(*field))
        return WideCellText(field->WideDisplayText());
    return AnsiCellText(field->DisplayText());
}

AnsiString CellTextToBytes(const WideString& text) {
    return Cmn_Modules::WideToAnsiCP(text, GridAnsiOnly() ? platform::GetACP() : GridCodePage());
}

} // namespace QXGrid
