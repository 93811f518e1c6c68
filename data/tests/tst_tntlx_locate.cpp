// Searching the Unicode dataset without a server: the find and filter
// conditions, the SQL tokenizer behind TableNameFromSelect, prepared insert
// defaults per provider, and Locate / Lookup over an in-memory recordset
// (filter path, seek path, scroll events, bad keys).
#include "data/SqlTokenizer.h"
#include "data/TntLXAdoDataSet.h"
#include "data/db/ADOComponents.h"
#include "data/db/VariantConv.h"

#include <QTest>

using namespace tnt;

Q_DECLARE_METATYPE(ado::Variant)
Q_DECLARE_METATYPE(db::TFieldType)

namespace {

ado::ColumnInfo Col(const char16_t* name, ado::DataType type, bool nullable = true) {
    ado::ColumnInfo c;
    c.name = name;
    c.type = type;
    c.definedSize = type == ado::DataType::Integer ? 4 : 40;
    c.nullable = nullable;
    return c;
}

/// Rows in an order where the first match by key differs from the first row.
std::shared_ptr<ado::Recordset> Rows() {
    using ado::DataType;
    const Variant null = Variant::null();
    return ado::Recordset::FromRows(
        {Col(u"ID", DataType::Integer, false), Col(u"Code", DataType::VarChar),
         Col(u"Name", DataType::VarWChar), Col(u"Order No", DataType::Integer)},
        {{int64_t{3}, "abc", u"Pear", int64_t{7}},
         {int64_t{1}, "abd", u"蘋果", int64_t{8}},
         {int64_t{2}, "it's", u"a#b", int64_t{7}},
         {int64_t{4}, null, u"[x] y", int64_t{9}},
         {int64_t{5}, "abc", u"Plum", int64_t{9}}});
}

class SearchDataSet : public TTntADODataSetLX {
public:
    using TTntADODataSetLX::DefaultValues;
    using TTntADODataSetLX::DoBeforeOpen;
    using TTntADODataSetLX::LookupCursor;
    using TTntADODataSetLX::PrepareDefaultValue;
    int before = 0, after = 0;
    SearchDataSet() {
        BeforeScroll = [this](db::TDataSet&) {
            ++before;
        };
        AfterScroll = [this](db::TDataSet&) {
            ++after;
        };
    }
};

db::KeyValues Keys(std::vector<Variant> values) {
    return db::KeyValues::Array(std::move(values));
}

} // namespace

class TntLXLocateTest : public QObject {
    Q_OBJECT

    std::unique_ptr<SearchDataSet> ds_;

    int CurrentID() const { return ds_->FieldByName("ID")->AsInteger(); }

private slots:
    void init() {
        ds_ = std::make_unique<SearchDataSet>();
        ds_->SetRecordset(Rows());
        ds_->before = ds_->after = 0;
    }
    void cleanup() { ds_.reset(); }

    void keyCondition_data() {
        QTest::addColumn<db::TFieldType>("type");
        QTest::addColumn<QString>("name");
        QTest::addColumn<Variant>("key");
        QTest::addColumn<bool>("partial");
        QTest::addColumn<QString>("condition");
        QTest::newRow("text") << db::ftString << "Code" << Variant("abc") << false
                              << "(Code='abc')";
        QTest::newRow("partial text")
            << db::ftString << "Code" << Variant("abc") << true << "(Code like 'abc*')";
        QTest::newRow("quote in key")
            << db::ftString << "Code" << Variant("it's") << false << "(Code=#it's#)";
        QTest::newRow("null") << db::ftString << "Code" << Variant::null() << false
                              << "(Code=Null)";
        QTest::newRow("unassigned") << db::ftInteger << "ID" << Variant() << true << "(ID=Null)";
        QTest::newRow("integer") << db::ftInteger << "ID" << Variant(5) << false << "(ID=5)";
        QTest::newRow("partial integer") << db::ftInteger << "ID" << Variant(5) << true << "(ID=5)";
        QTest::newRow("blank in name")
            << db::ftInteger << "Order No" << Variant(7) << false << "([Order No]=7)";
        QTest::newRow("empty partial")
            << db::ftWideString << "Name" << Variant(u"") << true << "(Name='')";
        QTest::newRow("wide Chinese")
            << db::ftWideString << "Name" << Variant(u"蘋果") << true << "(Name like '蘋果*')";
        QTest::newRow("date") << db::ftDateTime << "When"
                              << Variant(ado::DateTime{2024, 5, 6, 7, 8, 9, 0}) << false
                              << "(When=#2024-05-06 07:08:09#)";
    }
    void keyCondition() {
        QFETCH(db::TFieldType, type);
        QFETCH(QString, name);
        QFETCH(Variant, key);
        QFETCH(bool, partial);
        QFETCH(QString, condition);
        db::TField field;
        field.SetFieldName(name.toStdString());
        field.SetDataType(type);
        QCOMPARE(
            QString::fromStdU16String(TTntADODataSetLX::BuildKeyCondition(&field, key, partial)),
            condition);
    }

    void tableNameFromSelect_data() {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("table");
        QTest::newRow("bare name") << "Customers"
                                   << "Customers";
        QTest::newRow("star") << "SELECT * FROM Customers"
                              << "Customers";
        QTest::newRow("where") << "select Name, City from dbo.Customers where City = 'x'"
                               << "dbo.Customers";
        QTest::newRow("order by") << "SELECT * FROM [Order Lines] ORDER BY 1"
                                  << "[Order Lines]";
        QTest::newRow("join") << "SELECT * FROM A JOIN B ON A.x = B.x"
                              << "";
        QTest::newRow("two tables") << "SELECT * FROM A, B"
                                    << "";
        QTest::newRow("alias") << "SELECT * FROM A a"
                               << "";
        QTest::newRow("group by") << "SELECT x FROM A GROUP BY x"
                                  << "";
        QTest::newRow("not a select") << "UPDATE A SET x = 1"
                                      << "";
        QTest::newRow("no from") << "SELECT 1 + 2"
                                 << "";
        QTest::newRow("subquery") << "SELECT * FROM (SELECT * FROM A) q"
                                  << "";
        QTest::newRow("from in text") << "SELECT 'a FROM b' FROM T"
                                      << "T";
        QTest::newRow("from in comment") << "SELECT x /* FROM b */ FROM T -- x\n"
                                         << "T";
        QTest::newRow("bracketed keyword") << "SELECT [from] FROM T WHERE 1 = 1"
                                           << "T";
    }
    void tableNameFromSelect() {
        QFETCH(QString, statement);
        QFETCH(QString, table);
        QCOMPARE(QString::fromStdU16String(
                     TTntADODataSetLX::TableNameFromSelect(statement.toStdString())),
                 table);
    }

    void plainSelectColumns_data() {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<bool>("star");
        QTest::addColumn<QString>("columns"); // "position:column ..."
        QTest::newRow("star") << "SELECT * FROM T" << true << true << "";
        QTest::newRow("plain") << "SELECT a, [b c], t.d FROM T" << true << false << "0:a 1:b c 2:d";
        QTest::newRow("expressions and aliases")
            << "SELECT a + 1, b AS x, c y, (d), e FROM T" << true << false << "4:e";
        QTest::newRow("star among others") << "SELECT a, * FROM T" << false << false << "";
        QTest::newRow("function") << "SELECT count(a), b FROM T" << true << false << "1:b";
        QTest::newRow("not a select") << "DELETE FROM T" << false << false << "";
    }
    void plainSelectColumns() {
        QFETCH(QString, statement);
        QFETCH(bool, readable);
        QFETCH(bool, star);
        QFETCH(QString, columns);
        std::vector<TSelectColumn> found;
        bool isStar = true;
        QCOMPARE(PlainSelectColumns(statement.toStdU16String(), found, isStar), readable);
        QCOMPARE(isStar, star);
        QStringList got;
        for (const TSelectColumn& c : found)
            got << QString("%1:%2").arg(c.Position).arg(QString::fromStdU16String(c.Column));
        QCOMPARE(got.join(' '), columns);
    }

    void preparedDefault_data() {
        QTest::addColumn<QString>("provider"); // connection string
        QTest::addColumn<QString>("expression");
        QTest::addColumn<bool>("ready");
        QTest::addColumn<QString>("value");
        const QString sql = "Provider=SQLOLEDB.1;Data Source=h";
        const QString jet = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=a.mdb";
        QTest::newRow("single quotes") << sql << "'it''s'" << true << "it's";
        QTest::newRow("double quotes") << sql << "\"say \"\"hi\"\"\"" << true << "say \"hi\"";
        QTest::newRow("digits") << sql << "42" << true << "42";
        QTest::newRow("none") << sql << "" << true << "";
        QTest::newRow("parenthesised number") << sql << "((0))" << false << "";
        QTest::newRow("parenthesised text") << sql << "('A')" << false << "";
        QTest::newRow("getdate") << sql << "getdate()" << false << "";
        QTest::newRow("negative number") << sql << "-1" << false << "";
        QTest::newRow("jet yes") << jet << "yes" << true << "True";
        QTest::newRow("jet NO") << jet << "NO" << true << "False";
        QTest::newRow("jet true") << jet << "true" << true << "true";
        QTest::newRow("jet now") << jet << "now()" << false << "";
        QTest::newRow("yes elsewhere") << sql << "Yes" << false << "";
    }
    void preparedDefault() {
        QFETCH(QString, provider);
        QFETCH(QString, expression);
        QFETCH(bool, ready);
        QFETCH(QString, value);
        SearchDataSet ds;
        ds.SetConnectionString(provider.toStdU16String());
        ds.DoBeforeOpen();
        db::TStringField field;
        field.SetDefaultExpression(expression.toStdString());
        ds.PrepareDefaultValue(&field);
        QCOMPARE(ds.DefaultValues().size(), size_t{1});
        QCOMPARE(ds.DefaultValues()[0].Ready, ready);
        QCOMPARE(QString::fromStdU16String(ds.DefaultValues()[0].Value), value);
    }

    void locate_data() {
        QTest::addColumn<QString>("fields");
        QTest::addColumn<Variant>("key1");
        QTest::addColumn<Variant>("key2");
        QTest::addColumn<bool>("partial");
        QTest::addColumn<int>("id"); // 0: not found
        QTest::newRow("text") << "Code" << Variant("abc") << Variant() << false << 3;
        QTest::newRow("case of field name") << "code" << Variant("ABD") << Variant() << false << 1;
        QTest::newRow("partial") << "Code" << Variant("ab") << Variant() << true << 3;
        QTest::newRow("quote") << "Code" << Variant("it's") << Variant() << false << 2;
        QTest::newRow("hash") << "Name" << Variant(u"a#b") << Variant() << false << 2;
        QTest::newRow("brackets and blank")
            << "Name" << Variant(u"[x] y") << Variant() << false << 4;
        QTest::newRow("Chinese") << "Name" << Variant(u"蘋果") << Variant() << false << 1;
        QTest::newRow("null key") << "Code" << Variant::null() << Variant() << false << 4;
        QTest::newRow("null key, required field")
            << "ID" << Variant::null() << Variant() << false << 0;
        QTest::newRow("missing") << "Code" << Variant("zzz") << Variant() << false << 0;
        QTest::newRow("unknown field") << "Nope" << Variant("abc") << Variant() << false << 0;
        QTest::newRow("two keys") << "Code;Order No" << Variant("abc") << Variant(9) << false << 5;
        QTest::newRow("two keys, partial last")
            << "Order No;Code" << Variant(8) << Variant("ab") << true << 1;
        QTest::newRow("two keys, none")
            << "Code;Order No" << Variant("abc") << Variant(8) << false << 0;
    }
    void locate() {
        QFETCH(QString, fields);
        QFETCH(Variant, key1);
        QFETCH(Variant, key2);
        QFETCH(bool, partial);
        QFETCH(int, id);
        ds_->Last();
        const int before = CurrentID();
        const db::KeyValues keys = key2.isEmpty() ? db::KeyValues(key1) : Keys({key1, key2});
        const bool found = ds_->Locate(fields.toStdString(), keys, partial ? db::loPartialKey : 0u);
        QCOMPARE(found, id != 0);
        QCOMPARE(CurrentID(), id ? id : before);
    }

    void wrongKeyArraysFindNothing() {
        QVERIFY(!ds_->Locate("Code;Order No", Keys({Variant("abc")}), 0));
        QVERIFY(!ds_->Locate("Code;Order No", db::KeyValues(Variant("abc")), 0));
        QVERIFY(!ds_->Locate("Code", Keys({Variant("abc"), Variant(9)}), 0));
        QVERIFY(ds_->Locate("Code", Keys({Variant("abd")}), 0));
        QCOMPARE(CurrentID(), 1);
    }

    void scrollEventsOfTheFilterPath() {
        QVERIFY(ds_->Locate("Code", db::KeyValues("abd"), 0));
        QCOMPARE(ds_->before, 2);
        QCOMPARE(ds_->after, 1);
        ds_->before = ds_->after = 0;
        QVERIFY(!ds_->Locate("Code", db::KeyValues("zzz"), 0));
        QCOMPARE(ds_->before, 2);
        QCOMPARE(ds_->after, 0);
        ds_->before = ds_->after = 0;
        QCOMPARE(ds_->Lookup("Code", db::KeyValues("abd"), "Name").single(), Variant(u"蘋果"));
        QCOMPARE(ds_->before, 1);
        QCOMPARE(ds_->after, 0);
    }

    void lookupReadsWithoutMoving() {
        ds_->First();
        const db::KeyValues both =
            ds_->Lookup("Order No;Code", Keys({Variant(9), Variant("abc")}), "ID;Name");
        QVERIFY(both.isArray());
        QCOMPARE(both[0], Variant(int64_t{5}));
        QCOMPARE(both[1], Variant(u"Plum"));
        QCOMPARE(CurrentID(), 3);
        QVERIFY(ds_->Lookup("Code", db::KeyValues("zzz"), "ID").single().isNull());
        QVERIFY(ds_->Lookup("Nope", db::KeyValues("abc"), "ID").single().isNull());
        QCOMPARE(ds_->State(), db::dsBrowse);
    }

    void cloneIsKeptAndSortedByTheKeys() {
        QVERIFY(ds_->Locate("Order No;Code", Keys({Variant(7), Variant("it's")}), 0));
        const std::shared_ptr<ado::Recordset> clone = ds_->LookupCursor();
        QVERIFY(clone);
        QCOMPARE(QString::fromStdU16String(clone->Sort()), QString("[Order No],Code"));
        QVERIFY(ds_->Locate("ID", db::KeyValues(4), 0));
        QCOMPARE(ds_->LookupCursor(), clone);
        ds_->Close();
        QVERIFY(!ds_->LookupCursor());
    }

    void seekWhenTheIndexFitsTheKeys_data() {
        QTest::addColumn<QString>("index");
        QTest::addColumn<QString>("fields");
        QTest::addColumn<bool>("partial");
        QTest::addColumn<bool>("filtered");
        QTest::addColumn<int>("beforeScrolls"); // 1: the seek, 2: the filter path
        QTest::newRow("one field") << "ID"
                                   << "ID" << false << false << 1;
        QTest::newRow("two fields") << "Code;Order No"
                                    << "code;order no" << false << false << 1;
        QTest::newRow("other fields") << "ID"
                                      << "Code" << false << false << 2;
        QTest::newRow("partial key") << "ID"
                                     << "ID" << true << false << 2;
        QTest::newRow("filtered") << "ID"
                                  << "ID" << false << true << 2;
    }
    void seekWhenTheIndexFitsTheKeys() {
        QFETCH(QString, index);
        QFETCH(QString, fields);
        QFETCH(bool, partial);
        QFETCH(bool, filtered);
        QFETCH(int, beforeScrolls);
        ds_->SetIndexFieldNames(index.toStdString());
        if (filtered) {
            ds_->SetFilter(u"ID > 0");
            ds_->SetFiltered(true);
        }
        ds_->before = 0;
        const db::KeyValues keys = fields.contains(';') ? Keys({Variant("abc"), Variant(9)})
                                   : fields == "ID"     ? db::KeyValues(5)
                                                        : db::KeyValues("abc");
        QVERIFY(ds_->Locate(fields.toStdString(), keys, partial ? db::loPartialKey : 0u));
        QCOMPARE(ds_->before, beforeScrolls);
        QCOMPARE(CurrentID(), fields == "Code" ? 3 : 5);
    }

    void indexTestResolvesNamesOnlyForSeveralIndexFields() {
        ds_->SetIndexFieldNames("Code;Order No");
        QVERIFY_THROWS_EXCEPTION(db::EDatabaseError, ds_->Locate("Code;Nope", Keys({1, 2}), 0));
        ds_->SetIndexFieldNames("ID");
        QVERIFY(!ds_->Locate("Nope", db::KeyValues(1), 0));
    }
};

QTEST_GUILESS_MAIN(TntLXLocateTest)
#include "tst_tntlx_locate.moc"
