// The "SQL Command" tab: the SQL text, Search and Execute, and the result area in
// which exactly one of SQLResultMemo and SQLResultDBGrid is visible. RunSQL is
// bound to both buttons once the shared connection exists.
#include "app/Unit1.h"
#include "app/WidgetLook.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

void TVelkin::BuildSQLCommandTab(QWidget* page) {
    auto* pageLayout = new QVBoxLayout(page);

    // The buttons are made first: Search leads the tab order.
    btnSearch = new QPushButton("Search", page);
    btnSearch->setObjectName("btnSearch");
    btnExecute = new QPushButton("Execute", page);
    btnExecute->setObjectName("btnExecute");

    Label9 = new QLabel("Master", page);
    Label9->setObjectName("Label9");
    Label9->setAlignment(Qt::AlignCenter);
    Label9->setFrameShape(QFrame::StyledPanel);
    MakeBold(Label9);
    PaintWhite(Label9, QPalette::Window);
    auto* databaseRow = new QHBoxLayout;
    databaseRow->addWidget(new QLabel("Current Database:", page));
    databaseRow->addWidget(Label9, 1);
    pageLayout->addLayout(databaseRow);

    SQLCommandMemo = new QPlainTextEdit(page);
    SQLCommandMemo->setObjectName("SQLCommandMemo");
    SQLCommandMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The selection is what runs, so it stays visible while a button has the focus.
    QPalette palette = SQLCommandMemo->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    SQLCommandMemo->setPalette(palette);
    pageLayout->addWidget(SQLCommandMemo, 2);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    buttonRow->addWidget(btnSearch);
    buttonRow->addWidget(btnExecute);
    pageLayout->addLayout(buttonRow);

    // Memo and grid share one cell; only one of them is shown at a time.
    auto* resultArea = new QGridLayout;
    SQLResultMemo = new QPlainTextEdit(page);
    SQLResultMemo->setObjectName("SQLResultMemo");
    SQLResultDBGrid = CreateDataGrid(page, "SQLResultDBGrid");
    SetGridReadOnly(SQLResultDBGrid, true);
    SQLResultDBGrid->setHidden(true);
    resultArea->addWidget(SQLResultMemo, 0, 0);
    resultArea->addWidget(SQLResultDBGrid, 0, 0);
    pageLayout->addLayout(resultArea, 3);

    setTabOrder(btnSearch, btnExecute);
    setTabOrder(btnExecute, SQLCommandMemo);
    setTabOrder(SQLCommandMemo, SQLResultMemo);
}
