// The text rules of the TTRS filters without a window: escaping in both forms,
// double-byte characters whose second byte looks like a LIKE character, blank
// texts, the clause a text becomes, and the master table list.
#include "app/TTRSFilter.h"

#include <QTest>

using namespace ttrs;

Q_DECLARE_METATYPE(std::string)

namespace {

// Big5 characters whose trail byte is "_", "[" or "\".
const std::string Bei = "\xA5\x5F"; // 北
const std::string Jiu = "\xA4\x5B"; // 久
const std::string Jia = "\xA5\x5B"; // 加
const std::string Xu = "\xB3\x5C";  // 許
// A GBK character whose trail byte is "[".
const std::string Gbk = "\x81\x5B";

} // namespace

class TestTTRSFilter : public QObject {
    Q_OBJECT
private slots:
    void escape_data();
    void escape();
    void blankText_data();
    void blankText();
    void clause_data();
    void clause();
    void masterTables();
};

void TestTTRSFilter::escape_data() {
    QTest::addColumn<std::string>("text");
    QTest::addColumn<int>("codePage");
    QTest::addColumn<std::string>("like");
    QTest::addColumn<std::string>("equality");
    // LIKE keeps the bracket escapes; equality only doubles quotes.
    QTest::newRow("plain") << std::string("ABC") << 1252 << std::string("ABC")
                           << std::string("ABC");
    QTest::newRow("wildcards of the text are literal")
        << std::string("A_B%C[D]") << 1252 << std::string("A[_]B[%]C[[]D]")
        << std::string("A_B%C[D]");
    QTest::newRow("star is the wildcard")
        << std::string("A_B*") << 1252 << std::string("A[_]B%") << std::string("A_B*");
    QTest::newRow("star alone") << std::string("*") << 1252 << std::string("%") << std::string("*");
    QTest::newRow("inner quote") << std::string("O'NEIL") << 1252 << std::string("O''NEIL")
                                 << std::string("O''NEIL");
    QTest::newRow("leading quote")
        << std::string("'A") << 1252 << std::string("''A") << std::string("''A");
    QTest::newRow("only quotes") << std::string("''") << 1252 << std::string("''''")
                                 << std::string("''''");
    QTest::newRow("quote after leading blanks")
        << std::string("  'A") << 1252 << std::string("''A") << std::string("''A");
    QTest::newRow("injection stays inside the literal")
        << std::string("x' OR '1'='1") << 1252 << std::string("x'' OR ''1''=''1")
        << std::string("x'' OR ''1''=''1");
    QTest::newRow("leading blanks dropped, trailing kept")
        << std::string("  AB ") << 1252 << std::string("AB ") << std::string("AB ");
    QTest::newRow("leading control characters dropped, inner kept")
        << std::string("\t\r\n\x01"
                       "A\tB")
        << 1252 << std::string("A\tB") << std::string("A\tB");
    QTest::newRow("all blank") << std::string(" \t ") << 1252 << std::string() << std::string();
    QTest::newRow("empty") << std::string() << 1252 << std::string() << std::string();
    QTest::newRow("1252 high letters are single bytes")
        << std::string("\xE9_") << 1252 << std::string("\xE9[_]") << std::string("\xE9_");
    // A double-byte character is one character: its trail byte is never escaped.
    QTest::newRow("950 bei") << Bei << 950 << Bei << Bei;
    QTest::newRow("950 jiu and jia")
        << Jiu + "*" + Jia << 950 << Jiu + "%" + Jia << Jiu + "*" + Jia;
    QTest::newRow("950 xu then underscore") << Xu + "_" << 950 << Xu + "[_]" << Xu + "_";
    QTest::newRow("950 after leading blank") << " " + Bei + "'" << 950 << Bei + "''" << Bei + "''";
    QTest::newRow("950 bytes read as 1252 are single")
        << Bei << 1252 << std::string("\xA5[_]") << Bei;
    QTest::newRow("936 trail bracket") << Gbk << 936 << Gbk << Gbk;
    // A lead byte before a quote is no character: the quote is still doubled.
    QTest::newRow("broken character before a quote")
        << std::string("\xA5'") << 950 << std::string("\xA5''") << std::string("\xA5''");
    // ...and before a "%" it would pair with the escape's "[" and free the wildcard.
    QTest::newRow("broken character before a percent sign")
        << std::string("\xB1%*A\xA5%") << 950 << std::string("?[%]%A?[%]")
        << std::string("\xB1%*A\xA5%");
    QTest::newRow("lead byte at the end")
        << std::string("A\xA5") << 950 << std::string("A\xA5") << std::string("A\xA5");
}

void TestTTRSFilter::escape() {
    QFETCH(std::string, text);
    QFETCH(int, codePage);
    QFETCH(std::string, like);
    QFETCH(std::string, equality);
    QCOMPARE(EscapeFilterValue(text, FilterForm::Like, CodePage(codePage)), like);
    QCOMPARE(EscapeFilterValue(text, FilterForm::Equality, CodePage(codePage)), equality);
}

void TestTTRSFilter::blankText_data() {
    QTest::addColumn<std::string>("text");
    QTest::addColumn<bool>("blank");
    QTest::newRow("empty") << std::string() << true;
    QTest::newRow("blanks") << std::string("   ") << true;
    QTest::newRow("controls") << std::string("\t\r\n\x01\x1F") << true;
    QTest::newRow("null byte") << std::string("\0 ", 2) << true;
    QTest::newRow("letter among blanks") << std::string(" a ") << false;
    QTest::newRow("delete character is not blank") << std::string("\x7F") << false;
    QTest::newRow("double-byte") << Bei << false;
}

void TestTTRSFilter::blankText() {
    QFETCH(std::string, text);
    QFETCH(bool, blank);
    QCOMPARE(IsBlankFilterText(text), blank);
}

void TestTTRSFilter::clause_data() {
    QTest::addColumn<std::string>("column");
    QTest::addColumn<std::string>("text");
    QTest::addColumn<std::string>("clause");
    QTest::newRow("equality") << std::string("Status") << std::string("A")
                              << std::string("Status = 'A'");
    QTest::newRow("like") << std::string("UTR") << std::string("ABC*")
                          << std::string("UTR LIKE 'ABC%'");
    QTest::newRow("equality compares the value as typed")
        << std::string("UTR") << std::string("A_B") << std::string("UTR = 'A_B'");
    QTest::newRow("equality with brackets and percent")
        << std::string("ReferenceNo") << std::string("[5%]") << std::string("ReferenceNo = '[5%]'");
    QTest::newRow("combo text with a star") << std::string("ProcessorRole") << std::string("I*")
                                            << std::string("ProcessorRole LIKE 'I%'");
    QTest::newRow("star after a quote")
        << std::string("UTR") << std::string("'*") << std::string("UTR LIKE '''%'");
    QTest::newRow("trailing blank kept")
        << std::string("UTR") << std::string(" AB ") << std::string("UTR = 'AB '");
    QTest::newRow("Big5 in a pattern") << std::string("DocTitle") << Bei + "*"
                                       << "DocTitle LIKE '" + Bei + "%'";
}

void TestTTRSFilter::clause() {
    QFETCH(std::string, column);
    QFETCH(std::string, text);
    QFETCH(std::string, clause);
    QCOMPARE(FilterClause(column, text, 950), clause);
}

void TestTTRSFilter::masterTables() {
    QCOMPARE(MasterTables.size(), size_t{17});
    QCOMPARE(std::string(MasterTables[0]), std::string());
    QCOMPARE(std::string(MasterTables[1]), std::string("T_INMAS"));
    QCOMPARE(std::string(MasterTables[2]), std::string("T_EN1MAS"));
    QCOMPARE(std::string(MasterTables[12]), std::string("T_RFCMAS"));
    QCOMPARE(std::string(MasterTables[13]), std::string("T_ARBYCA"));
    QCOMPARE(std::string(MasterTables[16]), std::string("T_ERRMAS"));
}

QTEST_APPLESS_MAIN(TestTTRSFilter)
#include "tst_TTRSFilter.moc"
