#pragma once
// The pieces of a TQXDBGrid's view that hand their painting to the grid: the
// title and indicator headers (fixed cells) and the item delegate (data cells
// and their in-place editor). Each maps its own position to the grid's cell
// (column, row) with the fixed cells counted, as DrawCell takes it.
#include <QHeaderView>
#include <QStyledItemDelegate>

class TQXDBGrid;

class TQXGridHeader : public QHeaderView {
public:
    TQXGridHeader(Qt::Orientation orientation, TQXDBGrid& grid);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    QSize sectionSizeFromContents(int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    TQXDBGrid& FGrid;
};

class TQXGridDelegate : public QStyledItemDelegate {
public:
    explicit TQXGridDelegate(TQXDBGrid& grid);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    /// The in-place editor; for a string field it takes no more than the field's size.
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;

private:
    TQXDBGrid& FGrid;
};
