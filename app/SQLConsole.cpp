// RunSQL: the SQL text of the "SQL Command" tab run on the shared connection.
// Every failure of a run is reported in the result memo, never in a box, and the
// hourglass is taken down on every path.
#include "app/HandlerSupport.h"
#include "app/Unit1.h"
#include "ui/ServerWait.h"

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

// The text as typed, without the characters of code 32 or below at either end.
// It stays wide, so that no character outside the ANSI code page is lost, and
// keeps its line breaks: a "--" comment ends at its line break, and joining the
// lines would let it swallow the statement's next line.
QString TrimmedText(const QString& text) {
    auto isBlank = [](QChar c) {
        return c.unicode() <= 32;
    };
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && isBlank(text[first]))
        ++first;
    while (last > first && isBlank(text[last - 1]))
        --last;
    return text.mid(first, last - first);
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
    const QString text = TrimmedText(WithCrLfLineBreaks(source));
    if (text.isEmpty())
        return;

    try {
        ServerWait wait("Running SQL");
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
