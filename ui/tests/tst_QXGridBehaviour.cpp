// How a TQXDBGrid behaves: the focus on a mouse press, the keyboard layout
// kept when the focus leaves, the view's current row following the dataset
// and back, cell clicks and the selected field, and in-place edits going
// through the dataset (posted on Enter or a row change, cancelled by Esc, a
// refused post keeping the change and reporting the error).
#include "tst_QXGridDataSet.h"

#include "data/db/DataSource.h"
#include "platform/Dialogs.h"
#include "platform/KeyboardLayout.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

using db::Variant;
using gridtest::GridDataSet;
using platform::AnsiString;

Q_DECLARE_METATYPE(Variant)

namespace {

/// A small window: a line edit that holds the focus first, and the grid over three rows.
struct Fixture {
    GridDataSet ds{
        {{"ID", db::ftInteger}, {"Name", db::ftString, 30}, {"City", db::ftWideString, 20}},
        {{Variant(1), Variant("Ada"), Variant(u"London")},
         {Variant(2), Variant("Bob"), Variant(u"Paris")},
         {Variant(3), Variant("Cyd"), Variant::null()}}};
    db::TDataSource source;
    QWidget window;
    QLineEdit* other = new QLineEdit(&window);
    TQXDBGrid* grid = new TQXDBGrid(&window);
    std::vector<std::string> errors;

    Fixture() {
        ds.Open();
        source.SetDataSet(&ds);
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(other);
        layout->addWidget(grid);
        grid->SetDataSource(&source);
        grid->OnError = [this](const std::exception& e) {
            errors.emplace_back(e.what());
        };
        window.resize(500, 300);
    }

    QPoint CellCentre(int row, int column) const {
        return grid->visualRect(grid->model()->index(row, column)).center();
    }
    /// The open cell editor, or nullptr.
    QLineEdit* Editor() const {
        for (QLineEdit* e : grid->findChildren<QLineEdit*>())
            if (!e->isHidden())
                return e;
        return nullptr;
    }
    /// Opens the editor on (row, column) with F2, types `text` and ends with `key`.
    void EditCell(int row, int column, const QString& text, Qt::Key key) {
        grid->setCurrentIndex(grid->model()->index(row, column));
        QTest::keyClick(grid, Qt::Key_F2);
        QLineEdit* editor = Editor();
        QVERIFY(editor);
        editor->setText(text);
        QTest::keyClick(editor, key);
        QCoreApplication::processEvents();
    }
};

/// Answers `before` for the first read of the layout and `after` from then on.
class FakeLayouts : public platform::KeyboardLayouts {
public:
    FakeLayouts(platform::KeyboardLayoutId before, platform::KeyboardLayoutId after)
        : FBefore(before), FAfter(after) {
        platform::setKeyboardLayouts(this);
    }
    ~FakeLayouts() override { platform::setKeyboardLayouts(nullptr); }
    platform::KeyboardLayoutId current() const override { return FReads++ == 0 ? FBefore : FAfter; }
    void activate(platform::KeyboardLayoutId layout) override { activated.push_back(layout); }
    std::vector<platform::KeyboardLayoutId> activated;

private:
    platform::KeyboardLayoutId FBefore, FAfter;
    mutable int FReads = 0;
};

} // namespace

class tst_QXGridBehaviour : public QObject {
    Q_OBJECT

private slots:
    void init() { QXGrid::SetGridUnitForTesting(950, false); }
    void pressGivesFocusFirst_data();
    void pressGivesFocusFirst();
    void focusLossKeepsKeyboardLayout_data();
    void focusLossKeepsKeyboardLayout();
    void currentRowFollowsDataSet();
    void shapeFollowsDataSet();
    void appendedRecordIsPosted();
    void columnWidthsFollowDisplayWidth();
    void cellClickAndSelectedField();
    void editPostsThroughDataSet_data();
    void editPostsThroughDataSet();
    void refusedPostKeepsChange();
    void editorStopsAtStringFieldSize_data();
    void editorStopsAtStringFieldSize();
    void defaultErrorBox();
    void escapeCancelsEdit();
    void untouchedEditorWritesNothing();
    void readOnlyGridDoesNotEdit();
};

void tst_QXGridBehaviour::pressGivesFocusFirst_data() {
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::newRow("left") << Qt::LeftButton;
    QTest::newRow("right") << Qt::RightButton;
}

void tst_QXGridBehaviour::pressGivesFocusFirst() {
    QFETCH(Qt::MouseButton, button);
    Fixture f;
    // Not a click-focus widget: only the grid's own press handling can take the focus.
    f.grid->setFocusPolicy(Qt::TabFocus);
    f.window.show();
    QVERIFY(QTest::qWaitForWindowActive(&f.window));
    f.other->setFocus();
    QVERIFY(f.other->hasFocus());
    bool focusedWhenPressed = false;
    QObject::connect(f.grid, &QAbstractItemView::pressed,
                     [&] { focusedWhenPressed = f.grid->hasFocus(); });
    QTest::mousePress(f.grid->viewport(), button, {}, f.CellCentre(1, 1));
    QVERIFY(f.grid->hasFocus());
    QVERIFY(focusedWhenPressed);
    QTest::mouseRelease(f.grid->viewport(), button, {}, f.CellCentre(1, 1));
}

void tst_QXGridBehaviour::focusLossKeepsKeyboardLayout_data() {
    QTest::addColumn<quintptr>("before");
    QTest::addColumn<quintptr>("after");
    QTest::addColumn<int>("activations");
    QTest::newRow("changed on the way out") << quintptr(0x04040404) << quintptr(0x04090409) << 1;
    QTest::newRow("unchanged") << quintptr(0x04040404) << quintptr(0x04040404) << 0;
}

void tst_QXGridBehaviour::focusLossKeepsKeyboardLayout() {
    QFETCH(quintptr, before);
    QFETCH(quintptr, after);
    QFETCH(int, activations);
    Fixture f;
    FakeLayouts layouts(before, after);
    QFocusEvent out(QEvent::FocusOut, Qt::MouseFocusReason);
    QApplication::sendEvent(f.grid, &out);
    QCOMPARE(static_cast<int>(layouts.activated.size()), activations);
    if (activations)
        QCOMPARE(layouts.activated.front(), before);
}

void tst_QXGridBehaviour::currentRowFollowsDataSet() {
    Fixture f;
    QCOMPARE(f.grid->currentIndex().row(), 0);
    f.ds.Last();
    QCOMPARE(f.grid->currentIndex().row(), 2);
    f.grid->setCurrentIndex(f.grid->model()->index(1, 2));
    QCOMPARE(f.ds.CurrentIndex(), 1);
    QCOMPARE(f.ds.ActiveRecordIndex(), 1);
    f.source.SetDataSet(nullptr);
    QCOMPARE(f.grid->ColumnCount(), 0);
    QCOMPARE(f.grid->SelectedField(), nullptr);
}

void tst_QXGridBehaviour::shapeFollowsDataSet() {
    Fixture f;
    QAbstractItemModel* model = f.grid->model();
    QCOMPARE(model->rowCount(), 3);
    QCOMPARE(model->columnCount(), 3);
    f.ds.Append();
    QCOMPARE(model->rowCount(), 4);
    QCOMPARE(f.grid->currentIndex().row(), 3);
    f.ds.Cancel();
    QCOMPARE(model->rowCount(), 3);
    // Closed: one empty title over one empty cell, no fields.
    f.ds.Close();
    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(model->columnCount(), 1);
    QCOMPARE(f.grid->ColumnCount(), 0);
    QVERIFY(!(model->flags(model->index(0, 0)) & Qt::ItemIsEditable));
    f.ds.Open();
    QCOMPARE(model->rowCount(), 3);
    QCOMPARE(f.grid->ColumnField(1), f.ds.FieldByName("Name"));
}

void tst_QXGridBehaviour::appendedRecordIsPosted() {
    Fixture f;
    f.ds.Append();
    f.EditCell(3, 1, "Dee", Qt::Key_Return);
    QVERIFY(f.errors.empty());
    QCOMPARE(f.ds.State(), db::dsBrowse);
    QCOMPARE(f.ds.Rows().size(), size_t(4));
    QVERIFY(f.ds.Rows().at(3).at(1) == Variant("Dee"));
    QCOMPARE(f.grid->model()->rowCount(), 4);
}

void tst_QXGridBehaviour::columnWidthsFollowDisplayWidth() {
    Fixture f;
    QHeaderView* titles = f.grid->horizontalHeader();
    const int average = QFontMetrics(f.grid->font()).averageCharWidth();
    QCOMPARE(titles->sectionSize(1), 30 * average + 4); // Name: its size in characters
    // Set after opening, as the window does for its reference columns.
    f.ds.FieldByName("Name")->SetDisplayWidth(18);
    titles->resizeSection(0, 77); // dragged by the operator
    f.ds.Next();
    QCOMPARE(titles->sectionSize(1), 18 * average + 4);
    QCOMPARE(titles->sectionSize(0), 77);
    // A title wider than the field's width widens its column.
    f.ds.FieldByName("ID")->SetDisplayLabel(std::string(40, 'W'));
    f.ds.FieldByName("ID")->SetDisplayWidth(2);
    f.ds.Next();
    QVERIFY(titles->sectionSize(0) > 40 * average);
}

void tst_QXGridBehaviour::cellClickAndSelectedField() {
    Fixture f;
    f.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.window));
    QSignalSpy clicks(f.grid, &TQXDBGrid::CellClick);
    std::vector<int> hooked;
    f.grid->OnCellClick = [&](int column) {
        hooked.push_back(column);
    };
    QTest::mouseClick(f.grid->viewport(), Qt::LeftButton, {}, f.CellCentre(2, 2));
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(clicks.at(0).at(0).toInt(), 2);
    QCOMPARE(hooked, std::vector<int>{2});
    QCOMPARE(f.grid->SelectedIndex(), 2);
    QCOMPARE(f.grid->SelectedField(), f.ds.FieldByName("City"));
    QCOMPARE(f.ds.CurrentIndex(), 2);
    f.grid->SetSelectedField(f.ds.FieldByName("ID"));
    QCOMPARE(f.grid->SelectedIndex(), 0);
    // A press on a title is no cell click.
    QTest::mouseClick(f.grid->horizontalHeader()->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(clicks.count(), 1);
}

void tst_QXGridBehaviour::editPostsThroughDataSet_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("codePage");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<Variant>("stored");
    QTest::newRow("narrow text") << 1 << 437 << "Zed" << Variant("Zed");
    QTest::newRow("narrow text in the grid's code page")
        << 1 << 950 << QString::fromUtf8("中文") << Variant("\xA4\xA4\xA4\xE5");
    QTest::newRow("wide text as typed")
        << 2 << 437 << QString::fromUtf8("繁體简体") << Variant(u"\u7E41\u9AD4\u7B80\u4F53");
    QTest::newRow("number") << 0 << 950 << "42" << Variant(42);
}

void tst_QXGridBehaviour::editPostsThroughDataSet() {
    QFETCH(int, column);
    QFETCH(int, codePage);
    QFETCH(QString, typed);
    QFETCH(Variant, stored);
    QXGrid::SetGridUnitForTesting(static_cast<platform::CodePage>(codePage), false);
    Fixture f;
    f.EditCell(1, column, typed, Qt::Key_Return);
    QVERIFY(f.errors.empty());
    QCOMPARE(f.ds.Posts, 1);
    QCOMPARE(f.ds.State(), db::dsBrowse);
    QVERIFY(f.ds.Rows().at(1).at(static_cast<size_t>(column)) == stored);
    QCOMPARE(f.grid->model()->data(f.grid->model()->index(1, column)).toString(), typed);
}

void tst_QXGridBehaviour::refusedPostKeepsChange() {
    Fixture f;
    f.ds.FailNextPost = "Row is locked";
    f.EditCell(0, 1, "Zed", Qt::Key_Return);
    QCOMPARE(f.errors, std::vector<std::string>{"Row is locked"});
    QCOMPARE(f.ds.State(), db::dsEdit);
    QCOMPARE(f.ds.FieldByName("Name")->AsString(), AnsiString("Zed"));
    QVERIFY(f.ds.Rows().at(0).at(1) == Variant("Ada"));
    // Leaving the row posts again; this time it goes through.
    f.grid->setCurrentIndex(f.grid->model()->index(2, 1));
    QCOMPARE(f.ds.State(), db::dsBrowse);
    QVERIFY(f.ds.Rows().at(0).at(1) == Variant("Zed"));
    QCOMPARE(f.ds.CurrentIndex(), 2);

    // A refused post on leaving the row keeps the grid on it.
    f.ds.FailNextPost = "Row is locked";
    f.EditCell(2, 1, "Eve", Qt::Key_Tab);
    f.grid->setCurrentIndex(f.grid->model()->index(0, 1));
    QCOMPARE(f.errors.size(), size_t(2));
    QCOMPARE(f.ds.CurrentIndex(), 2);
    QCOMPARE(f.grid->currentIndex().row(), 2);
    QCOMPARE(f.ds.FieldByName("Name")->AsString(), AnsiString("Eve"));
}

void tst_QXGridBehaviour::editorStopsAtStringFieldSize_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("maxLength");
    QTest::newRow("string field") << 1 << 30;
    QTest::newRow("wide string field") << 2 << 20;
    QTest::newRow("number field: no limit") << 0 << QLineEdit().maxLength();
}

// Typing stops at the size of a string field, as the base grid's editor does, so
// an overlong value never reaches the server.
void tst_QXGridBehaviour::editorStopsAtStringFieldSize() {
    QFETCH(int, column);
    QFETCH(int, maxLength);
    Fixture f;
    f.grid->setCurrentIndex(f.grid->model()->index(1, column));
    QTest::keyClick(f.grid, Qt::Key_F2);
    QLineEdit* editor = f.Editor();
    QVERIFY(editor);
    QCOMPARE(editor->maxLength(), maxLength);
    if (column == 0)
        return;
    editor->selectAll();
    QTest::keyClicks(editor, QString(40, 'x'));
    QCOMPARE(editor->text(), QString(maxLength, 'x'));
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    QVERIFY(f.errors.empty());
    QCOMPARE(f.grid->model()->data(f.grid->model()->index(1, column)).toString(),
             QString(maxLength, 'x'));
}

void tst_QXGridBehaviour::defaultErrorBox() {
    platform::RecordingDialogs dialogs;
    TQXDBGrid grid;
    QVERIFY(grid.OnError);
    grid.OnError(std::runtime_error("Row is locked"));
    QCOMPARE(dialogs.boxes.size(), size_t(1));
    QCOMPARE(dialogs.boxes[0].title, QString("Velkin(SQL)"));
    QCOMPARE(dialogs.boxes[0].text, QString("Row is locked."));
    QVERIFY(dialogs.boxes[0].kind == platform::BoxKind::Error);
}

void tst_QXGridBehaviour::escapeCancelsEdit() {
    Fixture f;
    f.EditCell(1, 1, "Zed", Qt::Key_Escape);
    QCOMPARE(f.ds.State(), db::dsBrowse);
    QCOMPARE(f.ds.Posts, 0);
    QCOMPARE(f.ds.FieldByName("Name")->AsString(), AnsiString("Bob"));
    // A change left pending by a closed editor is cancelled by Esc on the grid.
    f.grid->model()->setData(f.grid->model()->index(1, 1), "Zed");
    QCOMPARE(f.ds.State(), db::dsEdit);
    QTest::keyClick(f.grid, Qt::Key_Escape);
    QCOMPARE(f.ds.State(), db::dsBrowse);
    QVERIFY(f.ds.Rows().at(1).at(1) == Variant("Bob"));
}

void tst_QXGridBehaviour::untouchedEditorWritesNothing() {
    Fixture f;
    f.EditCell(2, 2, QString(), Qt::Key_Return);
    f.EditCell(1, 1, "Bob", Qt::Key_Return);
    QCOMPARE(f.ds.State(), db::dsBrowse);
    QCOMPARE(f.ds.Posts, 0);
    QVERIFY(f.ds.Rows().at(2).at(2).isNull());
}

void tst_QXGridBehaviour::readOnlyGridDoesNotEdit() {
    Fixture f;
    f.grid->SetReadOnly(true);
    f.grid->setCurrentIndex(f.grid->model()->index(1, 1));
    QTest::keyClick(f.grid, Qt::Key_F2);
    QTest::keyClick(f.grid, Qt::Key_A);
    QVERIFY(!f.Editor());
    QVERIFY(!f.grid->model()->setData(f.grid->model()->index(1, 1), "Zed"));
    QCOMPARE(f.ds.State(), db::dsBrowse);
    f.grid->SetReadOnly(false);
    QVERIFY(f.grid->model()->flags(f.grid->model()->index(1, 1)) & Qt::ItemIsEditable);
}

QTEST_MAIN(tst_QXGridBehaviour)
#include "tst_QXGridBehaviour.moc"
