// How a TQXDBGrid paints: DrawCell for every cell, fixed or not, the two
// field hooks for data cells, and the one text output step both cell-text
// operations end in. Colours come from the grid's palette in the roles of the
// system colours: Button (btn face), Light (btn highlight), Dark (btn shadow),
// Base and Text (window), Highlight and HighlightedText.
#include "ui/QXGridPaint.h"

#include "data/db/DataSet.h"
#include "data/db/StdFields.h"
#include "ui/QXGrid.h"
#include "ui/QXGridModel.h"

#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>

// ---------------------------------------------------------------- TQXGridHeader

TQXGridHeader::TQXGridHeader(Qt::Orientation orientation, TQXDBGrid& grid)
    : QHeaderView(orientation, &grid), FGrid(grid) {
    setSectionsClickable(false);
    setHighlightSections(false);
}

void TQXGridHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    if (orientation() == Qt::Horizontal) {
        FGrid.PaintCell(*painter, logicalIndex + FGrid.FixedCols(), 0, rect, TQXDBGrid::gdFixed);
        return;
    }
    const bool current = FGrid.currentIndex().row() == logicalIndex;
    FGrid.PaintCell(*painter, 0, logicalIndex + FGrid.FixedRows(), rect,
                    TQXDBGrid::gdFixed | (current ? TQXDBGrid::gdSelected : 0u));
}

QSize TQXGridHeader::sectionSizeFromContents(int logicalIndex) const {
    // Sized by the grid, never by measuring a million row numbers.
    (void)logicalIndex;
    if (orientation() == Qt::Horizontal)
        return {defaultSectionSize(), height()};
    return {TQXDBGrid::IndicatorWidth, defaultSectionSize()};
}

void TQXGridHeader::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton)
        FGrid.setFocus(Qt::MouseFocusReason);
    QHeaderView::mousePressEvent(event);
}

// ---------------------------------------------------------------- TQXGridDelegate

TQXGridDelegate::TQXGridDelegate(TQXDBGrid& grid) : QStyledItemDelegate(&grid), FGrid(grid) {}

void TQXGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    const QModelIndex current = FGrid.currentIndex();
    const bool onCurrentRow = current.isValid() && current.row() == index.row();
    const bool isCurrent = onCurrentRow && current.column() == index.column();
    TQXDBGrid::TGridDrawState state = 0;
    if (isCurrent || (onCurrentRow && (FGrid.Options() & TQXDBGrid::dgRowSelect)))
        state |= TQXDBGrid::gdSelected;
    if (isCurrent && FGrid.hasFocus())
        state |= TQXDBGrid::gdFocused;
    FGrid.PaintCell(*painter, index.column() + FGrid.FixedCols(), index.row() + FGrid.FixedRows(),
                    option.rect, state);
}

QWidget* TQXGridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                       const QModelIndex& index) const {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    // A longer value could only be refused by the server (or, by a lenient one,
    // stored cut), so typing stops at the column's size.
    const db::TField* field = FGrid.ColumnField(index.column());
    const bool isString = dynamic_cast<const db::TStringField*>(field) ||
                          dynamic_cast<const db::TWideStringField*>(field);
    if (auto* line = qobject_cast<QLineEdit*>(editor); line && isString && field->Size() > 0)
        line->setMaxLength(field->Size());
    return editor;
}

// ---------------------------------------------------------------- TQXDBGrid painting

void TQXDBGrid::PaintCell(QPainter& painter, int ACol, int ARow, const QRect& rect,
                          TGridDrawState state) {
    painter.save();
    FCanvas = Canvas();
    FCanvas.painter = &painter;
    FCanvas.font = font();
    FCanvas.brush = palette().color(QPalette::Base);
    FCanvas.fontColor = palette().color(QPalette::Text);
    try {
        DrawCell(ACol, ARow, rect, state);
    } catch (const std::exception&) {
        // A value that cannot be shown leaves its cell filled; painting goes on.
        painter.fillRect(rect, FCanvas.brush);
    }
    FCanvas.painter = nullptr;
    painter.restore();
}

void TQXDBGrid::DrawCell(int ACol, int ARow, const QRect& ARect, TGridDrawState AState) {
    QRect rect = ARect;
    if (!(AState & gdFixed)) {
        DrawBaseCell(ACol, ARow, rect, AState);
        return;
    }
    FCanvas.font = FTitleFont;
    FCanvas.brush = palette().color(QPalette::Button);
    FCanvas.fontColor = palette().color(QPalette::Text);
    const int dataRow = ARow - FixedRows();
    const int dataCol = ACol - FixedCols();
    if (dataRow < 0) {
        db::TField* field = dataCol >= 0 ? ColumnField(dataCol) : nullptr;
        DrawAnsiCellText(rect, field ? field->DisplayLabel() : platform::AnsiString());
    } else if (!LinkedDataSet()) {
        DrawAnsiCellText(rect, platform::AnsiString());
    } else if (dataCol < 0) {
        DrawBaseCell(ACol, ARow, ARect, AState);
    }
    if (FCtl3D)
        DrawFixedFrame(rect);
}

void TQXDBGrid::DrawBaseCell(int ACol, int ARow, const QRect& rect, TGridDrawState state) {
    QPainter& p = *FCanvas.painter;
    const int dataRow = ARow - FixedRows();
    const int dataCol = ACol - FixedCols();
    if (state & gdFixed) {
        p.fillRect(rect, FixedColor());
        DrawIndicator(dataRow, rect);
        return;
    }
    db::TDataSet* ds = LinkedDataSet();
    if (!ds || dataRow >= ds->ViewRecordCount()) {
        p.fillRect(rect, FCanvas.brush);
        return;
    }
    if ((state & gdSelected) && ((FOptions & dgAlwaysShowSelection) || hasFocus())) {
        FCanvas.brush = palette().color(QPalette::Highlight);
        FCanvas.fontColor = palette().color(QPalette::HighlightedText);
    }
    if (!isEnabled())
        FCanvas.fontColor = palette().color(QPalette::Disabled, QPalette::Text);
    FCanvas.writtenField = nullptr;
    ActiveRecordScope onRow(*ds, dataRow);
    const TColumn column{ColumnField(dataCol), dataCol};
    DrawDataCell(rect, column.Field, state);
    DrawColumnCell(rect, dataCol, column, state);
}

void TQXDBGrid::DrawIndicator(int dataRow, const QRect& rect) {
    db::TDataSet* ds = LinkedDataSet();
    if (!ds || dataRow != ds->CurrentIndex())
        return;
    QPainter& p = *FCanvas.painter;
    p.save();
    const QColor ink = palette().color(QPalette::Text);
    const QPoint c = rect.center();
    if (ds->State() == db::dsEdit) {
        // An I-beam: the record is being edited.
        p.fillRect(QRect(c.x(), c.y() - 4, 1, 9), ink);
        p.fillRect(QRect(c.x() - 2, c.y() - 4, 5, 1), ink);
        p.fillRect(QRect(c.x() - 2, c.y() + 4, 5, 1), ink);
    } else if (ds->State() == db::dsInsert) {
        // A star: the record is new.
        p.fillRect(QRect(c.x() - 3, c.y(), 7, 1), ink);
        p.fillRect(QRect(c.x(), c.y() - 3, 1, 7), ink);
        p.fillRect(QRect(c.x() - 2, c.y() - 2, 1, 1), ink);
        p.fillRect(QRect(c.x() + 2, c.y() - 2, 1, 1), ink);
        p.fillRect(QRect(c.x() - 2, c.y() + 2, 1, 1), ink);
        p.fillRect(QRect(c.x() + 2, c.y() + 2, 1, 1), ink);
    } else {
        // A triangle pointing at the current record.
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawPolygon(QPolygon({QPoint(c.x() - 2, c.y() - 4), QPoint(c.x() + 2, c.y()),
                                QPoint(c.x() - 2, c.y() + 4)}));
    }
    p.restore();
}

void TQXDBGrid::WriteFieldText(const QRect& rect, const db::TField* field) {
    if (!field)
        DrawAnsiCellText(rect, platform::AnsiString());
    else if (QXGrid::IsWideField(*field))
        DrawWideCellText(rect, field->WideDisplayText());
    else
        DrawAnsiCellText(rect, field->DisplayText());
}

void TQXDBGrid::DrawDataCell(const QRect& rect, db::TField* field, TGridDrawState state) {
    WriteFieldText(rect, field);
    FCanvas.writtenField = field;
    FCanvas.writtenRect = rect;
    if (OnDrawDataCell)
        OnDrawDataCell(rect, field, state);
}

void TQXDBGrid::DrawColumnCell(const QRect& rect, int dataCol, const TColumn& column,
                               TGridDrawState state) {
    // Both hooks write the same text into the same cell; once is enough (one
    // conversion and one text output per cell), unless the data hook's event
    // may have drawn over it.
    const bool written =
        FCanvas.writtenField == column.Field && FCanvas.writtenRect == rect && !OnDrawDataCell;
    if (!written)
        WriteFieldText(rect, column.Field);
    if (OnDrawColumnCell)
        OnDrawColumnCell(rect, dataCol, column, state);
}

void TQXDBGrid::DrawAnsiCellText(const QRect& rect, const platform::AnsiString& text) {
    DrawCellText(rect, QString::fromStdU16String(QXGrid::AnsiCellText(text)));
}

void TQXDBGrid::DrawWideCellText(const QRect& rect, const platform::WideString& text) {
    DrawCellText(rect, QString::fromStdU16String(QXGrid::WideCellText(text)));
}

void TQXDBGrid::DrawCellText(const QRect& rect, const QString& text) {
    QPainter& p = *FCanvas.painter;
    p.save();
    p.setClipRect(rect, p.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
    if (!FCanvas.brushClear)
        p.fillRect(rect, FCanvas.brush);
    if (!text.isEmpty()) {
        p.setFont(FCanvas.font);
        p.setPen(FCanvas.fontColor);
        // One line, its top 2 pixels below the cell's, whatever the alignment of the field.
        p.drawText(QPoint(rect.left() + 2, rect.top() + 2 + p.fontMetrics().ascent()), text);
    }
    p.restore();
}

void TQXDBGrid::DrawFixedFrame(QRect rect) {
    QPainter& p = *FCanvas.painter;
    const int L = rect.left();
    const int T = rect.top();
    int R = rect.left() + rect.width(); // exclusive
    int B = rect.top() + rect.height(); // exclusive
    if (!(FOptions & dgColLines)) {
        p.fillRect(QRect(R - 1, T, 1, B - T), Qt::black);
        --R;
    }
    if (!(FOptions & dgRowLines)) {
        p.fillRect(QRect(L, B - 1, R - L, 1), Qt::black);
        --B;
    }
    if (R - L < 1 || B - T < 1)
        return;
    const QColor light = palette().color(QPalette::Light);
    const QColor shadow = palette().color(QPalette::Dark);
    p.fillRect(QRect(L, T, R - 1 - L, 1), light);
    p.fillRect(QRect(L, T, 1, B - 1 - T), light);
    p.fillRect(QRect(R - 1, T, 1, B - T), shadow);
    p.fillRect(QRect(L, B - 1, R - L, 1), shadow);
}
