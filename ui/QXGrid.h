#pragma once
// TQXDBGrid: the data-aware grid of every grid of the window.
//
// The grid shows the visible fields of the dataset behind its data source, one
// row per record (RecordCount rows, plus a record being inserted). It paints
// every cell itself: a title row and an indicator column flat in the button
// face colour with a one-pixel raised frame, and data cells whose text starts
// 2 pixels in and 2 down, clipped to the cell, byte text read in GridCodePage
// and wide text as it stands. Painting reads only the rows in view, through
// the dataset's active-record pointer, and never moves the current record.
//
// The view's current row is always the dataset's current record: moving the
// one moves the other. Edits go into the dataset's fields at once and are
// posted on Enter or when the current row changes; Esc cancels them. Insert
// adds a row before the current one, Down on the last row appends one, and
// Ctrl+Delete deletes the current row after the question "Delete record?";
// a read-only grid, or one over a read-only dataset, does none of these. Errors
// go to OnError (by default the standard error box) and lose nothing: a
// refused post leaves the change pending.
#include "data/db/DataSource.h"
#include "ui/QXGridUnit.h"

#include <QFont>
#include <QTableView>

#include <exception>
#include <functional>
#include <memory>
#include <vector>

class QPainter;
class TQXGridModel;
class TQXGridLink;

class TQXDBGrid : public QTableView {
    Q_OBJECT

public:
    enum TDBGridOption : unsigned {
        dgEditing = 1u << 0,
        dgAlwaysShowEditor = 1u << 1,
        dgTitles = 1u << 2,
        dgIndicator = 1u << 3,
        dgColumnResize = 1u << 4,
        dgColLines = 1u << 5,
        dgRowLines = 1u << 6,
        dgTabs = 1u << 7,
        dgRowSelect = 1u << 8,
        dgAlwaysShowSelection = 1u << 9,
        dgConfirmDelete = 1u << 10,
        dgCancelOnExit = 1u << 11,
        dgMultiSelect = 1u << 12,
    };
    using TDBGridOptions = unsigned;
    static constexpr TDBGridOptions DefaultOptions = dgEditing | dgTitles | dgIndicator |
                                                     dgColumnResize | dgColLines | dgRowLines |
                                                     dgTabs | dgConfirmDelete | dgCancelOnExit;

    enum TGridDrawStateFlag : unsigned { gdSelected = 1u, gdFocused = 2u, gdFixed = 4u };
    using TGridDrawState = unsigned;

    /// A column of the default set: one visible field of the dataset.
    struct TColumn {
        db::TField* Field = nullptr;
        int Index = 0;
    };

    /// Width of the indicator column in pixels.
    static constexpr int IndicatorWidth = 11;

    explicit TQXDBGrid(QWidget* owner = nullptr);
    ~TQXDBGrid() override;

    db::TDataSource* DataSource() const;
    void SetDataSource(db::TDataSource* source);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool readOnly);
    TDBGridOptions Options() const { return FOptions; }
    void SetOptions(TDBGridOptions options);
    bool Ctl3D() const { return FCtl3D; }
    void SetCtl3D(bool ctl3D);
    bool DefaultDrawing() const { return FDefaultDrawing; }
    void SetDefaultDrawing(bool defaultDrawing) { FDefaultDrawing = defaultDrawing; }
    const QFont& TitleFont() const { return FTitleFont; }
    void SetTitleFont(const QFont& font);
    QColor FixedColor() const;
    void SetFixedColor(const QColor& color);

    /// Columns shown (the visible fields of an open dataset).
    int ColumnCount() const { return static_cast<int>(FColumns.size()); }
    /// The field of data column `index`, or nullptr.
    db::TField* ColumnField(int index) const;
    /// The field of the current column, or nullptr.
    db::TField* SelectedField() const;
    void SetSelectedField(db::TField* field);
    /// The current data column (from 0); -1 without columns.
    int SelectedIndex() const;
    void SetSelectedIndex(int index);

    /// Paints cell (ACol, ARow) of the whole grid, fixed cells counted, at `rect`.
    void PaintCell(QPainter& painter, int ACol, int ARow, const QRect& rect, TGridDrawState state);
    /// Fixed columns (the indicator) and fixed rows (the titles) as the options make them.
    int FixedCols() const { return (FOptions & dgIndicator) ? 1 : 0; }
    int FixedRows() const { return (FOptions & dgTitles) ? 1 : 0; }

    /// Fired on a click on a data cell with its data column.
    std::function<void(int column)> OnCellClick;
    std::function<void(const QRect&, db::TField*, TGridDrawState)> OnDrawDataCell;
    std::function<void(const QRect&, int, const TColumn&, TGridDrawState)> OnDrawColumnCell;
    /// Where errors of edits and posts go; by default the standard error box.
    std::function<void(const std::exception&)> OnError;

signals:
    void CellClick(int column);

protected:
    virtual void DrawCell(int ACol, int ARow, const QRect& ARect, TGridDrawState AState);
    virtual void DrawDataCell(const QRect& rect, db::TField* field, TGridDrawState state);
    virtual void DrawColumnCell(const QRect& rect, int dataCol, const TColumn& column,
                                TGridDrawState state);
    virtual void DrawAnsiCellText(const QRect& rect, const platform::AnsiString& text);
    virtual void DrawWideCellText(const QRect& rect, const platform::WideString& text);

    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;

private:
    friend class TQXGridModel;
    friend class TQXGridLink;
    friend class TQXGridHeader;
    friend class TQXGridDelegate;

    /// What the painting operations draw with: the canvas of the cell being painted.
    struct Canvas {
        QPainter* painter = nullptr;
        QFont font;
        QColor brush;
        QColor fontColor;
        bool brushClear = false;
        /// The cell whose text DrawDataCell wrote in this DrawCell; the column
        /// hook would write the same text again and leaves it as it is.
        const db::TField* writtenField = nullptr;
        QRect writtenRect;
    };

    void DrawBaseCell(int ACol, int ARow, const QRect& rect, TGridDrawState state);
    void DrawIndicator(int dataRow, const QRect& rect);
    void DrawCellText(const QRect& rect, const QString& text);
    void WriteFieldText(const QRect& rect, const db::TField* field);
    void DrawFixedFrame(QRect rect);

    // ---- data link side
    void LinkActiveChanged();
    void LinkDataChanged();
    void LinkScrolled();
    void RebuildColumns();
    /// Sizes the columns from their fields' display widths; `changedOnly` leaves the
    /// columns whose field width is the one last applied.
    void ApplyColumnWidths(bool changedOnly = false);
    void SyncCurrentRow();
    bool WriteCell(int row, int column, const QString& text);
    bool PostEdit();
    void CancelEdit();
    bool Editable(int column) const;
    /// Whether rows may be added and deleted: an editable grid over a modifiable dataset.
    bool CanChangeRows() const;
    /// Insert (before the current row) or append a row; a refusal is reported.
    void InsertRow(bool append);
    /// Down on the last row: a new row after it, unless that row is new and untouched.
    void AppendBelowLastRow();
    /// Ctrl+Delete: deletes the current row after the question, if the operator agrees.
    void DeleteCurrentRow();
    void ApplyEditTriggers();
    void ApplySizes();
    void ReportError(const std::exception& error);
    db::TDataSet* LinkedDataSet() const;

    std::unique_ptr<TQXGridLink> FDataLink;
    TQXGridModel* FModel = nullptr;
    std::vector<db::TField*> FColumns;
    std::vector<int> FAppliedWidths; ///< display width (characters) each column was sized for
    Canvas FCanvas;
    QFont FTitleFont;
    QColor FFixedColor;
    TDBGridOptions FOptions = DefaultOptions;
    bool FReadOnly = false;
    bool FCtl3D = true;
    bool FDefaultDrawing = true;
    bool FSyncing = false;   ///< the view's current row is being set from the dataset
    bool FMovingRow = false; ///< the dataset is being moved to the view's current row
};
