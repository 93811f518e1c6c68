// The converting dataset over an in-memory recordset (no server): which
// operations convert for every combination of switches, platform family and
// locales; what a conversion does to field values, the command text and locate
// keys; and closing over a pending edit.
//
// The locales are chosen so that a conversion is visible in a Latin letter: an
// en_US system (ANSI 1252, OEM 437) under a zh_TW user (OEM 950). Narrowing
// "é" with 1252 gives E9, which 437 reads as "Θ"; the reverse direction turns
// "é" into 437's 82, which 1252 reads as "‚".
#include "data/QXADODataSet.h"
#include "data/db/DBErrors.h"
#include "platform/tests/EnvironmentGuard.h"

#include <QTest>

using platform::testing::EnvironmentGuard;
using namespace qx;

Q_DECLARE_METATYPE(ado::Variant)

namespace {

const WideString Typed = u"caf\u00E9";
const WideString Stored = u"caf\u0398";        // Typed on its way to the database
const WideString Shown = u"caf\u201A";         // Typed on its way back from it
const ado::AnsiString NarrowValue = "caf\xE9"; // an 8-bit column: never touched

std::shared_ptr<ado::Recordset> Sample() {
    auto col = [](const char16_t* name, ado::DataType type, int64_t size) {
        ado::ColumnInfo c;
        c.name = name;
        c.type = type;
        c.definedSize = size;
        return c;
    };
    using ado::DataType;
    return ado::Recordset::FromRows(
        {col(u"ID", DataType::Integer, 4), col(u"WName", DataType::VarWChar, 20),
         col(u"AName", DataType::VarChar, 20)},
        {{int64_t{1}, Typed, NarrowValue}, {int64_t{2}, u"pear", "pear"}});
}

/// Opens the protected operations and records what reaches the base Locate.
class ProbeDataSet : public TQXADODataSet {
public:
    using TQXADODataSet::CommandConversionApplies;
    using TQXADODataSet::ConvertKeyValues;
    using TQXADODataSet::DoBeforeOpen;
    using TQXADODataSet::FromDatabaseText;
    using TQXADODataSet::ToDatabaseText;
    using TQXADODataSet::ValueConversionApplies;

    std::vector<KeyValues> keysSeen;

    /// The record's own value, before this class converts it.
    Variant RawValue(const char* name) {
        Variant value;
        TTntADODataSetLX::GetFieldData(FieldByName(name), &value, true);
        return value;
    }

protected:
    bool InheritedLocate(const platform::AnsiString& keyFields, const KeyValues& keyValues,
                         TLocateOptions options) override {
        keysSeen.push_back(keyValues);
        return TQXADODataSet::InheritedLocate(keyFields, keyValues, options);
    }
};

/// The locales and the platform family a dataset is constructed under.
class SystemUnderTest {
public:
    SystemUnderTest(bool nonNT, bool codePagesDiffer) {
        environment_.set("VELKIN_SYSTEM_LOCALE", "en_US");
        environment_.set("VELKIN_USER_LOCALE", codePagesDiffer ? "zh_TW" : "en_US");
        platform::SetNTPlatformForTesting(!nonNT);
    }
    ~SystemUnderTest() { platform::ResetPlatformForTesting(); }

private:
    EnvironmentGuard environment_;
};

std::unique_ptr<ProbeDataSet> OpenSample(bool nonNT, bool codePagesDiffer) {
    SystemUnderTest system(nonNT, codePagesDiffer);
    auto ds = std::make_unique<ProbeDataSet>();
    ds->SetRecordset(Sample());
    return ds;
}

} // namespace

class QXADODataSetTest : public QObject {
    Q_OBJECT
private slots:
    void defaultsAndStartupFacts_data();
    void defaultsAndStartupFacts();
    void whenConversionsApply_data();
    void whenConversionsApply();
    void conversionRoutines();
    void readWithoutBufferIsUntouched();
    void writeStoresDatabaseText();
    void writeOfUnchangedDatabaseTextIsDropped();
    void commandTextConvertedOnceAcrossReopens();
    void locateKeys_data();
    void locateKeys();
    void locateWithNullKeyFailsWhenConverting();
    void locateFindsStoredText();
    void closeDiscardsPendingEdit_data();
    void closeDiscardsPendingEdit();
};

void QXADODataSetTest::defaultsAndStartupFacts_data() {
    QTest::addColumn<QByteArray>("systemLocale");
    QTest::addColumn<QByteArray>("userLocale");
    QTest::addColumn<bool>("nonNT");
    QTest::addColumn<int>("codePage");
    QTest::addColumn<bool>("differs");
    QTest::newRow("Traditional Chinese NT")
        << QByteArray("zh_TW") << QByteArray("zh_TW") << false << 950 << false;
    QTest::newRow("Western 9x, Chinese user")
        << QByteArray("en_US") << QByteArray("zh_TW") << true << 437 << true;
    QTest::newRow("Simplified system, Traditional user")
        << QByteArray("zh_CN") << QByteArray("zh_TW") << false << 936 << true;
    // British English uses 850, the US 437: OEM code pages, not ANSI ones, are compared.
    QTest::newRow("same ANSI, other OEM")
        << QByteArray("en_US") << QByteArray("en_GB") << true << 437 << true;
}

void QXADODataSetTest::defaultsAndStartupFacts() {
    QFETCH(QByteArray, systemLocale);
    QFETCH(QByteArray, userLocale);
    QFETCH(bool, nonNT);
    QFETCH(int, codePage);
    QFETCH(bool, differs);
    std::unique_ptr<TQXADODataSet> ds;
    {
        EnvironmentGuard environment;
        environment.set("VELKIN_SYSTEM_LOCALE", systemLocale);
        environment.set("VELKIN_USER_LOCALE", userLocale);
        platform::SetNTPlatformForTesting(!nonNT);
        ds = std::make_unique<TQXADODataSet>();
        platform::ResetPlatformForTesting();
    }
    QVERIFY(ds->UnicodeConvert());
    QVERIFY(ds->ConvertCmdText());
    QVERIFY(!ds->WorkAsAnsi());
    QVERIFY(!ds->ParamCheck());
    // Read at construction and kept, whatever the system says later.
    QCOMPARE(int(ds->SystemCodePage()), codePage);
    QCOMPARE(ds->NonNTPlatform(), nonNT);
    QCOMPARE(ds->CodePageDiffers(), differs);
}

void QXADODataSetTest::whenConversionsApply_data() {
    QTest::addColumn<bool>("workAsAnsi");
    QTest::addColumn<bool>("unicodeConvert");
    QTest::addColumn<bool>("convertCmdText");
    QTest::addColumn<bool>("nonNT");
    QTest::addColumn<bool>("differ");
    QTest::addColumn<bool>("values"); // field values and locate keys
    QTest::addColumn<bool>("command");
    for (int bits = 0; bits < 32; ++bits) {
        const bool workAsAnsi = bits & 1, unicode = bits & 2, command = bits & 4, nonNT = bits & 8,
                   differ = bits & 16;
        const bool values = workAsAnsi ? differ : unicode && nonNT && differ;
        const bool commandText = workAsAnsi ? differ : command && nonNT && differ;
        const QString name = QString("%1 %2 %3 %4 %5")
                                 .arg(workAsAnsi ? "WorkAsAnsi" : "-")
                                 .arg(unicode ? "UnicodeConvert" : "-")
                                 .arg(command ? "ConvertCmdText" : "-")
                                 .arg(nonNT ? "9x" : "NT")
                                 .arg(differ ? "differ" : "equal");
        QTest::newRow(qPrintable(name))
            << workAsAnsi << unicode << command << nonNT << differ << values << commandText;
    }
}

void QXADODataSetTest::whenConversionsApply() {
    QFETCH(bool, workAsAnsi);
    QFETCH(bool, unicodeConvert);
    QFETCH(bool, convertCmdText);
    QFETCH(bool, nonNT);
    QFETCH(bool, differ);
    QFETCH(bool, values);
    QFETCH(bool, command);
    std::unique_ptr<ProbeDataSet> ds = OpenSample(nonNT, differ);
    ds->SetWorkAsAnsi(workAsAnsi);
    ds->SetUnicodeConvert(unicodeConvert);
    ds->SetConvertCmdText(convertCmdText);
    QCOMPARE(ds->ValueConversionApplies(), values);
    QCOMPARE(ds->CommandConversionApplies(), command);

    // Reading: the wide column shows converted text, the 8-bit one never changes.
    ds->First();
    QCOMPARE(ds->FieldByName("WName")->AsWideString(), values ? Shown : Typed);
    QCOMPARE(ds->FieldByName("AName")->AsString(), NarrowValue);

    // Locating: the key reaches the base class converted or as given.
    ds->keysSeen.clear();
    ds->Locate("WName", Variant(Typed), 0);
    QCOMPARE(ds->keysSeen.size(), size_t{1});
    QCOMPARE(ds->keysSeen[0].single(), Variant(values ? Stored : Typed));

    // Writing: the record receives converted text.
    ds->Edit();
    ds->FieldByName("WName")->SetAsWideString(u"\u00E9t\u00E9");
    QCOMPARE(ds->RawValue("WName"),
             Variant(values ? WideString(u"\u0398t\u0398") : u"\u00E9t\u00E9"));
    ds->Cancel();

    // Opening: the command text as it reaches the database.
    {
        SystemUnderTest system(nonNT, differ);
        ProbeDataSet fresh;
        fresh.SetWorkAsAnsi(workAsAnsi);
        fresh.SetUnicodeConvert(unicodeConvert);
        fresh.SetConvertCmdText(convertCmdText);
        fresh.SetCommandText(u"SELECT * FROM T WHERE N = '" + Typed + u"'");
        fresh.DoBeforeOpen();
        QCOMPARE(fresh.CommandText(),
                 u"SELECT * FROM T WHERE N = '" + (command ? Stored : Typed) + u"'");
    }
}

void QXADODataSetTest::conversionRoutines() {
    std::unique_ptr<ProbeDataSet> ds = OpenSample(true, true);
    QCOMPARE(ds->ToDatabaseText(Typed), Stored);
    QCOMPARE(ds->FromDatabaseText(Typed), Shown);
    QCOMPARE(ds->ToDatabaseText(u""), WideString());
    QCOMPARE(ds->FromDatabaseText(u""), WideString());
    // What 1252 cannot hold comes out as the default character, without error.
    QCOMPARE(ds->ToDatabaseText(u"\u7E41"), WideString(u"?"));
}

void QXADODataSetTest::readWithoutBufferIsUntouched() {
    std::unique_ptr<ProbeDataSet> ds = OpenSample(true, true);
    ds->SetWorkAsAnsi(true);
    ds->First();
    QVERIFY(ds->GetFieldData(ds->FieldByName("WName"), nullptr, true));
    ds->Next();
    ds->Edit();
    ds->FieldByName("WName")->Clear();
    QVERIFY(!ds->GetFieldData(ds->FieldByName("WName"), nullptr, true));
    QVERIFY(ds->FieldByName("WName")->IsNull());
    ds->Cancel();
}

void QXADODataSetTest::writeStoresDatabaseText() {
    std::unique_ptr<ProbeDataSet> ds = OpenSample(true, true);
    ds->First();
    ds->Edit();
    ds->FieldByName("WName")->SetAsWideString(u"\u00E9");
    ds->FieldByName("AName")->SetAsString("\xE9");
    QCOMPARE(ds->RawValue("WName"), Variant(u"\u0398"));
    QCOMPARE(ds->RawValue("AName"), Variant("\xE9"));
    // Read back, the stored text is converted the other way: the operator sees what was typed.
    QCOMPARE(ds->FieldByName("WName")->AsWideString(), WideString(u"\u00E9"));
    ds->Post();
    QCOMPARE(ds->RawValue("WName"), Variant(u"\u0398"));
}

void QXADODataSetTest::writeOfUnchangedDatabaseTextIsDropped() {
    std::unique_ptr<ProbeDataSet> ds = OpenSample(true, true);
    ds->First();
    ds->Edit();
    int changes = 0;
    ds->FieldByName("WName")->OnChange = [&](db::TField&) {
        ++changes;
    };
    // "café" goes to the database as "cafΘ": the record already holds "café", so it changes.
    ds->FieldByName("WName")->SetAsWideString(Typed);
    QCOMPARE(changes, 1);
    // Writing the same text again converts to what the record now holds: dropped.
    ds->FieldByName("WName")->SetAsWideString(Typed);
    QCOMPARE(changes, 1);
    ds->Cancel();
}

void QXADODataSetTest::commandTextConvertedOnceAcrossReopens() {
    std::unique_ptr<ProbeDataSet> ds;
    {
        SystemUnderTest system(true, true);
        ds = std::make_unique<ProbeDataSet>();
    }
    const WideString text = u"SELECT '" + Typed + u"'";
    const WideString converted = u"SELECT '" + Stored + u"'";
    ds->SetCommandText(text);
    ds->DoBeforeOpen();
    QCOMPARE(ds->CommandText(), converted);
    // Opening again without a new text sends the same query, not a twice-converted one.
    ds->DoBeforeOpen();
    QCOMPARE(ds->CommandText(), converted);
    // A new text is converted from scratch, also when it equals an earlier one.
    ds->SetCommandText(u"SELECT 1");
    ds->DoBeforeOpen();
    ds->SetCommandText(text);
    ds->DoBeforeOpen();
    QCOMPARE(ds->CommandText(), converted);
}

void QXADODataSetTest::locateKeys_data() {
    QTest::addColumn<bool>("isArray");
    QTest::addColumn<QList<Variant>>("keys");
    QTest::addColumn<QList<Variant>>("expected");
    const Variant null = Variant::null();
    QTest::newRow("wide text") << false << QList<Variant>{Variant(Typed)}
                               << QList<Variant>{Variant(Stored)};
    QTest::newRow("8-bit text is read in the system code page")
        << false << QList<Variant>{Variant(NarrowValue)} << QList<Variant>{Variant(Stored)};
    QTest::newRow("a number becomes text")
        << false << QList<Variant>{Variant(int64_t{42})} << QList<Variant>{Variant(u"42")};
    QTest::newRow("array: text and number")
        << true << QList<Variant>{Variant(Typed), Variant(int64_t{42})}
        << QList<Variant>{Variant(Stored), Variant(int64_t{42})};
    QTest::newRow("array: null and 8-bit text pass")
        << true << QList<Variant>{null, Variant(NarrowValue), Variant(u"x")}
        << QList<Variant>{null, Variant(NarrowValue), Variant(u"x")};
}

void QXADODataSetTest::locateKeys() {
    QFETCH(bool, isArray);
    QFETCH(QList<Variant>, keys);
    QFETCH(QList<Variant>, expected);
    std::unique_ptr<ProbeDataSet> ds = OpenSample(true, true);
    const std::vector<Variant> keyItems(keys.begin(), keys.end());
    const KeyValues given = isArray ? KeyValues::Array(keyItems) : KeyValues(keyItems[0]);
    const std::vector<Variant> expectedItems(expected.begin(), expected.end());
    const KeyValues wanted =
        isArray ? KeyValues::Array(expectedItems) : KeyValues(expectedItems[0]);
    QCOMPARE(ds->ConvertKeyValues(given), wanted);
}

void QXADODataSetTest::locateWithNullKeyFailsWhenConverting() {
    std::unique_ptr<ProbeDataSet> ds = OpenSample(true, true);
    QVERIFY_THROWS_EXCEPTION(db::EConvertError, ds->Locate("WName", Variant::null(), 0));
    QVERIFY(ds->keysSeen.empty());
    // Without the conversion a null key is searched for as null.
    ds->SetUnicodeConvert(false);
    QVERIFY(!ds->Locate("WName", Variant::null(), 0));
    QCOMPARE(ds->keysSeen.size(), size_t{1});
}

void QXADODataSetTest::locateFindsStoredText() {
    // The row that holds "cafΘ" is the one the operator finds by typing "café".
    std::unique_ptr<ProbeDataSet> ds = OpenSample(true, true);
    ds->Last();
    ds->Edit();
    ds->FieldByName("WName")->SetAsWideString(Typed);
    ds->Post();
    ds->First();
    QVERIFY(ds->Locate("WName", Variant(Typed), 0));
    QCOMPARE(ds->FieldByName("ID")->AsInteger(), 2);
}

void QXADODataSetTest::closeDiscardsPendingEdit_data() {
    QTest::addColumn<bool>("inserting");
    QTest::newRow("edit") << false;
    QTest::newRow("insert") << true;
}

void QXADODataSetTest::closeDiscardsPendingEdit() {
    QFETCH(bool, inserting);
    auto recordset = Sample();
    ProbeDataSet ds;
    ds.SetRecordset(recordset);
    int posts = 0, cancels = 0;
    ds.BeforePost = [&](db::TDataSet&) {
        ++posts;
    };
    ds.AfterCancel = [&](db::TDataSet&) {
        ++cancels;
    };
    if (inserting) {
        ds.Insert();
        ds.FieldByName("ID")->SetAsInteger(3);
    } else {
        ds.First();
        ds.Edit();
    }
    ds.FieldByName("WName")->SetAsWideString(u"changed");
    ds.Close();
    QVERIFY(!ds.Active());
    QCOMPARE(posts, 0);
    QCOMPARE(cancels, 1);
    QCOMPARE(recordset->RecordCount(), int64_t{2});
    recordset->MoveFirst();
    QCOMPARE(recordset->Fields(u"WName").Value(), Variant(Typed));
}

QTEST_APPLESS_MAIN(QXADODataSetTest)
#include "tst_qxado_dataset.moc"
