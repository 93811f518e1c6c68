// Conversions between Windows code pages and UTF-16: known byte/character pairs
// of each supported table, round trips, and the substitutions that stand in for
// errors.
#include "platform/CodePageConv.h"

#include <QtTest>

#include <thread>
#include <vector>

using namespace platform;

Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(std::u16string)

namespace {

QByteArray hex(const std::string& bytes) {
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())).toHex(' ');
}

QString units(const std::u16string& text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

class TestCodePageConv : public QObject {
    Q_OBJECT
private slots:
    void bytesToWide_data();
    void bytesToWide();
    void roundTrip_data();
    void roundTrip();
    void narrowingSubstitutes_data();
    void narrowingSubstitutes();
    void everyTableOpens();
    void emptyAndUnknown();
    void longTextIsConvertedWhole();
    void threadsConvertIndependently();
    void leadBytes_data();
    void leadBytes();
};

void TestCodePageConv::bytesToWide_data() {
    QTest::addColumn<int>("codePage");
    QTest::addColumn<std::string>("bytes");
    QTest::addColumn<std::u16string>("expected");
    // The Big5 name of a common Traditional Chinese typeface.
    QTest::newRow("950 Big5") << 950 << std::string("\xB7\x73\xB2\xD3\xA9\xFA\xC5\xE9")
                              << std::u16string(u"\u65B0\u7D30\u660E\u9AD4");
    // The same bytes read as GBK are other characters, one of them private use.
    QTest::newRow("936 reads Big5 bytes") << 936 << std::string("\xB7\x73\xB2\xD3\xA9\xFA\xC5\xE9")
                                          << std::u16string(u"\u7A5D\u707F\uE80B\u7830");
    QTest::newRow("936 GBK") << 936 << std::string("\xC4\xE3\xBA\xC3") << std::u16string(u"你好");
    QTest::newRow("1252 euro and e acute")
        << 1252 << std::string("\x80\xE9") << std::u16string(u"\u20AC\u00E9");
    QTest::newRow("1252 unassigned byte")
        << 1252 << std::string("\x81") << std::u16string(u"\u0081");
    QTest::newRow("437 box drawing")
        << 437 << std::string("\x82\xE1\xB0") << std::u16string(u"\u00E9\u00DF\u2591");
    QTest::newRow("850 o stroke") << 850 << std::string("\x9B") << std::u16string(u"\u00F8");
    QTest::newRow("866 Cyrillic") << 866 << std::string("\x80") << std::u16string(u"\u0410");
    QTest::newRow("1251 Cyrillic") << 1251 << std::string("\xC0") << std::u16string(u"\u0410");
    QTest::newRow("932 hiragana") << 932 << std::string("\x82\xA0") << std::u16string(u"\u3042");
    QTest::newRow("949 hangul") << 949 << std::string("\xB0\xA1") << std::u16string(u"\uAC00");
    QTest::newRow("65001") << 65001 << std::string("\xE4\xB8\xAD") << std::u16string(u"\u4E2D");
    QTest::newRow("ASCII passes") << 950 << std::string("SELECT 0") << std::u16string(u"SELECT 0");
    QTest::newRow("950 lead byte cut off")
        << 950 << std::string("A\xA4") << std::u16string(u"A\uFFFD");
    QTest::newRow("936 lead byte cut off")
        << 936 << std::string("\xC4") << std::u16string(u"\uFFFD");
    QTest::newRow("65001 invalid byte") << 65001
                                        << std::string("a\xFF"
                                                       "b")
                                        << std::u16string(u"a\uFFFDb");
    QTest::newRow("embedded zero kept")
        << 1252 << std::string("a\0b", 3) << std::u16string(u"a\0b", 3);
}

void TestCodePageConv::bytesToWide() {
    QFETCH(int, codePage);
    QFETCH(std::string, bytes);
    QFETCH(std::u16string, expected);
    QCOMPARE(units(MultiByteToWide(static_cast<CodePage>(codePage), bytes)), units(expected));
}

void TestCodePageConv::roundTrip_data() {
    QTest::addColumn<int>("codePage");
    QTest::addColumn<std::u16string>("text");
    QTest::newRow("936 Simplified") << 936 << std::u16string(u"简体中文数据库表");
    QTest::newRow("950 Traditional") << 950 << std::u16string(u"繁體中文資料庫");
    // Every byte of a single-byte code page stands for a character of its own.
    for (int cp : {437, 850, 866, 1251, 1252}) {
        std::u16string text;
        for (int byte = 0x20; byte <= 0xFF; ++byte) {
            char b = static_cast<char>(byte);
            text += MultiByteToWide(static_cast<CodePage>(cp), std::string_view(&b, 1));
        }
        QTest::addRow("%d every printable byte", cp) << cp << text;
    }
    QTest::newRow("65001 beyond the BMP") << 65001 << std::u16string(u"a\U0001F600\u4E2D");
}

void TestCodePageConv::roundTrip() {
    QFETCH(int, codePage);
    QFETCH(std::u16string, text);
    auto cp = static_cast<CodePage>(codePage);
    std::string bytes = WideToMultiByte(cp, text);
    QCOMPARE(units(MultiByteToWide(cp, bytes)), units(text));
    QVERIFY(text.find(u'\uFFFD') == std::u16string::npos);
}

void TestCodePageConv::narrowingSubstitutes_data() {
    QTest::addColumn<int>("codePage");
    QTest::addColumn<std::u16string>("text");
    QTest::addColumn<std::string>("expected");
    // U+4E2A exists only in Simplified Chinese.
    QTest::newRow("950 Simplified-only")
        << 950 << std::u16string(u"a\u4E2Ab") << std::string("a?b");
    QTest::newRow("1252 Chinese") << 1252 << std::u16string(u"\u4E2D") << std::string("?");
    QTest::newRow("437 euro") << 437 << std::u16string(u"\u20AC") << std::string("?");
    // Best-fit mappings apply before the default character does.
    QTest::newRow("1252 fullwidth letter") << 1252 << std::u16string(u"\uFF21") << std::string("A");
    QTest::newRow("65001 lone surrogate")
        << 65001 << std::u16string(u"x\xDC00", 2) << std::string("x\xEF\xBF\xBD");
    QTest::newRow("936 lone surrogate")
        << 936 << std::u16string(u"x\xD800y", 3) << std::string("x?y");
}

void TestCodePageConv::narrowingSubstitutes() {
    QFETCH(int, codePage);
    QFETCH(std::u16string, text);
    QFETCH(std::string, expected);
    QCOMPARE(hex(WideToMultiByte(static_cast<CodePage>(codePage), text)), hex(expected));
}

void TestCodePageConv::everyTableOpens() {
    for (int cp :
         {437, 720,  737,  775,  850,  852,  857,  862,  866,  874,  932,   936,   949,
          950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258, 20127, 28591, 65001}) {
        QVERIFY2(IcuConverterName(static_cast<CodePage>(cp)), qPrintable(QString::number(cp)));
        QVERIFY2(MultiByteToWide(static_cast<CodePage>(cp), "A") == u"A",
                 qPrintable(QString::number(cp)));
    }
}

void TestCodePageConv::emptyAndUnknown() {
    QVERIFY(MultiByteToWide(950, "").empty());
    QVERIFY(WideToMultiByte(950, u"").empty());
    QCOMPARE(IcuConverterName(12345), nullptr);
    QVERIFY(MultiByteToWide(12345, "abc").empty());
    QVERIFY(WideToMultiByte(12345, u"abc").empty());
}

void TestCodePageConv::longTextIsConvertedWhole() {
    std::u16string text;
    for (int i = 0; i < 50000; ++i)
        text += u"體a";
    std::string bytes = WideToMultiByte(950, text);
    QCOMPARE(bytes.size(), size_t{150000});
    QVERIFY(MultiByteToWide(950, bytes) == text);
}

void TestCodePageConv::threadsConvertIndependently() {
    // Each thread keeps its own converters; a shared one would mix their states
    // when a double-byte sequence is split across calls.
    std::vector<int> failures(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures] {
            CodePage cp = (t % 2) ? 950 : 936;
            std::u16string text = (t % 2) ? u"繁體中文" : u"简体中文";
            for (int i = 0; i < 2000; ++i) {
                if (MultiByteToWide(cp, WideToMultiByte(cp, text)) != text)
                    ++failures[static_cast<size_t>(t)];
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    QCOMPARE(failures, std::vector<int>(4, 0));
}

void TestCodePageConv::leadBytes_data() {
    QTest::addColumn<int>("codePage");
    QTest::addColumn<QList<int>>("leadRanges"); // pairs: first and last lead byte
    QTest::newRow("950 Big5") << 950 << QList<int>{0x81, 0xFE};
    QTest::newRow("936 GBK") << 936 << QList<int>{0x81, 0xFE};
    QTest::newRow("949 Korean") << 949 << QList<int>{0x81, 0xFE};
    QTest::newRow("932 Shift-JIS") << 932 << QList<int>{0x81, 0x9F, 0xE0, 0xFC};
    QTest::newRow("1252 has none") << 1252 << QList<int>{};
    QTest::newRow("437 has none") << 437 << QList<int>{};
    QTest::newRow("UTF-8 has none") << 65001 << QList<int>{};
    QTest::newRow("no table") << 12345 << QList<int>{};
}

void TestCodePageConv::leadBytes() {
    QFETCH(int, codePage);
    QFETCH(QList<int>, leadRanges);
    const LeadByteTable leads = DBCSLeadBytes(CodePage(codePage));
    for (int byte = 0; byte < 256; ++byte) {
        bool expected = false;
        for (qsizetype i = 0; i + 1 < leadRanges.size(); i += 2)
            expected = expected || (byte >= leadRanges[i] && byte <= leadRanges[i + 1]);
        QVERIFY2(leads[size_t(byte)] == expected, qPrintable(QString::number(byte, 16)));
        QCOMPARE(IsDBCSLeadByteEx(CodePage(codePage), static_cast<unsigned char>(byte)), expected);
    }
}

QTEST_APPLESS_MAIN(TestCodePageConv)
#include "tst_codepageconv.moc"
