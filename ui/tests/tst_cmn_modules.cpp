// The code page environment: the start-up rule for the system and user code
// pages, the conversion pair, the platform family and the data access start-up.
#include "platform/tests/EnvironmentGuard.h"
#include "ui/Cmn_Modules.h"

#include <QtTest>

#include <stdexcept>

using namespace Cmn_Modules;
using platform::testing::EnvironmentGuard;

namespace {

QString units(const WideString& text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

int startupRuns = 0;
bool startupFails = false;

void countingStartup() {
    ++startupRuns;
    if (startupFails)
        throw std::runtime_error("driver manager missing");
}

} // namespace

class TestCmnModules : public QObject {
    Q_OBJECT
private slots:
    void readDefaultCodePage_data();
    void readDefaultCodePage();
    void codePageFromLocaleAnswer_data();
    void codePageFromLocaleAnswer();
    void conversionPair();
    void platformFamily();
    void dataAccessStartsOnceAndRetriesAfterFailure();
};

void TestCmnModules::readDefaultCodePage_data() {
    QTest::addColumn<QByteArray>("systemLocale");
    QTest::addColumn<QByteArray>("userLocale");
    QTest::addColumn<uint>("locale");
    QTest::addColumn<int>("expected");
    QTest::newRow("US English system") << QByteArray("en_US.UTF-8") << QByteArray("zh_TW")
                                       << platform::LOCALE_SYSTEM_DEFAULT << 437;
    QTest::newRow("Traditional Chinese system")
        << QByteArray("zh_TW") << QByteArray("en_US") << platform::LOCALE_SYSTEM_DEFAULT << 950;
    QTest::newRow("Simplified Chinese system")
        << QByteArray("zh_CN.GBK") << QByteArray("en_US") << platform::LOCALE_SYSTEM_DEFAULT << 936;
    QTest::newRow("Traditional Chinese user")
        << QByteArray("en_US") << QByteArray("zh_HK") << platform::LOCALE_USER_DEFAULT << 950;
    QTest::newRow("US English user")
        << QByteArray("zh_CN") << QByteArray("C") << platform::LOCALE_USER_DEFAULT << 437;
    // A locale without an answer falls back to the system's ANSI code page.
    QTest::newRow("unknown locale, Western system")
        << QByteArray("de_DE") << QByteArray("en_US") << 0x7777u << 1252;
    QTest::newRow("unknown locale, Chinese system")
        << QByteArray("zh_TW") << QByteArray("en_US") << 0x7777u << 950;
}

void TestCmnModules::readDefaultCodePage() {
    QFETCH(QByteArray, systemLocale);
    QFETCH(QByteArray, userLocale);
    QFETCH(uint, locale);
    QFETCH(int, expected);
    EnvironmentGuard environment;
    environment.set("VELKIN_SYSTEM_LOCALE", systemLocale);
    environment.set("VELKIN_USER_LOCALE", userLocale);
    QCOMPARE(int(ReadDefaultCodePage(locale)), expected);
}

void TestCmnModules::codePageFromLocaleAnswer_data() {
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("expected");
    const int ansi = 1252; // of the en_US system the test sets
    QTest::newRow("plain") << QByteArray("950") << 950;
    QTest::newRow("blanks") << QByteArray("  936 ") << 936;
    QTest::newRow("control characters") << QByteArray("\t437\r\n") << 437;
    QTest::newRow("text after the terminator") << QByteArray("950\0"
                                                             "12",
                                                             6)
                                               << 950;
    QTest::newRow("plus sign") << QByteArray("+850") << 850;
    QTest::newRow("low 16 bits") << QByteArray("70000") << 70000 % 65536;
    QTest::newRow("negative") << QByteArray("-1") << 65535;
    QTest::newRow("empty") << QByteArray("") << ansi;
    QTest::newRow("letters") << QByteArray("OEM") << ansi;
    QTest::newRow("trailing letters") << QByteArray("950x") << ansi;
    QTest::newRow("inner blank") << QByteArray("9 50") << ansi;
    QTest::newRow("beyond 32 bits") << QByteArray("99999999999") << ansi;
}

void TestCmnModules::codePageFromLocaleAnswer() {
    QFETCH(QByteArray, answer);
    QFETCH(int, expected);
    EnvironmentGuard environment;
    environment.set("VELKIN_SYSTEM_LOCALE", "en_US");
    QCOMPARE(int(CodePageFromLocaleAnswer(AnsiString(answer.constData(), answer.size()))),
             expected);
}

void TestCmnModules::conversionPair() {
    const AnsiString big5("\xB7\x73\xB2\xD3\xA9\xFA\xC5\xE9");
    WideString traditional = AnsiToWideCP(big5, 950);
    QCOMPARE(units(traditional), QString::fromUtf8("新細明體"));
    WideString misread = AnsiToWideCP(big5, 936);
    QCOMPARE(misread.size(), size_t{4});
    QVERIFY(misread != traditional);
    QCOMPARE(WideToAnsiCP(traditional, 950), big5);
    // "个" exists only in Simplified Chinese.
    QCOMPARE(WideToAnsiCP(u"\u4E2A", 950), AnsiString("?"));
    QCOMPARE(AnsiToWideCP(WideToAnsiCP(u"\u4E2A", 936), 936), WideString(u"\u4E2A"));
    QVERIFY(AnsiToWideCP("", 950).empty());
    QVERIFY(WideToAnsiCP(u"", 950).empty());
}

void TestCmnModules::platformFamily() {
    QVERIFY(ReadIsNT());
    platform::SetNTPlatformForTesting(false);
    QVERIFY(!ReadIsNT());
    platform::SetNTPlatformForTesting(true);
}

void TestCmnModules::dataAccessStartsOnceAndRetriesAfterFailure() {
    QVERIFY(!DataAccessInitialized());
    SetDataAccessStartup(countingStartup);
    startupFails = true;
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, InitializeDataAccess());
    QVERIFY(!DataAccessInitialized());
    startupFails = false;
    InitializeDataAccess();
    InitializeDataAccess();
    QVERIFY(DataAccessInitialized());
    QCOMPARE(startupRuns, 2);
    SetDataAccessStartup(nullptr);
}

QTEST_APPLESS_MAIN(TestCmnModules)
#include "tst_cmn_modules.moc"
