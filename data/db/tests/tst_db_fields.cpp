// Field objects: display text per type, conversions and their errors, names,
// labels and widths, read-only and validation rules.
#include "MemoryDataSet.h"
#include "data/db/StdFields.h"

#include <QTest>

using namespace db;
using dbtest::Column;
using dbtest::MemoryDataSet;

Q_DECLARE_METATYPE(db::Variant)
Q_DECLARE_METATYPE(db::TFieldType)

namespace {

/// A one-row dataset with one column of the given type holding `value`.
struct OneValue {
    MemoryDataSet ds;
    OneValue(TFieldType type, const Variant& value, int size = 0)
        : ds({Column{"F", type, size}}, {{value}}) {
        ds.Open();
    }
    TField& field() { return *ds.Fields()[0]; }
};

ado::DateTime Dt(int y, int m, int d, int h = 0, int mi = 0, int s = 0) {
    ado::DateTime t;
    t.year = static_cast<int16_t>(y);
    t.month = static_cast<uint8_t>(m);
    t.day = static_cast<uint8_t>(d);
    t.hour = static_cast<uint8_t>(h);
    t.minute = static_cast<uint8_t>(mi);
    t.second = static_cast<uint8_t>(s);
    return t;
}

} // namespace

class FieldsTest : public QObject {
    Q_OBJECT

private slots:
    void displayText_data();
    void displayText();
    void setAsString_data();
    void setAsString();
    void fieldByNameIgnoresCaseAndNamesTheDataSet();
    void labelAndWidthDefaults();
    void readOnlyFieldRefusesWrites();
    void onValidateSeesNewValueAndCanRefuse();
    void fieldChangeMarksModifiedAndCallsOnChange();
};

void FieldsTest::displayText_data() {
    QTest::addColumn<db::TFieldType>("type");
    QTest::addColumn<db::Variant>("value");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("asString");

    QTest::newRow("memo with value") << ftMemo << Variant("long") << "(MEMO)"
                                     << "long";
    QTest::newRow("memo null") << ftMemo << Variant::null() << "(Memo)"
                               << "";
    QTest::newRow("blob with value") << ftBlob << Variant(ado::Bytes{1, 2}) << "(BLOB)"
                                     << "\x01\x02";
    QTest::newRow("blob null") << ftBlob << Variant::null() << "(Blob)"
                               << "";
    QTest::newRow("wide memo") << ftWideMemo << Variant(u"x") << "(WIDEMEMO)"
                               << "x";
    QTest::newRow("string") << ftString << Variant("abc") << "abc"
                            << "abc";
    QTest::newRow("string null") << ftString << Variant::null() << ""
                                 << "";
    QTest::newRow("wide string") << ftWideString << Variant(u"wide") << "wide"
                                 << "wide";
    QTest::newRow("integer") << ftInteger << Variant(-42) << "-42"
                             << "-42";
    QTest::newRow("float") << ftFloat << Variant(2.5) << "2.5"
                           << "2.5";
    QTest::newRow("bcd") << ftBCD << Variant(ado::Decimal{"-12.3400"}) << "-12.3400"
                         << "-12.3400";
    QTest::newRow("boolean") << ftBoolean << Variant(true) << "True"
                             << "True";
    QTest::newRow("datetime") << ftDateTime << Variant(Dt(2024, 2, 29, 13, 5, 9))
                              << "2024-02-29 13:05:09"
                              << "2024-02-29 13:05:09";
    QTest::newRow("datetime at midnight") << ftDateTime << Variant(Dt(2024, 2, 29)) << "2024-02-29"
                                          << "2024-02-29";
    QTest::newRow("date") << ftDate << Variant(Dt(1999, 12, 31, 10)) << "1999-12-31"
                          << "1999-12-31";
    QTest::newRow("time") << ftTime << Variant(Dt(1899, 12, 30, 7, 8, 9)) << "07:08:09"
                          << "07:08:09";
    QTest::newRow("bytes") << ftBytes << Variant(ado::Bytes{0x0A, 0x41}) << "0x0A41"
                           << "\nA";
    QTest::newRow("guid") << ftGuid << Variant("{6F9619FF-8B86-D011-B42D-00C04FC964FF}")
                          << "{6F9619FF-8B86-D011-B42D-00C04FC964FF}"
                          << "{6F9619FF-8B86-D011-B42D-00C04FC964FF}";
}

void FieldsTest::displayText() {
    QFETCH(db::TFieldType, type);
    QFETCH(db::Variant, value);
    QFETCH(QString, display);
    QFETCH(QString, asString);
    OneValue one(type, value);
    QCOMPARE(QString::fromLatin1(one.field().DisplayText()), display);
    QCOMPARE(QString::fromLatin1(one.field().AsString()), asString);
    QCOMPARE(one.field().IsNull(), value.isBlank());
}

void FieldsTest::setAsString_data() {
    QTest::addColumn<db::TFieldType>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<db::Variant>("stored");
    QTest::addColumn<QString>("error");

    QTest::newRow("integer") << ftInteger << " 17" << Variant(int64_t{17}) << "";
    QTest::newRow("integer empty is null") << ftInteger << "" << Variant::null() << "";
    QTest::newRow("integer letters")
        << ftInteger << "12a" << Variant() << "'12a' is not a valid integer value";
    QTest::newRow("smallint range") << ftSmallint << "40000" << Variant()
                                    << "40000 is not a valid value for field 'F'. The allowed "
                                       "range is -32768 to 32767";
    QTest::newRow("word negative") << ftWord << "-1" << Variant()
                                   << "-1 is not a valid value for field 'F'. The allowed range "
                                      "is 0 to 65535";
    QTest::newRow("float") << ftFloat << "1.25" << Variant(1.25) << "";
    QTest::newRow("float bad") << ftFloat << "1,25" << Variant()
                               << "'1,25' is not a valid floating point value";
    QTest::newRow("boolean") << ftBoolean << "false" << Variant(false) << "";
    QTest::newRow("boolean bad") << ftBoolean << "maybe" << Variant()
                                 << "'maybe' is not a valid boolean value";
    QTest::newRow("bcd keeps text") << ftBCD << "10.50" << Variant(ado::Decimal{"10.50"}) << "";
    QTest::newRow("datetime") << ftDateTime << "2023-01-02 03:04:05"
                              << Variant(Dt(2023, 1, 2, 3, 4, 5)) << "";
    QTest::newRow("date out of calendar")
        << ftDateTime << "2023-02-30" << Variant() << "'2023-02-30' is not a valid date and time";
    QTest::newRow("string empty stays text") << ftString << "" << Variant("") << "";
    QTest::newRow("wide string") << ftWideString << "abc" << Variant(u"abc") << "";
}

void FieldsTest::setAsString() {
    QFETCH(db::TFieldType, type);
    QFETCH(QString, text);
    QFETCH(db::Variant, stored);
    QFETCH(QString, error);
    OneValue one(type, Variant::null());
    one.ds.Edit();
    try {
        one.field().SetAsString(text.toStdString());
        QVERIFY2(error.isEmpty(), "expected an error");
        one.ds.Post();
        QCOMPARE(one.ds.Rows()[0][0], stored);
    } catch (const std::exception& e) {
        QCOMPARE(QString::fromLatin1(e.what()), error);
        QCOMPARE(one.ds.State(), dsEdit);
        QVERIFY(one.field().IsNull()); // nothing was written
    }
}

void FieldsTest::fieldByNameIgnoresCaseAndNamesTheDataSet() {
    MemoryDataSet ds(dbtest::PeopleColumns(), dbtest::PeopleRows());
    ds.SetName("tmpADODataSet");
    ds.Open();
    QCOMPARE(ds.FieldByName("cItY"), ds.Fields()[2]);
    QCOMPARE(ds.FindField("nope"), nullptr);
    try {
        ds.FieldByName("Nope");
        QFAIL("should raise");
    } catch (const EDatabaseError& e) {
        QCOMPARE(std::string(e.what()), std::string("tmpADODataSet: Field 'Nope' not found"));
    }
    QCOMPARE(ds.GetFieldList("name; ID").size(), size_t{2});
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, ds.GetFieldList("Name;Nope"));
}

void FieldsTest::labelAndWidthDefaults() {
    MemoryDataSet ds(dbtest::PeopleColumns(), dbtest::PeopleRows());
    ds.Open();
    TField* name = ds.FieldByName("Name");
    QCOMPARE(name->DisplayLabel(), std::string("Name"));
    QCOMPARE(name->DisplayWidth(), 30); // the column size
    QCOMPARE(ds.FieldByName("ID")->DisplayWidth(), 11);
    name->SetDisplayLabel("Full name");
    name->SetDisplayWidth(18);
    QCOMPARE(name->DisplayLabel(), std::string("Full name"));
    QCOMPARE(name->DisplayWidth(), 18);
    QVERIFY(name->Visible());
    QCOMPARE(name->FieldKind(), fkData);
    QVERIFY(ds.FieldByName("ID")->Required());
}

void FieldsTest::readOnlyFieldRefusesWrites() {
    MemoryDataSet ds(dbtest::PeopleColumns(), dbtest::PeopleRows());
    ds.Open();
    ds.FieldByName("ID")->SetReadOnly(true);
    ds.Edit();
    try {
        ds.FieldByName("ID")->SetAsInteger(5);
        QFAIL("should raise");
    } catch (const EDatabaseError& e) {
        QCOMPARE(std::string(e.what()), std::string("Field 'ID' cannot be modified"));
    }
    QCOMPARE(ds.FieldByName("ID")->AsInteger(), 1);
}

void FieldsTest::onValidateSeesNewValueAndCanRefuse() {
    MemoryDataSet ds(dbtest::PeopleColumns(), dbtest::PeopleRows());
    ds.Open();
    TField* name = ds.FieldByName("Name");
    std::string seen;
    name->OnValidate = [&seen](TField& f) {
        seen = f.AsString();
        if (seen == "bad")
            throw EDatabaseError("no bad names");
    };
    ds.Edit();
    name->SetAsString("good");
    QCOMPARE(seen, std::string("good"));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, name->SetAsString("bad"));
    QCOMPARE(name->AsString(), std::string("good"));
}

void FieldsTest::fieldChangeMarksModifiedAndCallsOnChange() {
    MemoryDataSet ds(dbtest::PeopleColumns(), dbtest::PeopleRows());
    ds.Open();
    int changes = 0;
    ds.FieldByName("City")->OnChange = [&changes](TField&) {
        ++changes;
    };
    ds.Edit();
    QVERIFY(!ds.Modified());
    ds.FieldByName("City")->SetAsWideString(u"Oslo");
    QVERIFY(ds.Modified());
    QCOMPARE(changes, 1);
    QCOMPARE(ds.FieldByName("City")->AsWideString(), std::u16string(u"Oslo"));
    QCOMPARE(ds.FieldByName("City")->OldValue(), Variant(u"London"));
}

QTEST_APPLESS_MAIN(FieldsTest)
#include "tst_db_fields.moc"
