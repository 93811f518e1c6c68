// TQXDBGrid's construction, properties, the link between the view's current
// row and the dataset's current record, in-place editing, and the mouse and
// focus behaviour. Painting is in QXGridPaint.cpp.
#include "ui/QXGrid.h"

#include "data/db/DataSet.h"
#include "platform/CodePageConv.h"
#include "platform/Dialogs.h"
#include "platform/KeyboardLayout.h"
#include "ui/Cmn_Modules.h"
#include "ui/QXGridModel.h"
#include "ui/QXGridPaint.h"

#include <QAbstractButton>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr QAbstractItemView::EditTriggers EditingTriggers = QAbstractItemView::DoubleClicked |
                                                            QAbstractItemView::EditKeyPressed |
                                                            QAbstractItemView::AnyKeyPressed;

void ShowErrorBox(const std::exception& error) {
    platform::ShowStandardError("Velkin(SQL)",
                                QString::fromStdU16String(platform::AnsiToWide(error.what())));
}

} // namespace

TQXDBGrid::TQXDBGrid(QWidget* owner)
    : QTableView(owner), OnError(ShowErrorBox), FDataLink(std::make_unique<TQXGridLink>(*this)),
      FTitleFont(QStringLiteral("MS Sans Serif"), 8) {
    QXGrid::InitGridUnit();
    setHorizontalHeader(new TQXGridHeader(Qt::Horizontal, *this));
    setVerticalHeader(new TQXGridHeader(Qt::Vertical, *this));
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setMinimumSectionSize(1);
    setItemDelegate(new TQXGridDelegate(*this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(false);
    if (auto* corner = findChild<QAbstractButton*>())
        corner->installEventFilter(this);
    FModel = new TQXGridModel(*this);
    setModel(FModel);
    // The view would submit the model on every row change; the grid posts on its
    // own terms (currentChanged), reporting a refusal once and keeping the row.
    disconnect(selectionModel(), SIGNAL(currentRowChanged(QModelIndex, QModelIndex)), FModel,
               SLOT(submit()));
    FDefaultDrawing = false;
    ApplySizes();
    ApplyEditTriggers();
}

TQXDBGrid::~TQXDBGrid() {
    // No dataset event may reach a grid that is half gone.
    FDataLink.reset();
}

// ---------------------------------------------------------------- properties

db::TDataSource* TQXDBGrid::DataSource() const {
    return FDataLink->DataSource();
}

void TQXDBGrid::SetDataSource(db::TDataSource* source) {
    FDataLink->SetDataSource(source);
    LinkActiveChanged();
}

db::TDataSet* TQXDBGrid::LinkedDataSet() const {
    return FDataLink && FDataLink->Active() ? FDataLink->DataSet() : nullptr;
}

void TQXDBGrid::SetReadOnly(bool readOnly) {
    FReadOnly = readOnly;
    ApplyEditTriggers();
}

void TQXDBGrid::SetOptions(TDBGridOptions options) {
    FOptions = options;
    horizontalHeader()->setVisible(FOptions & dgTitles);
    verticalHeader()->setVisible(FOptions & dgIndicator);
    setShowGrid(FOptions & (dgColLines | dgRowLines));
    setSelectionBehavior((FOptions & dgRowSelect) ? SelectRows : SelectItems);
    horizontalHeader()->setSectionResizeMode((FOptions & dgColumnResize) ? QHeaderView::Interactive
                                                                         : QHeaderView::Fixed);
    ApplyEditTriggers();
    viewport()->update();
}

void TQXDBGrid::SetCtl3D(bool ctl3D) {
    FCtl3D = ctl3D;
    update();
}

void TQXDBGrid::SetTitleFont(const QFont& font) {
    FTitleFont = font;
    ApplySizes();
}

QColor TQXDBGrid::FixedColor() const {
    return FFixedColor.isValid() ? FFixedColor : palette().color(QPalette::Button);
}

void TQXDBGrid::SetFixedColor(const QColor& color) {
    FFixedColor = color;
    update();
}

db::TField* TQXDBGrid::ColumnField(int index) const {
    if (index < 0 || index >= ColumnCount())
        return nullptr;
    return FColumns[static_cast<size_t>(index)];
}

db::TField* TQXDBGrid::SelectedField() const {
    return ColumnField(SelectedIndex());
}

void TQXDBGrid::SetSelectedField(db::TField* field) {
    for (int i = 0; i < ColumnCount(); ++i)
        if (FColumns[static_cast<size_t>(i)] == field)
            SetSelectedIndex(i);
}

int TQXDBGrid::SelectedIndex() const {
    if (ColumnCount() == 0)
        return -1;
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.column() : 0;
}

void TQXDBGrid::SetSelectedIndex(int index) {
    if (index < 0 || index >= ColumnCount())
        return;
    const int row = currentIndex().isValid() ? currentIndex().row() : 0;
    if (row < FModel->rowCount())
        setCurrentIndex(FModel->index(row, index));
}

void TQXDBGrid::ApplyEditTriggers() {
    setEditTriggers(FReadOnly || !(FOptions & dgEditing) ? NoEditTriggers : EditingTriggers);
}

void TQXDBGrid::ApplySizes() {
    verticalHeader()->setDefaultSectionSize(QFontMetrics(font()).height() + 3);
    verticalHeader()->setFixedWidth(IndicatorWidth);
    horizontalHeader()->setFixedHeight(QFontMetrics(FTitleFont).height() + 4);
    ApplyColumnWidths();
}

void TQXDBGrid::ApplyColumnWidths(bool changedOnly) {
    const QFontMetrics data(font());
    const QFontMetrics title(FTitleFont);
    FAppliedWidths.resize(FColumns.size(), -1);
    for (int i = 0; i < ColumnCount(); ++i) {
        const db::TField& field = *FColumns[static_cast<size_t>(i)];
        int& applied = FAppliedWidths[static_cast<size_t>(i)];
        // A width the operator dragged stays until the field's own width changes.
        if (changedOnly && applied == field.DisplayWidth())
            continue;
        applied = field.DisplayWidth();
        int width = field.DisplayWidth() * data.averageCharWidth() + 4;
        if (FOptions & dgTitles) {
            const QString label =
                QString::fromStdU16String(QXGrid::AnsiCellText(field.DisplayLabel()));
            width = std::max(width, title.horizontalAdvance(label) + 4);
        }
        horizontalHeader()->resizeSection(i, width);
    }
}

// ---------------------------------------------------------------- the data link side

void TQXDBGrid::RebuildColumns() {
    FColumns.clear();
    FAppliedWidths.clear();
    if (db::TDataSet* ds = LinkedDataSet())
        for (db::TField* field : ds->Fields())
            if (field->Visible())
                FColumns.push_back(field);
}

void TQXDBGrid::LinkActiveChanged() {
    RebuildColumns();
    // The shape may be unchanged while the fields are new ones: reset regardless,
    // which also drops an open editor.
    FModel->Refresh(true);
    ApplyColumnWidths();
    SyncCurrentRow();
    viewport()->update();
    verticalHeader()->viewport()->update();
    horizontalHeader()->viewport()->update();
}

void TQXDBGrid::LinkDataChanged() {
    // A field's display width set after the dataset opened arrives with no layout
    // event of its own; the next data change or scroll applies it.
    ApplyColumnWidths(!FModel->Refresh());
    SyncCurrentRow();
    viewport()->update();
    verticalHeader()->viewport()->update();
}

void TQXDBGrid::LinkScrolled() {
    ApplyColumnWidths(true);
    SyncCurrentRow();
    viewport()->update();
    verticalHeader()->viewport()->update();
}

void TQXDBGrid::SyncCurrentRow() {
    db::TDataSet* ds = LinkedDataSet();
    if (!ds || FSyncing || FMovingRow || !selectionModel())
        return;
    const int row = ds->CurrentIndex();
    if (row < 0 || row >= FModel->rowCount() || FModel->columnCount() == 0)
        return;
    const QModelIndex current = currentIndex();
    const int column = current.isValid() ? current.column() : 0;
    if (current.isValid() && current.row() == row)
        return;
    FSyncing = true;
    selectionModel()->setCurrentIndex(FModel->index(row, column),
                                      QItemSelectionModel::ClearAndSelect);
    FSyncing = false;
}

void TQXDBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    // The base commits an open editor; its post on a row change is ours to make, below.
    FMovingRow = true;
    QTableView::currentChanged(current, previous);
    FMovingRow = false;
    verticalHeader()->viewport()->update();
    db::TDataSet* ds = LinkedDataSet();
    if (FSyncing || !ds || !current.isValid() || current.row() == ds->CurrentIndex())
        return;
    try {
        FMovingRow = true;
        // Leaving a record posts its pending change; a refused post keeps the row.
        ds->MoveBy(current.row() - ds->CurrentIndex());
        FMovingRow = false;
    } catch (const std::exception& error) {
        FMovingRow = false;
        ReportError(error);
    }
    if (ds->CurrentIndex() != current.row() && ds->CurrentIndex() >= 0 &&
        ds->CurrentIndex() < FModel->rowCount()) {
        FSyncing = true;
        selectionModel()->setCurrentIndex(FModel->index(ds->CurrentIndex(), current.column()),
                                          QItemSelectionModel::ClearAndSelect);
        FSyncing = false;
    }
}

// ---------------------------------------------------------------- editing

bool TQXDBGrid::Editable(int column) const {
    db::TField* field = ColumnField(column);
    db::TDataSet* ds = LinkedDataSet();
    if (FReadOnly || !(FOptions & dgEditing) || !field || !ds || !ds->CanModify())
        return false;
    if (field->ReadOnly() || field->FieldKind() != db::fkData)
        return false;
    // Large objects show only their type marker; their text is edited elsewhere.
    return QXGrid::IsWideField(*field) || !field->IsBlob();
}

bool TQXDBGrid::WriteCell(int row, int column, const QString& text) {
    db::TDataSet* ds = LinkedDataSet();
    db::TField* field = ColumnField(column);
    if (!ds || !field || !Editable(column))
        return false;
    try {
        if (row != ds->CurrentIndex())
            ds->MoveBy(row - ds->CurrentIndex());
        if (row != ds->CurrentIndex())
            return false;
        // An editor left as it opened writes nothing: an empty cell stays null.
        const platform::WideString wide = text.toStdU16String();
        if (wide == QXGrid::CellText(field))
            return true;
        if (ds->State() != db::dsEdit && ds->State() != db::dsInsert && !FDataLink->Edit())
            return false;
        if (QXGrid::IsWideField(*field))
            field->SetAsWideString(wide);
        else
            field->SetAsString(QXGrid::CellTextToBytes(wide));
        return true;
    } catch (const std::exception& error) {
        ReportError(error);
        return false;
    }
}

bool TQXDBGrid::PostEdit() {
    db::TDataSet* ds = LinkedDataSet();
    if (FMovingRow || !ds || (ds->State() != db::dsEdit && ds->State() != db::dsInsert))
        return true;
    try {
        ds->Post();
        return true;
    } catch (const std::exception& error) {
        ReportError(error);
        return false;
    }
}

void TQXDBGrid::CancelEdit() {
    db::TDataSet* ds = LinkedDataSet();
    if (!ds || (ds->State() != db::dsEdit && ds->State() != db::dsInsert))
        return;
    try {
        ds->Cancel();
    } catch (const std::exception& error) {
        ReportError(error);
    }
}

bool TQXDBGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    const bool asked =
        trigger == DoubleClicked || trigger == EditKeyPressed || trigger == AnyKeyPressed;
    db::TField* field = ColumnField(index.column());
    if (asked && (editTriggers() & trigger) && index.isValid() && field &&
        (field->ReadOnly() || field->FieldKind() != db::fkData) && CanChangeRows()) {
        // An operator refused an edit is told why, not left guessing.
        ReportError(db::EDatabaseError(
            "Field '" + field->DisplayLabel() +
            "' cannot be modified: the server computes it, or the table column it shows is "
            "not known"));
        return false;
    }
    return QTableView::edit(index, trigger, event);
}

void TQXDBGrid::ReportError(const std::exception& error) {
    if (OnError)
        OnError(error);
}

bool TQXDBGrid::CanChangeRows() const {
    db::TDataSet* ds = LinkedDataSet();
    return ds && !FReadOnly && (FOptions & dgEditing) && ds->CanModify();
}

void TQXDBGrid::InsertRow(bool append) {
    db::TDataSet* ds = LinkedDataSet();
    if (!ds || !CanChangeRows())
        return;
    try {
        if (append)
            ds->Append();
        else
            ds->Insert();
    } catch (const std::exception& error) {
        ReportError(error);
    }
}

void TQXDBGrid::AppendBelowLastRow() {
    db::TDataSet* ds = LinkedDataSet();
    if (!ds || !CanChangeRows() || ds->CurrentIndex() != ds->ViewRecordCount() - 1)
        return;
    // A new row nobody has typed into is not followed by another one.
    if (ds->State() == db::dsInsert && !ds->Modified())
        return;
    InsertRow(true);
}

void TQXDBGrid::DeleteCurrentRow() {
    db::TDataSet* ds = LinkedDataSet();
    if (!ds || !CanChangeRows() || ds->IsEmpty())
        return;
    if ((FOptions & dgConfirmDelete) &&
        !platform::dialogs().confirm(QStringLiteral("Velkin(SQL)"),
                                     QStringLiteral("Delete record?")))
        return;
    try {
        ds->Delete();
    } catch (const std::exception& error) {
        // The row stays, and the grid on it.
        ReportError(error);
    }
}

void TQXDBGrid::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (state() != EditingState) {
        if (event->key() == Qt::Key_Insert && modifiers == Qt::NoModifier) {
            InsertRow(false);
            event->accept();
            return;
        }
        if (event->key() == Qt::Key_Delete && modifiers == Qt::ControlModifier) {
            DeleteCurrentRow();
            event->accept();
            return;
        }
        if (event->key() == Qt::Key_Down && modifiers == Qt::NoModifier && LinkedDataSet() &&
            LinkedDataSet()->CurrentIndex() == LinkedDataSet()->ViewRecordCount() - 1) {
            AppendBelowLastRow();
            event->accept();
            return;
        }
    }
    if (state() != EditingState && FDataLink->Editing()) {
        if (event->key() == Qt::Key_Escape) {
            CancelEdit();
            event->accept();
            return;
        }
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            PostEdit();
            event->accept();
            return;
        }
    }
    QTableView::keyPressEvent(event);
}

// ---------------------------------------------------------------- mouse and focus

void TQXDBGrid::mousePressEvent(QMouseEvent* event) {
    // The focus moves first, so that everything the press does sees a focused grid.
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton)
        setFocus(Qt::MouseFocusReason);
    QTableView::mousePressEvent(event);
}

void TQXDBGrid::mouseReleaseEvent(QMouseEvent* event) {
    QTableView::mouseReleaseEvent(event);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && index.isValid() && LinkedDataSet()) {
        emit CellClick(index.column());
        if (OnCellClick)
            OnCellClick(index.column());
    }
}

void TQXDBGrid::focusOutEvent(QFocusEvent* event) {
    // Leaving the grid never changes the operator's input language.
    platform::KeyboardLayouts& layouts = platform::keyboardLayouts();
    const platform::KeyboardLayoutId before = layouts.current();
    QTableView::focusOutEvent(event);
    if (layouts.current() != before)
        layouts.activate(before);
    viewport()->update();
}

bool TQXDBGrid::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Paint && watched->isWidgetType() && watched->parent() == this &&
        qobject_cast<QAbstractButton*>(watched)) {
        auto* corner = static_cast<QWidget*>(watched);
        QPainter painter(corner);
        PaintCell(painter, 0, 0, corner->rect(), gdFixed);
        return true;
    }
    return QTableView::eventFilter(watched, event);
}
