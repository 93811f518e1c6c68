// The settings file reader: profile rules for names, blanks, quotes, repeats and
// comments; byte-exact values; finding the file whatever the letter case and
// separators; and files that are not settings files at all.
#include "platform/IniFile.h"

#include <QtTest>

using namespace platform;

namespace {

// "192.168.0.10" scrambled with 0xB7: every byte has its top bit set.
const QByteArray kScrambledAddress = "\x86\x8E\x85\x99\x86\x81\x8F\x99\x87\x99\x86\x87";

QByteArray settingsFile() {
    return "; written by the product\r\n"
           "Orphan=before any section\r\n"
           "[DBConnection]\r\n"
           "SQLSvrIP=" +
           kScrambledAddress +
           "\r\n"
           "  SQLSvrPort \t=\t\"1433\"  \r\n"
           "Login='sa'\r\n"
           "password = \"unbalanced'\r\n"
           "Quoted = \"  inner blanks  \"\r\n"
           "Empty =\r\n"
           "Escaped = a\\nb\r\n"
           "HighEdges = \xA0\x85mid\xA0\r\n"
           ";Hidden=commented out\r\n"
           "Dup=first\r\n"
           "DUP=second\r\n"
           "Inline = value ; not a comment\r\n"
           "NoEquals\r\n"
           "[ dbconnection ]\r\n"
           "Later=in a repeated section\r\n"
           "[Other]\r\n"
           "Dup=other\r\n"
           "TTRSDBName=PELMAR_TTRS";
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray bytesOf(const std::string& text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

class TestIniFile : public QObject {
    Q_OBJECT
private slots:
    void readsWithProfileRules_data();
    void readsWithProfileRules();
    void findsTheFile_data();
    void findsTheFile();
    void oddFilesReadSafely_data();
    void oddFilesReadSafely();
};

void TestIniFile::readsWithProfileRules_data() {
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("scrambled bytes as read")
        << QByteArray("DBConnection") << QByteArray("SQLSvrIP") << kScrambledAddress;
    QTest::newRow("names in other case")
        << QByteArray("dbCONNECTION") << QByteArray("sqlsvrport") << QByteArray("1433");
    QTest::newRow("single quotes")
        << QByteArray("DBConnection") << QByteArray("Login") << QByteArray("sa");
    QTest::newRow("unmatched quotes kept")
        << QByteArray("DBConnection") << QByteArray("password") << QByteArray("\"unbalanced'");
    QTest::newRow("blanks inside quotes kept")
        << QByteArray("DBConnection") << QByteArray("Quoted") << QByteArray("  inner blanks  ");
    QTest::newRow("present but empty")
        << QByteArray("DBConnection") << QByteArray("Empty") << QByteArray("");
    QTest::newRow("no escapes") << QByteArray("DBConnection") << QByteArray("Escaped")
                                << QByteArray("a\\nb");
    QTest::newRow("high bytes are not blanks")
        << QByteArray("DBConnection") << QByteArray("HighEdges") << QByteArray("\xA0\x85mid\xA0");
    QTest::newRow("comment line") << QByteArray("DBConnection") << QByteArray(";Hidden")
                                  << QByteArray("dflt");
    QTest::newRow("first key wins")
        << QByteArray("DBConnection") << QByteArray("dup") << QByteArray("first");
    QTest::newRow("semicolon inside a value") << QByteArray("DBConnection") << QByteArray("Inline")
                                              << QByteArray("value ; not a comment");
    QTest::newRow("line without =")
        << QByteArray("DBConnection") << QByteArray("NoEquals") << QByteArray("dflt");
    QTest::newRow("repeated section not searched")
        << QByteArray("DBConnection") << QByteArray("Later") << QByteArray("dflt");
    QTest::newRow("other section")
        << QByteArray("Other") << QByteArray("Dup") << QByteArray("other");
    QTest::newRow("last line without line end")
        << QByteArray("Other") << QByteArray("TTRSDBName") << QByteArray("PELMAR_TTRS");
    QTest::newRow("key before any section")
        << QByteArray("") << QByteArray("Orphan") << QByteArray("dflt");
    QTest::newRow("missing section")
        << QByteArray("Nowhere") << QByteArray("Login") << QByteArray("dflt");
}

void TestIniFile::readsWithProfileRules() {
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, expected);
    QTemporaryDir dir;
    QString path = dir.filePath("NOVIXSYS.INI");
    QVERIFY(writeFile(path, settingsFile()));
    IniFile ini(path.toStdString());
    QCOMPARE(bytesOf(ini.ReadString(section.toStdString(), key.toStdString(), "dflt  ")), expected);
}

void TestIniFile::findsTheFile_data() {
    QTest::addColumn<QString>("path"); // "<dir>" stands for the folder holding Sub/NOVIXSYS.INI
    QTest::addColumn<bool>("exists");
    QTest::newRow("exact") << "<dir>/Sub/NOVIXSYS.INI" << true;
    QTest::newRow("name in other case") << "<dir>/Sub/novixsys.ini" << true;
    QTest::newRow("folder in other case") << "<dir>/SUB/NOVIXSYS.INI" << true;
    QTest::newRow("backslash separators") << "<dir>\\Sub\\NOVIXSYS.INI" << true;
    QTest::newRow("folder ending in backslash, then name") << "<dir>/Sub\\NOVIXSYS.INI" << true;
    QTest::newRow("doubled separator") << "<dir>/Sub//NOVIXSYS.INI" << true;
    QTest::newRow("bare name in the current folder") << "novixsys.INI" << true;
    QTest::newRow("missing") << "<dir>/Sub/OTHER.INI" << false;
    QTest::newRow("missing folder") << "<dir>/Nope/NOVIXSYS.INI" << false;
    QTest::newRow("a folder is no file") << "<dir>/sub" << false;
    QTest::newRow("trailing separator") << "<dir>/Sub/NOVIXSYS.INI/" << false;
    QTest::newRow("empty") << "" << false;
}

void TestIniFile::findsTheFile() {
    QFETCH(QString, path);
    QFETCH(bool, exists);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("Sub"));
    QVERIFY(writeFile(dir.filePath("Sub/NOVIXSYS.INI"), "[DBConnection]\nLogin=sa\n"));
    QString previous = QDir::currentPath();
    QDir::setCurrent(dir.filePath("Sub"));
    std::string resolved = path.replace("<dir>", dir.path()).toStdString();

    QCOMPARE(FileExists(resolved), exists);
    std::string real = ResolveFilePath(resolved);
    QString realCanonical = QFileInfo(QString::fromStdString(real)).canonicalFilePath();
    IniFile ini(resolved);
    std::string login = ini.ReadString("DBConnection", "Login", "");
    QDir::setCurrent(previous);

    if (exists) {
        QCOMPARE(realCanonical, QFileInfo(dir.filePath("Sub/NOVIXSYS.INI")).canonicalFilePath());
        QCOMPARE(login, std::string("sa"));
    } else {
        QCOMPARE(real, std::string());
        QCOMPARE(login, std::string());
    }
}

void TestIniFile::oddFilesReadSafely_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("expected"); // DBConnection/Login
    QByteArray binary;
    for (int i = 0; i < 8192; ++i)
        binary.append(static_cast<char>((i * 131) & 0xFF));
    QTest::newRow("binary") << binary << QByteArray("dflt");
    QTest::newRow("utf-8 byte order mark")
        << QByteArray("\xEF\xBB\xBF[DBConnection]\nLogin=sa\n") << QByteArray("sa");
    QString wide = "[DBConnection]\r\nLogin=sa\r\n";
    QTest::newRow("utf-16 with byte order mark")
        << QByteArray("\xFF\xFE", 2) +
               QByteArray(reinterpret_cast<const char*>(wide.utf16()), wide.size() * 2)
        << QByteArray("sa");
    QTest::newRow("unclosed section name")
        << QByteArray("[DBConnection\nLogin=sa\n") << QByteArray("sa");
    QTest::newRow("zero bytes in a value")
        << QByteArray("[DBConnection]\nLogin=s\0a\n", 25) << QByteArray("s\0a", 3);
    QTest::newRow("one very long line") << QByteArray(1 << 20, '[') << QByteArray("dflt");
    QTest::newRow("empty") << QByteArray() << QByteArray("dflt");
    QByteArray longSection = "[" + QByteArray(4 << 20, 'S') + "]\n";
    for (int i = 0; i < 100000; ++i)
        longSection += "k=v\n";
    QTest::newRow("long section name over many keys") << longSection + "[DBConnection]\nLogin=sa\n"
                                                      << QByteArray("sa");
}

void TestIniFile::oddFilesReadSafely() {
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, expected);
    QTemporaryDir dir;
    QString path = dir.filePath("NOVIXSYS.INI");
    QVERIFY(writeFile(path, bytes));
    IniFile ini(path.toStdString());
    QCOMPARE(bytesOf(ini.ReadString("DBConnection", "Login", "dflt")), expected);
}

QTEST_APPLESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
