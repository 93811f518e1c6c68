// The "TTRS" tab: the filter controls, the six inner pages with their grids, the
// key rules and check boxes of the tab, and its read-only long-text page. The filter controls are
// created in the order the TTRS query relies on (it visits them from last to first), and their
// names carry the column each one filters.
#include "app/FieldEditor.h"
#include "app/KeyPressFilter.h"
#include "app/Unit1.h"
#include "app/WidgetLook.h"
#include "ui/ServerWait.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

enum class KeyRule { Any, Digits, UpperCase };

struct FilterSpec {
    const char* name;
    const char* label;
    KeyRule rule;
    int maxLength; ///< 0: no limit
};

struct FilterGroupSpec {
    const char* name;
    const char* caption;
    std::vector<FilterSpec> filters;
};

const std::vector<FilterGroupSpec>& FilterGroups() {
    static const std::vector<FilterGroupSpec> groups = {
        {"grpboxT_Docmas",
         "T_DocMas",
         {{"TTRS_dm_SSeqNo", "SSeqNo", KeyRule::Digits, 0},
          {"TTRS_dm_BoxType", "BoxType", KeyRule::UpperCase, 1},
          {"TTRS_dm_Status", "Status", KeyRule::UpperCase, 0},
          {"TTRS_dm_MTSeqNo", "MTSeqNo", KeyRule::Digits, 0},
          {"TTRS_dm_VersionNo", "VersionNo", KeyRule::Digits, 0},
          {"TTRS_dm_CanSign", "CanSign", KeyRule::UpperCase, 1}}},
        {"grpboxT_LstDoc",
         "T_LstDoc",
         {{"TTRS_ld_LstSSeq", "LstSSeq", KeyRule::Digits, 0},
          {"TTRS_ld_BoxType", "BoxType", KeyRule::UpperCase, 1},
          {"TTRS_ld_ReferenceNo", "Ref. No", KeyRule::Any, 0}}},
        {"grpboxT_CurSta",
         "T_CurSta",
         {{"TTRS_cs_CurrState", "CurrState", KeyRule::Any, 0},
          {"TTRS_cs_LockQueue", "LockQueue", KeyRule::Any, 0},
          {"TTRS_cs_LstGovNotiVerNo", "LstGovNotiVerNo", KeyRule::Any, 0}}},
        {"grpboxT_LxChg",
         "T_LxChg",
         {{"TTRS_lc_LstMTSeq", "LstMTSeq", KeyRule::Digits, 0},
          {"TTRS_lc_LstVersion", "LstVersion", KeyRule::Digits, 0}}},
        {"grpboxT_MasterTable",
         "Master Table",
         {{"TTRS_mt_SSeqNo", "SSeqNo", KeyRule::Digits, 0},
          {"TTRS_mt_tifMsgFn", "tifMsgFn", KeyRule::Any, 0},
          {"TTRSmt_tifInitRole", "tifInitRole", KeyRule::Any, 0}}},
    };
    return groups;
}

// Where each group box goes in the filter panel: row, column, column span.
struct Placement {
    int row, column, span;
};
constexpr Placement GroupPlacements[] = {{0, 0, 2}, {0, 2, 1}, {1, 0, 1}, {1, 1, 1}, {1, 2, 1}};

const QStringList ProcessorRoles = {"", "T", "M", "F", "IF", "OF", "IC", "OC"};
const QStringList MessageTypes = {"",       "TT00IN", "TT0EN1", "TT0EN2", "TT0EN3", "TT0EN4",
                                  "TT0TNI", "TT0TNO", "TT0SAA", "TT0GAR", "TT00GQ", "TT00CR",
                                  "TT0RFC", "TTCARR", "TT00RR", "TT0ACK", "TTAERR"};
const QStringList CustomTables = {"T_GdsDtl", "T_SAAMas", "T_SAADtl", "T_IRDtl",
                                  "T_ErrMas", "T_ErrDtl", "T_AckMas", "T_CRMas",
                                  "T_QryDtl", "T_QryRpl", "T_RFCMas", "T_RRMas"};

struct InnerPageSpec {
    const char* name;
    const char* caption;
    const char* grid;
};
constexpr InnerPageSpec InnerPages[] = {
    {"ts_docmas", "T_DocMas", "DBGrid1"},
    {"ts_lstdoc", "T_LstDoc", "DBGrid2"},
    {"ts_lxchg", "T_LxChg", "DBGrid3"},
    {"ts_cursta", "T_CurSta", "DBGrid4"},
    {"ts_mastertable", "Master Table", "DBGrid5"},
    {"ts_custom", "", "DBGrid6"},
};

QComboBox* NewComboBox(QWidget* parent, const char* name, const QStringList& items, bool editable,
                       int rows) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setEditable(editable);
    // Enter in a typed combo box presses Refresh; it never adds the text as an item,
    // so the item positions (which pick the master table) stay as they are.
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(items);
    combo->setMaxVisibleItems(rows);
    combo->setCurrentIndex(0);
    return combo;
}

} // namespace

void TVelkin::BuildTTRSTab(QWidget* page) {
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    // Two pages whose tabs are never shown: the data page and the long-text page.
    PageControl_TTRS = new QTabWidget(page);
    PageControl_TTRS->setObjectName("PageControl_TTRS");
    PageControl_TTRS->tabBar()->hide();
    PageControl_TTRS->setDocumentMode(true);
    pageLayout->addWidget(PageControl_TTRS);

    ts_Data = new QWidget(PageControl_TTRS);
    ts_Data->setObjectName("ts_Data");
    auto* dataLayout = new QVBoxLayout(ts_Data);
    dataLayout->setContentsMargins(2, 2, 2, 2);
    dataLayout->setSpacing(2);
    auto* panel = new QWidget(ts_Data);
    panel->setObjectName("Panel1");
    BuildTTRSFilterPanel(panel);
    dataLayout->addWidget(panel);
    BuildTTRSTablePages(ts_Data);
    dataLayout->addWidget(PageControl_TTRS_Table, 1);
    PageControl_TTRS->addTab(ts_Data, "Data");

    ts_Memo = new QWidget(PageControl_TTRS);
    ts_Memo->setObjectName("ts_Memo");
    auto* memoLayout = new QVBoxLayout(ts_Memo);
    Memo2 = new QPlainTextEdit(ts_Memo);
    Memo2->setObjectName("Memo2");
    Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo2->setLineWrapMode(QPlainTextEdit::NoWrap);
    // The page shows a long value; nothing typed here is written back.
    Memo2->setReadOnly(true);
    memoLayout->addWidget(Memo2);
    Button1 = new QPushButton("Exit", ts_Memo);
    Button1->setObjectName("Button1");
    connect(Button1, &QPushButton::clicked, this, &TVelkin::Button1Click);
    memoLayout->addWidget(Button1, 0, Qt::AlignRight);
    PageControl_TTRS->addTab(ts_Memo, "Memo");

    PageControl_TTRS->setCurrentWidget(ts_Data);
}

QLineEdit* TVelkin::AddTTRSFilter(QGridLayout* grid, int row, int column, const char* name,
                                  const char* label) {
    QWidget* parent = grid->parentWidget();
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    auto* caption = new QLabel(label, parent);
    caption->setBuddy(edit);
    grid->addWidget(caption, row, column * 2);
    grid->addWidget(edit, row, column * 2 + 1);
    ttrsFilterControls_.push_back(edit);
    return edit;
}

void TVelkin::BuildTTRSFilterPanel(QWidget* panel) {
    auto* panelLayout = new QGridLayout(panel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->setSpacing(2);

    auto* general = new QWidget(panel);
    auto* generalGrid = new QGridLayout(general);
    generalGrid->setContentsMargins(0, 0, 0, 0);
    auto withRule = [this](QLineEdit* edit, KeyRule rule) {
        if (rule == KeyRule::Digits)
            new KeyPressFilter(edit,
                               [this](QObject* s, QChar& k) { TTRS_dm_SSeqNoKeyPress(s, k); });
        else if (rule == KeyRule::UpperCase)
            new KeyPressFilter(edit, [this](QObject* s, QChar& k) { TTRSGen_UTRKeyPress(s, k); });
    };
    withRule(AddTTRSFilter(generalGrid, 0, 0, "TTRSGen_UTR", "UTR"), KeyRule::UpperCase);
    withRule(AddTTRSFilter(generalGrid, 0, 1, "TTRSGen_ProcessorEDI", "P.EDI"), KeyRule::UpperCase);
    TTRSGen_cbxProcessorRole =
        NewComboBox(general, "TTRSGen_cbxProcessorRole", ProcessorRoles, true, 10);
    ttrsFilterControls_.push_back(TTRSGen_cbxProcessorRole);
    generalGrid->addWidget(new QLabel("P.Role", general), 1, 0);
    generalGrid->addWidget(TTRSGen_cbxProcessorRole, 1, 1);
    TTRSGen_cbxMType = NewComboBox(general, "TTRSGen_cbxMType", MessageTypes, true, 20);
    ttrsFilterControls_.push_back(TTRSGen_cbxMType);
    generalGrid->addWidget(new QLabel("M.Type", general), 1, 2);
    generalGrid->addWidget(TTRSGen_cbxMType, 1, 3);
    generalGrid->setColumnStretch(1, 1);
    generalGrid->setColumnStretch(3, 1);

    chkbox_ReadOnly = new QCheckBox("Read Only", general);
    chkbox_ReadOnly->setObjectName("chkbox_ReadOnly");
    connect(chkbox_ReadOnly, &QCheckBox::clicked, this, &TVelkin::chkbox_ReadOnlyClick);
    btnRefresh = new QPushButton("Refresh", general);
    btnRefresh->setObjectName("btnRefresh");
    btnRefresh->setDefault(true);
    connect(btnRefresh, &QPushButton::clicked, this, &TVelkin::btnRefreshClick);
    generalGrid->addWidget(chkbox_ReadOnly, 0, 4);
    generalGrid->addWidget(btnRefresh, 1, 4);
    panelLayout->addWidget(general, 0, 0, 1, 3);

    for (size_t index = 0; index < FilterGroups().size(); ++index) {
        const FilterGroupSpec& spec = FilterGroups()[index];
        const Placement& place = GroupPlacements[index];
        auto* group = new QGroupBox(spec.caption, panel);
        group->setObjectName(spec.name);
        auto* grid = new QGridLayout(group);
        grid->setContentsMargins(4, 2, 4, 2);
        grid->setVerticalSpacing(1);
        int columns = place.span;
        for (size_t f = 0; f < spec.filters.size(); ++f) {
            const FilterSpec& filter = spec.filters[f];
            QLineEdit* edit =
                AddTTRSFilter(grid, int(f) / columns, int(f) % columns, filter.name, filter.label);
            if (filter.maxLength > 0)
                edit->setMaxLength(filter.maxLength);
            withRule(edit, filter.rule);
        }
        panelLayout->addWidget(group, place.row + 1, place.column, 1, place.span);
    }
    // The tifInitRole box filters nothing and is shown disabled with its label.
    auto* initRole = panel->findChild<QLineEdit*>("TTRSmt_tifInitRole");
    initRole->setEnabled(false);
    for (auto* label : panel->findChildren<QLabel*>())
        if (label->buddy() == initRole)
            label->setEnabled(false);
}

void TVelkin::BuildTTRSTablePages(QWidget* page) {
    PageControl_TTRS_Table = new QTabWidget(page);
    PageControl_TTRS_Table->setObjectName("PageControl_TTRS_Table");
    // Narrow tabs, so that all six fit beside the table list at the strip's end.
    PageControl_TTRS_Table->setStyleSheet(
        "QTabBar::tab { padding: 3px 5px; border: 1px solid #a0a0a0; border-bottom: none;"
        " background: #e4e4e4; margin-top: 2px; }"
        "QTabBar::tab:selected { background: white; margin-top: 0px; }");
    ComboBox1 = NewComboBox(PageControl_TTRS_Table, "ComboBox1", CustomTables, false, 12);
    PageControl_TTRS_Table->setCornerWidget(ComboBox1, Qt::TopRightCorner);

    for (int index = 0; index < 6; ++index) {
        const InnerPageSpec& spec = InnerPages[index];
        auto* tab = new QWidget(PageControl_TTRS_Table);
        tab->setObjectName(spec.name);
        auto* tabLayout = new QVBoxLayout(tab);
        tabLayout->setContentsMargins(0, 0, 0, 0);
        tabLayout->setSpacing(0);
        if (QString(spec.name) == "ts_mastertable") {
            pnl_tblname = new QLabel(tab);
            pnl_tblname->setObjectName("pnl_tblname");
            pnl_tblname->setAlignment(Qt::AlignCenter);
            pnl_tblname->setFrameShape(QFrame::StyledPanel);
            MakeBold(pnl_tblname);
            tabLayout->addWidget(pnl_tblname);
        }
        DataGrid* grid = CreateDataGrid(tab, spec.grid);
        grid->SetDefaultDrawing(false);
        connect(grid, &DataGrid::CellClick, this, [this, grid] { TTRSGridCellClick(grid); });
        ttrsGrids_[index] = grid;
        tabLayout->addWidget(grid);
        QString caption = spec.caption;
        if (QString(spec.name) == "ts_custom") {
            ts_custom = tab;
            caption = ComboBox1->currentText();
        }
        PageControl_TTRS_Table->addTab(tab, caption);
    }
    PageControl_TTRS_Table->setCurrentIndex(0);
    connect(PageControl_TTRS_Table, &QTabWidget::currentChanged, this,
            &TVelkin::PageControl_TTRS_TableChange);
    connect(ComboBox1, &QComboBox::activated, this, &TVelkin::ComboBox1Change);
}

void TVelkin::TTRS_dm_SSeqNoKeyPress(QObject*, QChar& key) {
    bool isDigit = key >= QChar('0') && key <= QChar('9');
    if (!isDigit && key.unicode() != 8)
        key = QChar();
}

void TVelkin::TTRSGen_UTRKeyPress(QObject*, QChar& key) {
    if (key >= QChar('a') && key <= QChar('z'))
        key = QChar(key.unicode() - 'a' + 'A');
}

void TVelkin::chkbox_TTRSClick() {
    Guarded([&] {
        bool enabled = !GrpBox_TTRS->isEnabled();
        GrpBox_TTRS->setEnabled(enabled);
        lbl_TTRSDB->setEnabled(enabled);
        edt_TTRSDB->setEnabled(enabled);
    });
}

void TVelkin::chkbox_ReadOnlyClick() {
    Guarded([&] {
        for (DataGrid* grid : ttrsGrids_)
            SetGridReadOnly(grid, chkbox_ReadOnly->isChecked());
    });
}

void TVelkin::btnRefreshClick() {
    Guarded([&] {
        ServerWait wait("Opening the TTRS query");
        OpenTTRSQuery();
    });
}

void TVelkin::PageControl_TTRS_TableChange() {
    Guarded([&] {
        ServerWait wait("Opening the TTRS query");
        OpenTTRSQuery();
    });
}

void TVelkin::ComboBox1Change() {
    Guarded([&] {
        {
            // Switched by the program, not the operator: the query below runs once.
            QSignalBlocker quiet(PageControl_TTRS_Table);
            PageControl_TTRS_Table->setCurrentWidget(ts_custom);
        }
        PageControl_TTRS_Table->setTabText(PageControl_TTRS_Table->indexOf(ts_custom),
                                           ComboBox1->currentText());
        ServerWait wait("Opening the TTRS query");
        OpenTTRSQuery();
    });
}

void TVelkin::TTRSGridCellClick(DataGrid* grid) {
    Guarded([&] {
        db::TField* field = grid->SelectedField();
        if (!field || !IsLongText(*field))
            return;
        PageControl_TTRS->setCurrentWidget(ts_Memo);
        Memo2->clear();
        Memo2->setPlainText(FieldText(*field));
    });
}

void TVelkin::Button1Click() {
    Guarded([&] { PageControl_TTRS->setCurrentWidget(ts_Data); });
}
