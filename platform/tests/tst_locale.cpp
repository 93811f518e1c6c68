// Locale facts: which locale counts as the system's and the user's, the code
// pages Windows gives each, and the answers of GetLocaleInfoA built on them.
#include "EnvironmentGuard.h"
#include "platform/Locale.h"

#include <QtTest>

using namespace platform;
using platform::testing::EnvironmentGuard;

namespace {

QString text(const AnsiString& s) {
    return QString::fromStdString(s);
}

} // namespace

class TestLocale : public QObject {
    Q_OBJECT
private slots:
    void codePagesForLocale_data();
    void codePagesForLocale();
    void localeNamesFromEnvironment_data();
    void localeNamesFromEnvironment();
    void localeFromConfigFile_data();
    void localeFromConfigFile();
    void getLocaleInfo_data();
    void getLocaleInfo();
    void platformFamily_data();
    void platformFamily();
};

void TestLocale::codePagesForLocale_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("oem");
    QTest::addColumn<int>("ansi");
    QTest::newRow("zh_TW") << "zh_TW" << 950 << 950;
    QTest::newRow("zh_TW.UTF-8") << "zh_TW.UTF-8" << 950 << 950;
    QTest::newRow("zh_HK.Big5-HKSCS") << "zh_HK.Big5-HKSCS" << 950 << 950;
    QTest::newRow("zh_CN.GB2312") << "zh_CN.GB2312" << 936 << 936;
    QTest::newRow("zh_SG") << "zh_SG" << 936 << 936;
    QTest::newRow("letter case and dash") << "ZH-tw" << 950 << 950;
    QTest::newRow("en_US.UTF-8") << "en_US.UTF-8" << 437 << 1252;
    QTest::newRow("en alone") << "en" << 437 << 1252;
    QTest::newRow("en_GB") << "en_GB.UTF-8" << 850 << 1252;
    QTest::newRow("de_DE@euro") << "de_DE@euro" << 850 << 1252;
    QTest::newRow("fr_FR") << "fr_FR" << 850 << 1252;
    QTest::newRow("pt_BR") << "pt_BR" << 850 << 1252;
    QTest::newRow("sv_SE") << "sv_SE" << 850 << 1252;
    QTest::newRow("ja_JP.eucJP") << "ja_JP.eucJP" << 932 << 932;
    QTest::newRow("ko_KR") << "ko_KR.UTF-8" << 949 << 949;
    QTest::newRow("ru_RU") << "ru_RU.KOI8-R" << 866 << 1251;
    QTest::newRow("pl_PL") << "pl_PL" << 852 << 1250;
    QTest::newRow("C") << "C" << 437 << 1252;
    QTest::newRow("POSIX") << "POSIX" << 437 << 1252;
    QTest::newRow("C.UTF-8") << "C.UTF-8" << 437 << 1252;
    QTest::newRow("empty") << "" << 437 << 1252;
    QTest::newRow("unknown") << "xx_YY" << 437 << 1252;
}

void TestLocale::codePagesForLocale() {
    QFETCH(QString, locale);
    QFETCH(int, oem);
    QFETCH(int, ansi);
    LocaleCodePages pages = CodePagesForLocale(locale.toStdString());
    QCOMPARE(int(pages.oem), oem);
    QCOMPARE(int(pages.ansi), ansi);
}

void TestLocale::localeNamesFromEnvironment_data() {
    QTest::addColumn<QByteArray>("systemOverride");
    QTest::addColumn<QByteArray>("userOverride");
    QTest::addColumn<QByteArray>("lcAll");
    QTest::addColumn<QByteArray>("lcCtype");
    QTest::addColumn<QByteArray>("lang");
    QTest::addColumn<QString>("system"); // "" = whatever the machine is set to
    QTest::addColumn<QString>("user");
    const QByteArray unset;
    QTest::newRow("overrides win") << QByteArray("zh_TW") << QByteArray("zh_CN.UTF-8")
                                   << QByteArray("de_DE") << unset << unset << "zh_TW"
                                   << "zh_CN";
    QTest::newRow("LC_ALL before LC_CTYPE and LANG")
        << unset << unset << QByteArray("ja_JP.UTF-8") << QByteArray("ko_KR") << QByteArray("ru_RU")
        << ""
        << "ja_JP";
    QTest::newRow("LC_CTYPE before LANG")
        << unset << unset << unset << QByteArray("ko_KR") << QByteArray("ru_RU") << ""
        << "ko_KR";
    QTest::newRow("LANG last") << unset << unset << unset << unset << QByteArray("ru_RU.UTF-8")
                               << ""
                               << "ru_RU";
    QTest::newRow("empty values skipped")
        << QByteArray("") << QByteArray("") << QByteArray("") << unset << QByteArray("fr_FR") << ""
        << "fr_FR";
    QTest::newRow("C is en_US") << QByteArray("C") << unset << QByteArray("POSIX") << unset << unset
                                << "en_US"
                                << "en_US";
    QTest::newRow("nothing set") << unset << unset << unset << unset << unset << ""
                                 << "en_US";
}

void TestLocale::localeNamesFromEnvironment() {
    QFETCH(QByteArray, systemOverride);
    QFETCH(QByteArray, userOverride);
    QFETCH(QByteArray, lcAll);
    QFETCH(QByteArray, lcCtype);
    QFETCH(QByteArray, lang);
    QFETCH(QString, system);
    QFETCH(QString, user);
    QString machineLocale;
    {
        EnvironmentGuard none;
        none.set("VELKIN_SYSTEM_LOCALE", QByteArray());
        machineLocale = text(SystemLocaleName());
    }
    QVERIFY(!machineLocale.isEmpty());
    EnvironmentGuard environment;
    environment.set("VELKIN_SYSTEM_LOCALE", systemOverride);
    environment.set("VELKIN_USER_LOCALE", userOverride);
    environment.set("LC_ALL", lcAll);
    environment.set("LC_CTYPE", lcCtype);
    environment.set("LANG", lang);
    // The system locale comes from the machine, not from the process environment.
    QCOMPARE(text(SystemLocaleName()), system.isEmpty() ? machineLocale : system);
    QCOMPARE(text(UserLocaleName()), user);
}

void TestLocale::localeFromConfigFile_data() {
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("expected");
    QTest::newRow("LANG") << QByteArray("LANG=zh_TW.UTF-8\n") << "zh_TW";
    QTest::newRow("quoted, CRLF") << QByteArray("LANG=\"zh_CN.UTF-8\"\r\n") << "zh_CN";
    QTest::newRow("LC_ALL wins") << QByteArray("LANG=en_US.UTF-8\nLC_ALL=de_DE.UTF-8\n") << "de_DE";
    QTest::newRow("export and comments")
        << QByteArray("# LANG=fr_FR\n  export LANG='ja_JP.UTF-8'\n") << "ja_JP";
    QTest::newRow("other variables only") << QByteArray("LANGUAGE=en_US:en\n") << "";
    QTest::newRow("C") << QByteArray("LANG=C.UTF-8\n") << "";
    QTest::newRow("binary") << QByteArray("\x00\xFF=\x01\nLANG", 8) << "";
}

void TestLocale::localeFromConfigFile() {
    QFETCH(QByteArray, contents);
    QFETCH(QString, expected);
    QTemporaryFile file;
    QVERIFY(file.open());
    file.write(contents);
    file.close();
    QCOMPARE(text(LocaleFromConfigFile(file.fileName().toStdString())), expected);
    QCOMPARE(text(LocaleFromConfigFile(file.fileName().toStdString() + ".missing")), QString());
}

void TestLocale::getLocaleInfo_data() {
    QTest::addColumn<QByteArray>("systemLocale");
    QTest::addColumn<QByteArray>("userLocale");
    QTest::addColumn<uint>("locale");
    QTest::addColumn<uint>("infoType");
    QTest::addColumn<QString>("expected");
    const uint oem = LOCALE_IDEFAULTCODEPAGE, ansi = LOCALE_IDEFAULTANSICODEPAGE;
    QTest::newRow("system zh_TW OEM")
        << QByteArray("zh_TW") << QByteArray("en_US") << LOCALE_SYSTEM_DEFAULT << oem << "950";
    QTest::newRow("system zh_CN OEM")
        << QByteArray("zh_CN") << QByteArray("en_US") << LOCALE_SYSTEM_DEFAULT << oem << "936";
    QTest::newRow("system en_US OEM")
        << QByteArray("en_US") << QByteArray("zh_TW") << LOCALE_SYSTEM_DEFAULT << oem << "437";
    QTest::newRow("system en_US ANSI")
        << QByteArray("en_US") << QByteArray("zh_TW") << LOCALE_SYSTEM_DEFAULT << ansi << "1252";
    QTest::newRow("user zh_TW OEM")
        << QByteArray("en_US") << QByteArray("zh_TW") << LOCALE_USER_DEFAULT << oem << "950";
    QTest::newRow("user ru ANSI") << QByteArray("en_US") << QByteArray("ru_RU")
                                  << LOCALE_USER_DEFAULT << ansi << "1251";
    QTest::newRow("no user override flag") << QByteArray("zh_TW") << QByteArray("en_US")
                                           << LOCALE_SYSTEM_DEFAULT << (oem | 0x80000000u) << "950";
    QTest::newRow("explicit identifier")
        << QByteArray("en_US") << QByteArray("en_US") << 0x0804u << oem << "936";
    QTest::newRow("unknown identifier")
        << QByteArray("en_US") << QByteArray("en_US") << 0x7777u << oem << "";
    QTest::newRow("unknown information")
        << QByteArray("zh_TW") << QByteArray("en_US") << LOCALE_SYSTEM_DEFAULT << 0x2u << "";
}

void TestLocale::getLocaleInfo() {
    QFETCH(QByteArray, systemLocale);
    QFETCH(QByteArray, userLocale);
    QFETCH(uint, locale);
    QFETCH(uint, infoType);
    QFETCH(QString, expected);
    EnvironmentGuard environment;
    environment.set("VELKIN_SYSTEM_LOCALE", systemLocale);
    environment.set("VELKIN_USER_LOCALE", userLocale);
    QCOMPARE(text(GetLocaleInfoA(locale, infoType)), expected);
    QCOMPARE(int(GetACP()), int(CodePagesForLocale(systemLocale.toStdString()).ansi));
}

void TestLocale::platformFamily_data() {
    QTest::addColumn<QByteArray>("family");
    QTest::addColumn<bool>("isNT");
    QTest::newRow("not set") << QByteArray() << true;
    QTest::newRow("NT") << QByteArray("NT") << true;
    QTest::newRow("9x") << QByteArray("9x") << false;
    QTest::newRow("9X") << QByteArray("9X") << false;
    QTest::newRow("anything else is NT") << QByteArray("95") << true;
}

void TestLocale::platformFamily() {
    QFETCH(QByteArray, family);
    QFETCH(bool, isNT);
    EnvironmentGuard environment;
    environment.set("VELKIN_PLATFORM_FAMILY", family);
    QCOMPARE(IsNTPlatform(), isNT);
    // A test's choice wins over the environment until it is withdrawn.
    SetNTPlatformForTesting(!isNT);
    QCOMPARE(IsNTPlatform(), !isNT);
    ResetPlatformForTesting();
    QCOMPARE(IsNTPlatform(), isNT);
}

QTEST_APPLESS_MAIN(TestLocale)
#include "tst_locale.moc"
