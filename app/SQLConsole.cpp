// RunSQL: the SQL text of the "SQL Command" tab run on the shared connection.
// Every failure of a run is reported in the result memo, never in a box, and the
// hourglass is taken down on every path.
#include "app/DBSettings.h"
#include "app/HandlerSupport.h"
#include "app/Unit1.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>

namespace {

constexpr char16_t LineBreak[] = u"\r\n";

// The memo's text with every line break written as CR LF, the way the operator's
// lines are separated in the text that runs.
QString WithCrLfLineBreaks(QString text) {
    text.replace(QChar::ParagraphSeparator, QChar('\n'));
    text.replace(QChar::LineSeparator, QChar('\n'));
    return text.replace(QStringLiteral("\n"), QString::fromUtf16(LineBreak));
}

// One line: each CR LF pair becomes one blank, by way of the ANSI code page,
// and the characters of code 32 or below at either end go.
QString TrimmedOneLine(const QString& text) {
    const platform::AnsiString narrow = QStringToAnsi(text);
    platform::AnsiString joined;
    joined.reserve(narrow.size());
    for (size_t i = 0; i < narrow.size(); ++i) {
        if (narrow[i] == '\r' && i + 1 < narrow.size() && narrow[i + 1] == '\n') {
            joined += ' ';
            ++i;
        } else {
            joined += narrow[i];
        }
    }
    // No byte of 32 or below is part of a wider character in an ANSI code page.
    return AnsiToQString(dbsettings::TrimText(joined));
}

} // namespace

void TVelkin::ShowSQLResultText(const QString& text) {
    SQLResultDBGrid->setHidden(true);
    SQLResultMemo->setHidden(false);
    SQLResultMemo->clear();
    SQLResultMemo->setPlainText(text);
}

void TVelkin::RunSQL(QObject* sender) {
    HourglassScope hourglass;
    if (!pubADOConnection.Connected()) {
        ShowSQLResultText("SQL server not connected");
        return;
    }
    const QTextCursor selection = SQLCommandMemo->textCursor();
    const QString source =
        selection.hasSelection() ? selection.selectedText() : SQLCommandMemo->toPlainText();
    const QString text = TrimmedOneLine(WithCrLfLineBreaks(source));
    if (text.isEmpty())
        return;

    try {
        ADOCommand1.setCommandText(text.toStdU16String());
        if (ResultADODataSet.Active())
            ResultADODataSet.Close();
        if (sender == btnSearch) {
            ResultADODataSet.SetRecordset(ADOCommand1.Execute());
            SQLResultDBGrid->setHidden(false);
            SQLResultMemo->setHidden(true);
            SetRefFieldWidths(ResultADODataSet);
        } else if (sender == btnExecute) {
            ADOCommand1.Execute();
            ShowSQLResultText("SQL command run success.");
        }
    } catch (const std::exception& e) {
        try {
            ResultADODataSet.Close();
        } catch (...) {
            // The failure below is what the operator needs to see.
        }
        ShowSQLResultText("SQL command run failed." + QString::fromUtf16(LineBreak) + ErrorText(e));
    }
}
