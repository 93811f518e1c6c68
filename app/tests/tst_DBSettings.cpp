// The settings rules without a window: scrambling, address parts, where the
// settings file is looked for, and that the demo writer's output reads back.
#include "app/DBSettings.h"
#include "app/tools/DemoSettingsWriter.h"
#include "platform/IniFile.h"
#include "platform/Registry.h"

#include <QTemporaryDir>
#include <QTest>

using platform::AnsiString;

class TestDBSettings : public QObject {
    Q_OBJECT
private slots:
    void getIPPart_data();
    void getIPPart();
    void xorTextIsAnInvolution_data();
    void xorTextIsAnInvolution();
    void scrambledTextSurvivesTheIniReader();
    void settingsFilePath_data();
    void settingsFilePath();
    void trimText_data();
    void trimText();
    void writtenSettingsReadBack();
};

void TestDBSettings::getIPPart_data() {
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<QByteArrayList>("parts");
    QTest::newRow("four parts") << QByteArray("192.168.0.10")
                                << QByteArrayList{"192", "168", "0", "10"};
    QTest::newRow("three parts") << QByteArray("10.0.0") << QByteArrayList{"10", "0", "", "0"};
    QTest::newRow("five parts") << QByteArray("1.2.3.4.5") << QByteArrayList{"1", "2", "3", "4.5"};
    QTest::newRow("empty") << QByteArray("") << QByteArrayList{"", "", "", ""};
    QTest::newRow("no dot") << QByteArray("host") << QByteArrayList{"", "", "", "host"};
    QTest::newRow("empty parts") << QByteArray("..") << QByteArrayList{"", "", "", ""};
}

void TestDBSettings::getIPPart() {
    QFETCH(QByteArray, address);
    QFETCH(QByteArrayList, parts);
    for (int n = 1; n <= 4; ++n)
        QCOMPARE(QByteArray::fromStdString(dbsettings::GetIPPart(address.toStdString(), n)),
                 parts[n - 1]);
}

void TestDBSettings::xorTextIsAnInvolution_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("key");
    QTest::newRow("address") << QByteArray("127.0.0.1") << int(dbsettings::ScrambleKey);
    QTest::newRow("empty") << QByteArray() << int(dbsettings::ScrambleKey);
    QTest::newRow("high bytes, other key") << QByteArray("\xa4\xa4\x00\xff", 4) << 0x5A;
    QTest::newRow("key zero") << QByteArray("same") << 0;
}

void TestDBSettings::xorTextIsAnInvolution() {
    QFETCH(QByteArray, text);
    QFETCH(int, key);
    AnsiString plain = text.toStdString();
    AnsiString scrambled = dbsettings::XorText(plain, uint8_t(key));
    QCOMPARE(scrambled.size(), plain.size());
    for (size_t i = 0; i < plain.size(); ++i)
        QCOMPARE(uint8_t(scrambled[i]), uint8_t(uint8_t(plain[i]) ^ key));
    QCOMPARE(dbsettings::XorText(scrambled, uint8_t(key)), plain);
}

// Every printable ASCII character, scrambled, must come back from the INI reader
// byte for byte: blanks, quotes, ";" or "=" in a stored value would be mangled.
void TestDBSettings::scrambledTextSurvivesTheIniReader() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    AnsiString printable;
    for (char c = 32; c < 127; ++c)
        printable += c;
    demosettings::WriteSettingsFile(dir.path().toStdString(),
                                    {printable, printable, " a ", "\"q\"", "PELMAR_TTRS"});
    platform::IniFile ini(dir.path().toStdString() + "/NOVIXSYS.INI");
    auto read = [&](const char* key) {
        return dbsettings::XorText(ini.ReadString("DBConnection", key, ""),
                                   dbsettings::ScrambleKey);
    };
    QCOMPARE(read("SQLSvrIP"), printable);
    QCOMPARE(read("SQLSvrPort"), printable);
    QCOMPARE(read("Login"), AnsiString(" a "));
    QCOMPARE(read("password"), AnsiString("\"q\""));
    QCOMPARE(ini.ReadString("DBConnection", "TTRSDBName", ""), AnsiString("PELMAR_TTRS"));
}

void TestDBSettings::settingsFilePath_data() {
    QTest::addColumn<QByteArray>("serverPath");
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("no separator") << QByteArray("C:\\Pelmar")
                                  << QByteArray("C:\\Pelmar\\NOVIXSYS.INI");
    QTest::newRow("final backslash")
        << QByteArray("C:\\Pelmar\\") << QByteArray("C:\\Pelmar\\NOVIXSYS.INI");
    QTest::newRow("final slash") << QByteArray("/srv/pelmar/")
                                 << QByteArray("/srv/pelmar/NOVIXSYS.INI");
    QTest::newRow("empty") << QByteArray() << QByteArray("NOVIXSYS.INI");
}

void TestDBSettings::settingsFilePath() {
    QFETCH(QByteArray, serverPath);
    QFETCH(QByteArray, file);
    QCOMPARE(QByteArray::fromStdString(dbsettings::SettingsFilePath(serverPath.toStdString())),
             file);
}

void TestDBSettings::trimText_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("trimmed");
    QTest::newRow("blanks and controls")
        << QByteArray("\t \\Software\\A \r\n") << QByteArray("\\Software\\A");
    QTest::newRow("inner blanks stay") << QByteArray(" a b ") << QByteArray("a b");
    QTest::newRow("only blanks") << QByteArray(" \t ") << QByteArray();
    QTest::newRow("high bytes stay") << QByteArray("\xa4\x40") << QByteArray("\xa4\x40");
}

void TestDBSettings::trimText() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, trimmed);
    QCOMPARE(QByteArray::fromStdString(dbsettings::TrimText(text.toStdString())), trimmed);
}

void TestDBSettings::writtenSettingsReadBack() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    AnsiString registryFile = dir.filePath("HKLM.reg").toStdString();
    // A ServerPath with a backslash and a quote must survive the .reg escaping.
    demosettings::WriteRegistryFile(registryFile, dbsettings::DefaultRegistryKey,
                                    AnsiString("/srv/a\\b\"c/"));
    platform::Registry registry(registryFile);
    QVERIFY(registry.OpenKey("\\Software\\Orvane\\Pelmar4", false));
    QCOMPARE(registry.ReadString("ServerPath"), AnsiString("/srv/a\\b\"c/"));

    demosettings::WriteRegistryFile(registryFile, "Software\\Other", std::nullopt);
    QVERIFY(registry.OpenKey("\\Software\\Other", false));
    QCOMPARE(registry.ReadString("ServerPath"), AnsiString());
}

QTEST_APPLESS_MAIN(TestDBSettings)
#include "tst_DBSettings.moc"
