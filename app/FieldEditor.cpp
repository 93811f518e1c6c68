// The long-text editor of the "Database Table" tab ("MemoPage") and the hidden
// table clearing of "DataPage". The editor has no copy of the value: it works on
// the grid's selected field of the browse table's current row. The clearing empties
// every user table of the shared connection's current database without asking.
#include "app/FieldEditor.h"

#include "app/HandlerSupport.h"
#include "app/StartupFacts.h"
#include "app/Unit1.h"
#include "platform/CodePageConv.h"
#include "ui/Cmn_Modules.h"
#include "ui/ServerWait.h"

#include <QPlainTextEdit>
#include <QStackedWidget>
#include <exception>
#include <limits>
#include <memory>

namespace {

// Qt windows take wide text natively on every platform.
constexpr bool NativeWideWindows = true;

} // namespace

bool IsLongText(const db::TField& field) {
    if (field.DataType() == db::ftMemo || field.DataType() == db::ftWideMemo)
        return true;
    return field.DataType() == db::ftWideString &&
           field.Size() == std::numeric_limits<int32_t>::max();
}

QString FieldText(const db::TField& field) {
    if (field.DataType() == db::ftWideString || field.DataType() == db::ftWideMemo)
        return QString::fromStdU16String(field.AsWideString());
    return AnsiToQString(field.AsString());
}

platform::WideString ConvertToSystemCodePage(const platform::WideString& text,
                                             bool nativeWideWindows, platform::CodePage systemOEM,
                                             platform::CodePage userOEM) {
    if (nativeWideWindows || systemOEM == userOEM)
        return text;
    return Cmn_Modules::AnsiToWideCP(platform::WideToAnsi(text), systemOEM);
}

void TVelkin::browDBGridCellClick(int /*column*/) {
    Guarded([&] {
        db::TField* field = browDBGrid->SelectedField();
        if (!field || !IsLongText(*field))
            return;
        DbNoteBook->setCurrentWidget(DbNoteBook->findChild<QWidget*>("MemoPage"));
        Memo1->clear();
        Memo1->setPlainText(FieldText(*field));
    });
}

void TVelkin::btnUpdateClick() {
    Guarded([&] {
        browTntADOTableLX.Edit();
        const platform::WideString text =
            ConvertToSystemCodePage(Memo1->toPlainText().toStdU16String(), NativeWideWindows,
                                    SystemOEMCodePage, UserOEMCodePage);
        db::TField* selected = browDBGrid->SelectedField();
        if (!selected)
            throw std::runtime_error("No field is selected");
        browTntADOTableLX.FieldByName(selected->FieldName())->SetAsWideString(text);
        ServerWait wait(AnsiToQString("Updating " + selected->FieldName()));
        browTntADOTableLX.Post();
    });
}

void TVelkin::btnCancelClick() {
    Guarded([&] {
        Memo1->clear();
        if (db::TField* field = browDBGrid->SelectedField())
            Memo1->setPlainText(FieldText(*field));
    });
}

void TVelkin::btnExitClick() {
    DbNoteBook->setCurrentWidget(DbNoteBook->findChild<QWidget*>("DataPage"));
}

void TVelkin::btnClearTableClick() {
    Guarded([&] {
        db::TADODataSet names;
        names.SetConnection(&pubADOConnection);
        names.SetCommandType(db::cmdText);
        names.SetCommandText(
            u"select name from sysobjects where xtype  = 'U' and name <> 'dtproperties'");
        CloseOnExit closeAfterwards(names);
        ServerWait wait("Clearing the tables");
        names.Open();
        names.First();
        if (names.Eof())
            return;
        // "OK!" comes first also when a deletion failed; its error follows it.
        std::exception_ptr failure;
        try {
            ado::TADOCommand command;
            command.Connection = &pubADOConnection;
            for (; !names.Eof(); names.Next()) {
                command.setCommandText(
                    platform::AnsiToWide("Delete from " + names.FieldByName("Name")->AsString()));
                command.Execute();
            }
        } catch (...) {
            failure = std::current_exception();
        }
        platform::dialogs().messageBox(platform::BoxKind::Plain, ApplicationTitle, "OK!");
        if (failure)
            std::rethrow_exception(failure);
    });
}
