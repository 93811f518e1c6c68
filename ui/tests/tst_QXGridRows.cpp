// Adding and deleting rows in a TQXDBGrid: Insert before the current row, Down
// on the last row appending (but not after an untouched new row), Esc dropping
// a row not yet posted, Ctrl+Delete asking "Delete record?" (OK deletes,
// Cancel keeps), a refused delete keeping the row, read-only grids refusing
// all of it, and the model's column titles.
#include "tst_QXGridDataSet.h"

#include "data/db/DataSource.h"
#include "platform/Dialogs.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>

using db::Variant;
using gridtest::GridDataSet;

namespace {

struct Fixture {
    GridDataSet ds{{{"ID", db::ftInteger}, {"Name", db::ftString, 30}, {"Total", db::ftInteger}},
                   {{Variant(1), Variant("Ada"), Variant(10)},
                    {Variant(2), Variant("Bob"), Variant(20)},
                    {Variant(3), Variant("Cyd"), Variant(30)}}};
    db::TDataSource source;
    TQXDBGrid grid;
    platform::RecordingDialogs dialogs;
    std::vector<std::string> errors;

    Fixture() {
        ds.Open();
        source.SetDataSet(&ds);
        grid.SetDataSource(&source);
        grid.OnError = [this](const std::exception& e) {
            errors.emplace_back(e.what());
        };
        grid.resize(400, 200);
    }
    void GoTo(int row) { grid.setCurrentIndex(grid.model()->index(row, 1)); }
    /// Types `text` into the current row's Name cell and closes the editor with `key`.
    void Type(const QString& text, Qt::Key key = Qt::Key_Tab) {
        grid.setCurrentIndex(grid.model()->index(grid.currentIndex().row(), 1));
        QTest::keyClick(&grid, Qt::Key_F2);
        for (QLineEdit* e : grid.findChildren<QLineEdit*>())
            if (!e->isHidden()) {
                e->setText(text);
                QTest::keyClick(e, key);
            }
        QCoreApplication::processEvents();
    }
    QString Names() {
        QStringList names;
        for (const auto& row : ds.Rows())
            names << (row.at(1).isBlank() ? "-"
                                          : QString::fromStdString(row.at(1).get<std::string>()));
        return names.join(',');
    }
};

} // namespace

class tst_QXGridRows : public QObject {
    Q_OBJECT

private slots:
    void insertAddsRowBeforeCurrentAndLeavingPostsIt() {
        Fixture f;
        f.GoTo(1);
        QTest::keyClick(&f.grid, Qt::Key_Insert);
        QCOMPARE(f.ds.State(), db::dsInsert);
        QCOMPARE(f.grid.model()->rowCount(), 4);
        QCOMPARE(f.grid.currentIndex().row(), 1);
        f.Type("New");
        f.GoTo(3);
        QVERIFY(f.errors.empty());
        QCOMPARE(f.ds.State(), db::dsBrowse);
        QCOMPARE(f.Names(), QString("Ada,New,Bob,Cyd"));
    }

    void downOnLastRowAppends() {
        Fixture f;
        f.GoTo(2);
        QTest::keyClick(&f.grid, Qt::Key_Down);
        QCOMPARE(f.ds.State(), db::dsInsert);
        QCOMPARE(f.grid.model()->rowCount(), 4);
        QCOMPARE(f.grid.currentIndex().row(), 3);
        // An untouched new row is not followed by another.
        QTest::keyClick(&f.grid, Qt::Key_Down);
        QCOMPARE(f.grid.model()->rowCount(), 4);
        f.Type("Dee", Qt::Key_Return);
        // Down on the last row, now a posted one, appends the next.
        QTest::keyClick(&f.grid, Qt::Key_Down);
        QCOMPARE(f.Names(), QString("Ada,Bob,Cyd,Dee"));
        QCOMPARE(f.ds.State(), db::dsInsert);
        QCOMPARE(f.grid.model()->rowCount(), 5);
        QCOMPARE(f.grid.currentIndex().row(), 4);
        // Esc drops a row not yet posted.
        QTest::keyClick(&f.grid, Qt::Key_Escape);
        QCOMPARE(f.ds.State(), db::dsBrowse);
        QCOMPARE(f.grid.model()->rowCount(), 4);
        QCOMPARE(f.Names(), QString("Ada,Bob,Cyd,Dee"));
        QVERIFY(f.errors.empty());
    }

    void downElsewhereOnlyMoves() {
        Fixture f;
        f.GoTo(0);
        QTest::keyClick(&f.grid, Qt::Key_Down);
        QCOMPARE(f.ds.State(), db::dsBrowse);
        QCOMPARE(f.ds.CurrentIndex(), 1);
        QCOMPARE(f.grid.model()->rowCount(), 3);
    }

    void ctrlDeleteAsksFirst_data() {
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QString>("names");
        QTest::newRow("OK") << true << "Ada,Cyd";
        QTest::newRow("Cancel") << false << "Ada,Bob,Cyd";
    }
    void ctrlDeleteAsksFirst() {
        QFETCH(bool, answer);
        QFETCH(QString, names);
        Fixture f;
        f.dialogs.confirmAnswer = answer;
        f.GoTo(1);
        QTest::keyClick(&f.grid, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(f.dialogs.boxes.size(), size_t(1));
        QVERIFY(f.dialogs.boxes[0].kind == platform::BoxKind::Confirm);
        QCOMPARE(f.dialogs.boxes[0].text, QString("Delete record?"));
        QCOMPARE(f.Names(), names);
        QCOMPARE(f.grid.model()->rowCount(), answer ? 2 : 3);
        QCOMPARE(f.grid.currentIndex().row(), 1);
        // A plain Delete deletes nothing.
        QTest::keyClick(&f.grid, Qt::Key_Delete);
        QCOMPARE(f.Names(), names);
    }

    void refusedDeleteKeepsTheRow() {
        Fixture f;
        f.dialogs.confirmAnswer = true;
        f.ds.FailNextDelete = "DELETE statement conflicted";
        f.GoTo(2);
        QTest::keyClick(&f.grid, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(f.errors, std::vector<std::string>{"DELETE statement conflicted"});
        QCOMPARE(f.Names(), QString("Ada,Bob,Cyd"));
        QCOMPARE(f.grid.currentIndex().row(), 2);
        QCOMPARE(f.ds.CurrentIndex(), 2);
    }

    void refusedInsertPostKeepsTheRow() {
        Fixture f;
        f.GoTo(2);
        QTest::keyClick(&f.grid, Qt::Key_Down);
        f.Type("Dee");
        f.ds.FailNextPost = "Cannot insert the value NULL into column 'ID'";
        f.GoTo(0);
        QCOMPARE(f.errors.size(), size_t(1));
        QCOMPARE(f.ds.State(), db::dsInsert);
        QCOMPARE(f.grid.currentIndex().row(), 3);
    }

    void readOnlyGridRefusesRowChanges() {
        Fixture f;
        f.grid.SetReadOnly(true);
        f.dialogs.confirmAnswer = true;
        f.GoTo(2);
        QTest::keyClick(&f.grid, Qt::Key_Insert);
        QTest::keyClick(&f.grid, Qt::Key_Down);
        QTest::keyClick(&f.grid, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(f.ds.State(), db::dsBrowse);
        QCOMPARE(f.Names(), QString("Ada,Bob,Cyd"));
        QVERIFY(f.dialogs.boxes.empty());
        QVERIFY(f.errors.empty());
    }

    void readOnlyFieldSaysWhyItCannotBeEdited() {
        Fixture f;
        f.ds.FieldByName("Total")->SetReadOnly(true);
        f.grid.setCurrentIndex(f.grid.model()->index(0, 2));
        QTest::keyClick(&f.grid, Qt::Key_F2);
        QCOMPARE(f.errors.size(), size_t(1));
        QVERIFY2(QString::fromStdString(f.errors[0]).contains("'Total' cannot be modified"),
                 f.errors[0].c_str());
        QCOMPARE(f.ds.State(), db::dsBrowse);
        // A read-only grid is read-only as a whole and says nothing per field.
        f.grid.SetReadOnly(true);
        QTest::keyClick(&f.grid, Qt::Key_F2);
        QCOMPARE(f.errors.size(), size_t(1));
    }

    void modelAnswersColumnTitles() {
        Fixture f;
        f.ds.FieldByName("Total")->SetDisplayLabel("Sum");
        QAbstractItemModel* model = f.grid.model();
        QCOMPARE(model->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QString("ID"));
        QCOMPARE(model->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QString("Name"));
        QCOMPARE(model->headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), QString("Sum"));
        f.ds.Close();
        QCOMPARE(model->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QString());
    }
};

QTEST_MAIN(tst_QXGridRows)
#include "tst_QXGridRows.moc"
