// The "Database Table" tab: the notebook DbNoteBook with the database and table
// lists and the browse grid on "DataPage", and the long-text editor on "MemoPage".
// The list clicks and the editor's buttons are bound once the datasets exist.
#include "app/Unit1.h"
#include "app/WidgetLook.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

QPushButton* NewButton(QWidget* parent, const char* name, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    return button;
}

} // namespace

void TVelkin::BuildDbTableTab(QWidget* page) {
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    DbNoteBook = new QStackedWidget(page);
    DbNoteBook->setObjectName("DbNoteBook");
    pageLayout->addWidget(DbNoteBook);

    auto* dataPage = new QWidget(DbNoteBook);
    dataPage->setObjectName("DataPage");
    auto* dataGrid = new QGridLayout(dataPage);
    DatabaseList = new QListWidget(dataPage);
    DatabaseList->setObjectName("DatabaseList");
    TableList = new QListWidget(dataPage);
    TableList->setObjectName("TableList");
    chkBoxSysTbl = new QCheckBox("Show System Tables", dataPage);
    chkBoxSysTbl->setObjectName("chkBoxSysTbl");
    btnClearTable = NewButton(dataPage, "btnClearTable", "Clear table");
    btnClearTable->setHidden(true);
    browDBGrid = CreateDataGrid(dataPage, "browDBGrid");
    lbRecordNum1 = new QLabel("na", dataPage);
    lbRecordNum1->setObjectName("lbRecordNum1");
    MakeBold(lbRecordNum1);

    dataGrid->addWidget(new QLabel("Database:", dataPage), 0, 0);
    dataGrid->addWidget(new QLabel("Table:", dataPage), 0, 1);
    dataGrid->addWidget(DatabaseList, 1, 0);
    dataGrid->addWidget(TableList, 1, 1);
    auto* optionsRow = new QHBoxLayout;
    optionsRow->addWidget(chkBoxSysTbl);
    optionsRow->addStretch(1);
    optionsRow->addWidget(btnClearTable);
    dataGrid->addLayout(optionsRow, 2, 0, 1, 2);
    dataGrid->addWidget(browDBGrid, 3, 0, 1, 2);
    auto* countRow = new QHBoxLayout;
    countRow->addWidget(new QLabel("Number of record(s): ", dataPage));
    countRow->addWidget(lbRecordNum1);
    countRow->addStretch(1);
    dataGrid->addLayout(countRow, 4, 0, 1, 2);
    dataGrid->setRowStretch(1, 2);
    dataGrid->setRowStretch(3, 3);
    DbNoteBook->addWidget(dataPage);

    auto* memoPage = new QWidget(DbNoteBook);
    memoPage->setObjectName("MemoPage");
    auto* memoLayout = new QVBoxLayout(memoPage);
    Memo1 = new QPlainTextEdit(memoPage);
    Memo1->setObjectName("Memo1");
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memoLayout->addWidget(Memo1);
    auto* buttonRow = new QHBoxLayout;
    btnUpdate = NewButton(memoPage, "btnUpdate", "Update");
    btnCancel = NewButton(memoPage, "btnCancel", "Cancel");
    btnExit = NewButton(memoPage, "btnExit", "Exit");
    buttonRow->addStretch(1);
    buttonRow->addWidget(btnUpdate);
    buttonRow->addWidget(btnCancel);
    buttonRow->addWidget(btnExit);
    memoLayout->addLayout(buttonRow);
    DbNoteBook->addWidget(memoPage);

    DbNoteBook->setCurrentWidget(dataPage);
}
