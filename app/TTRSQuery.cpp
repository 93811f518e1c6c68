// The TTRS query: the shown inner page picks the table, the filter controls of
// that page become the where clause, and adods_TTRS is opened on the result.
//
// Which controls filter, and which column, is read from their names alone
// ("TTRS_" + page prefix + "_" + column, "TTRSGen_" + column, "TTRSGen_cbx" +
// column), so a renamed control changes the query. Nothing is kept between
// calls but the dataset's command text (also after a refused open) and the
// master table strip above the Master Table grid.
#include "app/HandlerSupport.h"
#include "app/TTRSFilter.h"
#include "app/Unit1.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <stdexcept>

namespace {

struct FixedPage {
    const char* page;
    const char* commandText;
    const char* prefix;
};

constexpr FixedPage FixedPages[] = {
    {"ts_docmas", "SELECT * FROM T_DOCMAS", "dm"},
    {"ts_lstdoc", "SELECT * FROM T_LSTDOC", "ld"},
    {"ts_lxchg", "SELECT * FROM T_LXCHG", "lc"},
    {"ts_cursta", "SELECT * FROM T_CURSTA", "cs"},
};

/// Where the column starts in the name of a filter edit box and combo box.
constexpr int EditColumnStart = 8;
constexpr int ComboColumnStart = 11;

bool IsBlankText(const QString& text) {
    for (QChar c : text)
        if (c.unicode() > 0x20)
            return false;
    return true;
}

/// A filter's text as the 8-bit text the query is built from. Text that the
/// ANSI code page cannot carry would turn into other characters (and match
/// other rows), and a null character would cut the query short: both are
/// refused rather than sent.
platform::AnsiString FilterTextToAnsi(const QString& column, const QString& text) {
    if (text.contains(QChar(0)))
        throw std::runtime_error("The " + column.toStdString() +
                                 " filter holds a null character (code 0)");
    platform::AnsiString narrow = QStringToAnsi(text);
    if (AnsiToQString(narrow) != text)
        throw std::runtime_error("The " + column.toStdString() +
                                 " filter holds characters that the system code page " +
                                 std::to_string(platform::GetACP()) + " cannot carry");
    return narrow;
}

} // namespace

void TVelkin::AddFilterClause(QWidget* control, platform::AnsiString& whereClause,
                              bool masterTablePage) {
    const QString name = control->objectName();
    QString text, column;
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        if (masterTablePage && name == "TTRSGen_ProcessorEDI")
            return;
        text = edit->text();
        column = name.mid(EditColumnStart);
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        if (masterTablePage)
            return;
        text = combo->currentText();
        column = name.mid(ComboColumnStart);
    } else {
        return;
    }
    if (IsBlankText(text))
        return;
    whereClause += whereClause.empty() ? " where " : " and ";
    whereClause += ttrs::FilterClause(QStringToAnsi(column), FilterTextToAnsi(column, text));
}

void TVelkin::OpenTTRSQuery() {
    HourglassScope hourglass;
    adods_TTRS.Close();
    adods_TTRS.SetCommandText(u"");
    pnl_tblname->clear();

    platform::AnsiString commandText;
    platform::AnsiString prefix;
    const QString page = PageControl_TTRS_Table->currentWidget()->objectName();
    for (const FixedPage& fixed : FixedPages) {
        if (page == fixed.page) {
            commandText = fixed.commandText;
            prefix = fixed.prefix;
        }
    }
    if (page == "ts_custom" && ComboBox1->currentIndex() >= 0)
        commandText = "SELECT * FROM " + QStringToAnsi(ComboBox1->currentText());
    const bool masterTablePage = page == "ts_mastertable";
    if (masterTablePage && !IsBlankText(TTRSGen_cbxMType->currentText())) {
        const QString typed = TTRSGen_cbxMType->currentText();
        // The whole text, letter case ignored; blanks around it are not part of the type.
        const int index = TTRSGen_cbxMType->findText(typed.trimmed(), Qt::MatchFixedString);
        if (index <= 0 || index >= int(ttrs::MasterTables.size()))
            throw std::runtime_error("Unknown message type \"" + QStringToAnsi(typed) + "\".");
        const char* masterTable = ttrs::MasterTables[size_t(index)];
        commandText = platform::AnsiString("SELECT * FROM ") + masterTable;
        prefix = "mt";
        pnl_tblname->setText(masterTable);
    }
    if (commandText.empty())
        return;
    adods_TTRS.SetCommandText(platform::AnsiToWide(commandText));

    const QString filterStart = "TTRS_" + QString::fromStdString(prefix);
    platform::AnsiString whereClause;
    for (auto it = ttrsFilterControls_.rbegin(); it != ttrsFilterControls_.rend(); ++it) {
        const QString start = (*it)->objectName().left(7);
        if (start == filterStart || start == "TTRSGen")
            AddFilterClause(*it, whereClause, masterTablePage);
    }
    if (!whereClause.empty())
        adods_TTRS.SetCommandText(platform::AnsiToWide(commandText + whereClause));

    // The tab is shown only while the TTRS database is connected; without the
    // connection there is nothing to open the query on.
    if (!isTTRSConnected())
        return;
    adods_TTRS.Open();
    if (db::TField* utr = adods_TTRS.FindField("UTR"))
        utr->SetDisplayWidth(18);
    if (db::TField* mtype = adods_TTRS.FindField("MTYPE"))
        mtype->SetDisplayWidth(9);
    try {
        // Defaults and NOT NULL columns for rows added in the grid; a query whose
        // table catalogue cannot be read stays open without them.
        adods_TTRS.LoadColumnMetadata();
    } catch (const std::exception& error) {
        platform::ShowStandardError(ApplicationTitle, ErrorText(error));
    }
}
