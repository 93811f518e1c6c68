// The registry substitute over .reg export files: reading string values in each
// encoding regedit writes, creating keys without disturbing what the file holds,
// and refusing files it must not touch.
#include "platform/Registry.h"

#include <QtTest>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace platform;

namespace {

// An export as regedit writes it, with the escapes a Windows path and a quoted
// word need, a value kind that carries no string, and a second hive.
const char* const kExport = "Windows Registry Editor Version 5.00\r\n"
                            "\r\n"
                            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane]\r\n"
                            "\r\n"
                            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Pelmar4]\r\n"
                            "\"ServerPath\"=\"C:\\\\Pelmar\\\\Server\\\\\"\r\n"
                            "\"Motto\"=\"say \\\"hi\\\"\"\r\n"
                            "@=\"the default\"\r\n"
                            "\"Version\"=dword:00000004\r\n"
                            "\"Expand\"=hex(2):25,00,54,00,\\\r\n"
                            "  4d,00,50,00,25,00,00,00\r\n"
                            "\"Spaced Name\" = \"spaced value\"\r\n"
                            "\r\n"
                            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Deep\\Only\\Leaf]\r\n"
                            "\"x\"=\"1\"\r\n"
                            "\r\n"
                            "[HKEY_CURRENT_USER\\SOFTWARE\\Elsewhere]\r\n"
                            "\"ServerPath\"=\"wrong hive\"\r\n";

QByteArray utf16WithBom(const QByteArray& utf8) {
    QString text = QString::fromUtf8(utf8);
    QByteArray bytes("\xFF\xFE", 2);
    bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    return bytes;
}

QByteArray inEncoding(const QString& encoding, QByteArray utf8) {
    if (encoding == "utf-16le")
        return utf16WithBom(utf8);
    if (encoding == "utf-8 bom")
        return "\xEF\xBB\xBF" + utf8;
    if (encoding == "lf")
        return utf8.replace("\r\n", "\n");
    return utf8;
}

class RegistryFixture {
public:
    QTemporaryDir dir;
    QString path() const { return dir.filePath("HKEY_LOCAL_MACHINE.reg"); }

    void write(const QByteArray& bytes) const {
        QFile file(path());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray read() const {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    Registry registry() const { return Registry(path().toStdString()); }
};

} // namespace

class TestRegistry : public QObject {
    Q_OBJECT
private slots:
    void readsStringValues_data();
    void readsStringValues();
    void keyLookup_data();
    void keyLookup();
    void createsMissingKeyKeepingTheFile_data();
    void createsMissingKeyKeepingTheFile();
    void createsFileAndFolderWhenMissing();
    void createdKeyReadsBackInOddFiles_data();
    void createdKeyReadsBackInOddFiles();
    void creatingThroughALinkKeepsTheLink();
    void refusesWhatItCannotReadOrWrite();
    void refusesWithoutPermissions();
    void malformedFilesNeverCrash_data();
    void malformedFilesNeverCrash();
    void defaultFilePathFollowsEnvironment();
};

void TestRegistry::readsStringValues_data() {
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    for (const char* encoding : {"utf-8 crlf", "utf-8 bom", "utf-16le", "lf"}) {
        auto row = [&](const char* tag, const char* name, const QString& expected) {
            QTest::addRow("%s: %s", encoding, tag) << encoding << name << expected;
        };
        row("backslashes", "ServerPath", "C:\\Pelmar\\Server\\");
        row("quotes", "Motto", "say \"hi\"");
        row("name case", "SERVERPATH", "C:\\Pelmar\\Server\\");
        row("default value", "", "the default");
        row("dword", "Version", "");
        row("expand string", "Expand", "%TMP%");
        row("blanks around =", "Spaced Name", "spaced value");
        row("missing value", "NoSuchValue", "");
    }
}

void TestRegistry::readsStringValues() {
    QFETCH(QString, encoding);
    QFETCH(QString, name);
    QFETCH(QString, expected);
    RegistryFixture fixture;
    fixture.write(inEncoding(encoding, kExport));
    Registry registry = fixture.registry();
    QVERIFY(registry.OpenKey("\\Software\\Orvane\\Pelmar4", false));
    QCOMPARE(QString::fromStdString(registry.ReadString(name.toStdString())), expected);
    registry.CloseKey();
    QCOMPARE(registry.ReadString("ServerPath"), std::string());
}

void TestRegistry::keyLookup_data() {
    QTest::addColumn<QString>("keyPath");
    QTest::addColumn<bool>("found");
    QTest::newRow("absolute") << "\\Software\\Orvane\\Pelmar4" << true;
    QTest::newRow("relative") << "Software\\Orvane\\Pelmar4" << true;
    QTest::newRow("letter case") << "\\SOFTWARE\\orvane\\PELMAR4" << true;
    QTest::newRow("trailing backslash") << "\\Software\\Orvane\\Pelmar4\\" << true;
    QTest::newRow("parent only implied by a subkey") << "\\Software\\Deep\\Only" << true;
    QTest::newRow("root") << "\\" << true;
    QTest::newRow("missing") << "\\Software\\Orvane\\Pelmar5" << false;
    QTest::newRow("other hive") << "\\Software\\Elsewhere" << false;
    QTest::newRow("prefix of a name") << "\\Software\\Orv" << false;
}

void TestRegistry::keyLookup() {
    QFETCH(QString, keyPath);
    QFETCH(bool, found);
    RegistryFixture fixture;
    fixture.write(kExport);
    Registry registry = fixture.registry();
    QCOMPARE(registry.OpenKey(keyPath.toStdString(), false), found);
    QCOMPARE(fixture.read(), QByteArray(kExport));
}

void TestRegistry::createsMissingKeyKeepingTheFile_data() {
    QTest::addColumn<QString>("encoding");
    QTest::newRow("utf-8 crlf") << "utf-8 crlf";
    QTest::newRow("utf-16le") << "utf-16le";
    QTest::newRow("lf") << "lf";
}

void TestRegistry::createsMissingKeyKeepingTheFile() {
    QFETCH(QString, encoding);
    RegistryFixture fixture;
    QByteArray original = inEncoding(encoding, kExport);
    fixture.write(original);

    Registry registry = fixture.registry();
    QVERIFY(registry.OpenKey("\\Software\\Orvane\\Pelmar9", true));
    QCOMPARE(registry.ReadString("ServerPath"), std::string());

    QByteArray after = fixture.read();
    QVERIFY(after.startsWith(original));
    QVERIFY(after.size() > original.size());
    // Written through a sibling that was renamed: nothing else is left behind.
    QCOMPARE(QDir(fixture.dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{"HKEY_LOCAL_MACHINE.reg"});

    Registry reread = fixture.registry();
    QVERIFY(reread.OpenKey("Software\\Orvane\\Pelmar9", false));
    QVERIFY(reread.OpenKey("\\Software\\Orvane\\Pelmar4", false));
    QCOMPARE(reread.ReadString("ServerPath"), std::string("C:\\Pelmar\\Server\\"));
    // Opening an existing key with creation allowed writes nothing.
    QVERIFY(reread.OpenKey("\\Software\\Orvane\\Pelmar9", true));
    QCOMPARE(fixture.read(), after);
}

void TestRegistry::createsFileAndFolderWhenMissing() {
    QTemporaryDir dir;
    std::string path = dir.filePath("etc/velkin/HKEY_LOCAL_MACHINE.reg").toStdString();
    Registry registry(path);
    QVERIFY(!registry.OpenKey("\\Software\\Orvane\\Pelmar4", false));
    QVERIFY(!QFile::exists(QString::fromStdString(path)));

    QVERIFY(registry.OpenKey("\\Software\\Orvane\\Pelmar4", true));
    QCOMPARE(registry.ReadString("ServerPath"), std::string());
    Registry reread(path);
    QVERIFY(reread.OpenKey("\\Software\\Orvane\\Pelmar4", false));
    QVERIFY(reread.OpenKey("\\Software\\Orvane", false));
}

// Odd files that still read as exports: a key created in them must read back.
// A file of blanks gets the header it lacks; a last value continued with "\"
// must not take in the key appended after it.
void TestRegistry::createdKeyReadsBackInOddFiles_data() {
    QTest::addColumn<QByteArray>("original");
    QTest::newRow("one blank") << QByteArray(" ");
    QTest::newRow("blanks and tabs") << QByteArray(" \t  ");
    QTest::newRow("utf-16 mark only") << QByteArray("\xFF\xFE", 2);
    QTest::newRow("continued value at the end")
        << QByteArray("REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\A]\n\"v\"=hex(2):41,\\\\");
    QTest::newRow("continued value before the last line end")
        << QByteArray("REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\Software\\A]\r\n\"v\"=hex:00,\\\r\n");
}

void TestRegistry::createdKeyReadsBackInOddFiles() {
    QFETCH(QByteArray, original);
    RegistryFixture fixture;
    fixture.write(original);
    QVERIFY(fixture.registry().OpenKey("\\Software\\Orvane\\Pelmar4", true));
    QVERIFY(fixture.read().startsWith(original));
    Registry reread = fixture.registry();
    QVERIFY(reread.OpenKey("\\Software\\Orvane\\Pelmar4", false));
    QVERIFY(!reread.OpenKey("\\Software\\Orvane\\Pelmar5", false));
    QCOMPARE(reread.OpenKey("\\Software\\A", false), original.contains("Software\\A"));
}

void TestRegistry::creatingThroughALinkKeepsTheLink() {
    RegistryFixture fixture;
    fixture.write(kExport);
    QString link = fixture.dir.filePath("link.reg");
    QVERIFY(QFile::link(fixture.path(), link));
    Registry registry(link.toStdString());
    QVERIFY(registry.OpenKey("\\Software\\Created", true));
    QVERIFY(QFileInfo(link).isSymLink());
    QVERIFY(fixture.read().startsWith(kExport));
    QVERIFY(fixture.registry().OpenKey("\\Software\\Created", false));
}

void TestRegistry::refusesWhatItCannotReadOrWrite() {
    QTemporaryDir dir;
    // A folder where the file should be cannot be read.
    QVERIFY(QDir(dir.path()).mkdir("folder.reg"));
    Registry folder(dir.filePath("folder.reg").toStdString());
    QVERIFY(!folder.OpenKey("\\Software\\A", true));
    QCOMPARE(folder.ReadString("x"), std::string());

    // A file far larger than any export is not read.
    RegistryFixture huge;
    huge.write(kExport);
    QFile hugeFile(huge.path());
    QVERIFY(hugeFile.resize(17 * 1024 * 1024));
    Registry oversized = huge.registry();
    QVERIFY(!oversized.OpenKey("\\Software\\Orvane\\Pelmar4", true));
    QCOMPARE(oversized.ReadString("ServerPath"), std::string());

    // A missing file below a regular file can never be created.
    RegistryFixture blocker;
    blocker.write(kExport);
    Registry below((blocker.path() + "/HKEY_LOCAL_MACHINE.reg").toStdString());
    QVERIFY(!below.OpenKey("\\Software\\A", true));

    // A key name that would break the file's line structure is refused.
    Registry registry = blocker.registry();
    QVERIFY(!registry.OpenKey("\\Software\\A]\r\n[HKEY_LOCAL_MACHINE\\Software\\B", true));
    QCOMPARE(blocker.read(), QByteArray(kExport));
}

namespace {

// The permission checks proper, with plain system calls so that they can run in
// a child process. Returns 0 when all hold, else the number of the first that
// failed.
int permissionChecks(const std::string& dir, const std::string& file) {
    if (::chmod(file.c_str(), S_IWUSR) != 0)
        return 10;
    if (Registry(file).OpenKey("\\Software\\Orvane\\Pelmar4", false))
        return 1; // an unreadable file opens nothing
    if (::chmod(file.c_str(), S_IRUSR | S_IWUSR) != 0 ||
        ::chmod(dir.c_str(), S_IRUSR | S_IXUSR) != 0)
        return 11;
    Registry readOnly(file);
    if (!readOnly.OpenKey("\\Software\\Orvane\\Pelmar4", true))
        return 2; // an existing key opens from a folder that cannot be written
    if (readOnly.OpenKey("\\Software\\Orvane\\Missing", true))
        return 3; // a missing key cannot be created there
    return ::chmod(dir.c_str(), S_IRWXU) == 0 ? 0 : 12;
}

} // namespace

void TestRegistry::refusesWithoutPermissions() {
    RegistryFixture locked;
    locked.write(kExport);
    const std::string dir = locked.dir.path().toStdString();
    const std::string file = locked.path().toStdString();
    if (::geteuid() != 0) {
        QCOMPARE(permissionChecks(dir, file), 0);
        return;
    }
    // Permissions do not bind the superuser: run the checks as the unprivileged
    // user "nobody", owning the folder and the file.
    constexpr uid_t nobody = 65534;
    QVERIFY(::chown(dir.c_str(), nobody, nobody) == 0);
    QVERIFY(::chown(file.c_str(), nobody, nobody) == 0);
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        if (::setgid(nobody) != 0 || ::setuid(nobody) != 0)
            ::_exit(100);
        ::_exit(permissionChecks(dir, file));
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    QVERIFY(::chown(dir.c_str(), 0, 0) == 0);
}

void TestRegistry::malformedFilesNeverCrash_data() {
    QTest::addColumn<QByteArray>("bytes");
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary.append(static_cast<char>((i * 7919) & 0xFF));
    QTest::newRow("binary") << binary;
    QTest::newRow("no header") << QByteArray(
        "[HKEY_LOCAL_MACHINE\\Software\\A]\r\n\"x\"=\"1\"\r\n");
    QTest::newRow("header then binary") << QByteArray("REGEDIT4\n") + binary;
    QTest::newRow("unterminated strings")
        << QByteArray("REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Orvane\\Pelmar4\n\"ServerPath"
                      "\"=\"C:\\\\\n\"=\n@\n[\n[]\n\"\\");
    QTest::newRow("hex continuation at end") << QByteArray(
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Orvane\\Pelmar4]\n\"a\"=hex(2):4\\");
    QByteArray deep = "REGEDIT4\n";
    for (char level : {'a', 'b', 'c'}) {
        deep += "[HKEY_LOCAL_MACHINE";
        for (int i = 0; i < (1 << 18); ++i)
            deep += QByteArray("\\") + level;
        deep += "]\n";
    }
    QTest::newRow("very deep key paths") << deep;
    QTest::newRow("utf-16 odd length") << QByteArray("\xFF\xFE\x57\x00\x69", 5);
    QTest::newRow("utf-16 lone surrogates") << QByteArray("\xFF\xFE\x00\xD8\x00\xDC\x00\xDC", 8);
}

void TestRegistry::malformedFilesNeverCrash() {
    QFETCH(QByteArray, bytes);
    RegistryFixture fixture;
    fixture.write(bytes);
    Registry registry = fixture.registry();
    registry.OpenKey("\\Software\\Orvane\\Pelmar4", false);
    QCOMPARE(registry.ReadString("ServerPath"), std::string());
    // Creating a key must not replace a file that is not a registry export.
    bool created = registry.OpenKey("\\Software\\New", true);
    if (!created)
        QCOMPARE(fixture.read(), bytes);
    else
        QVERIFY(fixture.read().startsWith(bytes));
}

void TestRegistry::defaultFilePathFollowsEnvironment() {
    QByteArray saved = qgetenv("VELKIN_REGISTRY");
    qputenv("VELKIN_REGISTRY", "/tmp/elsewhere.reg");
    QCOMPARE(Registry::defaultFilePath(), std::string("/tmp/elsewhere.reg"));
    qputenv("VELKIN_REGISTRY", "");
    QCOMPARE(Registry::defaultFilePath(), std::string("/etc/velkin/HKEY_LOCAL_MACHINE.reg"));
    qunsetenv("VELKIN_REGISTRY");
    QCOMPARE(Registry::defaultFilePath(), std::string("/etc/velkin/HKEY_LOCAL_MACHINE.reg"));
    if (!saved.isNull())
        qputenv("VELKIN_REGISTRY", saved);
}

QTEST_APPLESS_MAIN(TestRegistry)
#include "tst_registry.moc"
