// Names as they become SQL text: bracketed with "]" doubled, already bracketed
// names kept, and bracketed names read back to the bare name.
#include "data/ado/SqlName.h"

#include <QTest>

using namespace ado;

class TestSqlName : public QObject {
    Q_OBJECT
private slots:
    void quotedAndBare_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("quoted");
        QTest::addColumn<QString>("bare");
        QTest::newRow("plain") << "Customers"
                               << "[Customers]"
                               << "Customers";
        QTest::newRow("blank inside") << "Order Details"
                                      << "[Order Details]"
                                      << "Order Details";
        QTest::newRow("reserved word") << "Group"
                                       << "[Group]"
                                       << "Group";
        QTest::newRow("closing bracket") << "a]b"
                                         << "[a]]b]"
                                         << "a]b";
        QTest::newRow("closing bracket last") << "ab]"
                                              << "[ab]]]"
                                              << "ab]";
        QTest::newRow("quote and opening bracket") << "It's [x"
                                                   << "[It's [x]"
                                                   << "It's [x";
        QTest::newRow("already bracketed") << "[Order Details]"
                                           << "[Order Details]"
                                           << "Order Details";
        QTest::newRow("already bracketed, doubled inside") << "[a]]b]"
                                                           << "[a]]b]"
                                                           << "a]b";
        QTest::newRow("brackets that do not enclose one name") << "[a]b]"
                                                               << "[[a]]b]]]"
                                                               << "[a]b]";
        QTest::newRow("two bracketed parts") << "[a].[b]"
                                             << "[[a]].[b]]]"
                                             << "[a].[b]";
        QTest::newRow("opening bracket only") << "[ab"
                                              << "[[ab]"
                                              << "[ab";
        QTest::newRow("empty brackets") << "[]"
                                        << "[]"
                                        << "";
        QTest::newRow("national text") << "訂單 明細"
                                       << "[訂單 明細]"
                                       << "訂單 明細";
    }
    void quotedAndBare() {
        QFETCH(QString, name);
        QFETCH(QString, quoted);
        QFETCH(QString, bare);
        QCOMPARE(QString::fromStdU16String(QuotedName(name.toStdU16String())), quoted);
        QCOMPARE(QString::fromStdU16String(UnquotedName(name.toStdU16String())), bare);
        // Quoting is done once: the quoted name reads back to what it names.
        const WideString twice = QuotedName(QuotedName(name.toStdU16String()));
        QCOMPARE(QString::fromStdU16String(twice), quoted);
        QVERIFY(IsBracketedName(twice));
    }
};

QTEST_APPLESS_MAIN(TestSqlName)
#include "tst_sqlname.moc"
