// Token encoding: COLMETADATA type descriptions, row values and the fixed
// tokens, checked byte for byte against the TDS 7.4 layouts.
#include "TdsTestUtil.h"
#include "standin/tds/TokenWriter.h"

#include <QTest>

using namespace standin;
using namespace standin::testing;
using namespace standin::tds;

Q_DECLARE_METATYPE(Bytes)
Q_DECLARE_METATYPE(standin::ColumnInfo)
Q_DECLARE_METATYPE(standin::Value)

namespace {

Collation latin1() {
    return Collation{"SQL_Latin1_General_CP1_CI_AS", 0x00D00409, 0x34, 1252};
}

ColumnInfo col(SqlType type, int32_t length = 0, uint8_t precision = 0, uint8_t scale = 0) {
    ColumnInfo c;
    c.name = u"c";
    c.type = type;
    c.length = length;
    c.precision = precision;
    c.scale = scale;
    c.collation = latin1();
    return c;
}

/// Runs `write` against a TokenWriter and returns the message payload.
template <typename F> Bytes tokens(F write) {
    MemorySink sink;
    PacketWriter packets(sink, 4096);
    TokenWriter writer(packets);
    write(writer);
    packets.endMessage();
    return stripHeaders(sink.bytes);
}

const char* kColl = "0904D00034";

} // namespace

class TdsTokens : public QObject {
    Q_OBJECT
private slots:
    void columnTypes_data();
    void columnTypes();
    void rowValues_data();
    void rowValues();
    void nullBitmapRow();
    void browseInformation();
    void fixedTokens_data();
    void fixedTokens();
};

void TdsTokens::columnTypes_data() {
    QTest::addColumn<ColumnInfo>("column");
    QTest::addColumn<QByteArray>("typeInfo");

    auto row = [](const char* name, ColumnInfo c, QByteArray hexInfo) {
        QTest::newRow(name) << c << QByteArray::fromHex(hexInfo.replace(' ', ""));
    };
    row("int", col(SqlType::Int), "26 04");
    row("smallint", col(SqlType::SmallInt), "26 02");
    row("tinyint", col(SqlType::TinyInt), "26 01");
    row("bigint", col(SqlType::BigInt), "26 08");
    row("bit", col(SqlType::Bit), "68 01");
    row("float", col(SqlType::Float), "6D 08");
    row("real", col(SqlType::Real), "6D 04");
    row("money", col(SqlType::Money), "6E 08");
    row("smallmoney", col(SqlType::SmallMoney), "6E 04");
    row("datetime", col(SqlType::DateTime), "6F 08");
    row("smalldatetime", col(SqlType::SmallDateTime), "6F 04");
    row("date", col(SqlType::Date), "28");
    row("decimal(18,4)", col(SqlType::Decimal, 0, 18, 4), "6A 09 12 04");
    row("numeric(38,0)", col(SqlType::Numeric, 0, 38, 0), "6C 11 26 00");
    row("decimal(5,2)", col(SqlType::Decimal, 0, 5, 2), "6A 05 05 02");
    row("varchar(20)", col(SqlType::VarChar, 20), QByteArray("A7 14 00 ") + kColl);
    row("varchar(max)", col(SqlType::VarChar, -1), QByteArray("A7 FF FF ") + kColl);
    row("char(3)", col(SqlType::Char, 3), QByteArray("AF 03 00 ") + kColl);
    row("nvarchar(20)", col(SqlType::NVarChar, 20), QByteArray("E7 28 00 ") + kColl);
    row("nvarchar(max)", col(SqlType::NVarChar, -1), QByteArray("E7 FF FF ") + kColl);
    row("nvarchar(4001) becomes max", col(SqlType::NVarChar, 4001),
        QByteArray("E7 FF FF ") + kColl);
    row("nchar(5)", col(SqlType::NChar, 5), QByteArray("EF 0A 00 ") + kColl);
    row("text without table", col(SqlType::Text), QByteArray("23 FF FF FF 7F ") + kColl + "00");
    row("ntext without table", col(SqlType::NText), QByteArray("63 FE FF FF 7F ") + kColl + "00");
    row("image", col(SqlType::Image), "22 FF FF FF 7F 00");
    row("varbinary(8)", col(SqlType::VarBinary, 8), "A5 08 00");
    row("varbinary(max)", col(SqlType::VarBinary, -1), "A5 FF FF");
    row("binary(4)", col(SqlType::Binary, 4), "AD 04 00");
    row("uniqueidentifier", col(SqlType::UniqueIdentifier), "24 10");
}

void TdsTokens::columnTypes() {
    QFETCH(ColumnInfo, column);
    QFETCH(QByteArray, typeInfo);
    ResultMeta meta;
    meta.columns = {column};
    const Bytes out = tokens([&](TokenWriter& w) { w.columnMetadata(meta); });
    // Token, count 1, user type 0, flags nullable + updatable, TYPE_INFO, name "c".
    const QByteArray expected =
        QByteArray::fromHex("8101000000000005 00") + typeInfo + QByteArray::fromHex("016300");
    QCOMPARE(toQ(out).toHex(' '), expected.toHex(' '));
}

void TdsTokens::rowValues_data() {
    QTest::addColumn<ColumnInfo>("column");
    QTest::addColumn<Value>("value");
    QTest::addColumn<QByteArray>("cell");

    auto row = [](const char* name, ColumnInfo c, Value v, QByteArray hexCell) {
        QTest::newRow(name) << c << v << QByteArray::fromHex(hexCell.replace(' ', ""));
    };
    row("int", col(SqlType::Int), int64_t{42}, "04 2A 00 00 00");
    row("smallint negative", col(SqlType::SmallInt), int64_t{-2}, "02 FE FF");
    row("tinyint 255", col(SqlType::TinyInt), int64_t{255}, "01 FF");
    row("bigint", col(SqlType::BigInt), int64_t{-1}, "08 FF FF FF FF FF FF FF FF");
    row("bit", col(SqlType::Bit), int64_t{1}, "01 01");
    row("float", col(SqlType::Float), 2.5, "08 00 00 00 00 00 00 04 40");
    row("real", col(SqlType::Real), 2.5, "04 00 00 20 40");
    row("decimal", col(SqlType::Decimal, 0, 18, 4), DecimalValue{12345678, 4},
        "09 01 4E 61 BC 00 00 00 00 00");
    row("decimal negative, rescaled up", col(SqlType::Decimal, 0, 18, 4), DecimalValue{-15, 1},
        "09 00 98 3A 00 00 00 00 00 00");
    row("decimal rounded half away from zero", col(SqlType::Decimal, 0, 5, 2),
        DecimalValue{12345, 3}, "05 01 D3 04 00 00");
    row("decimal from an integer", col(SqlType::Numeric, 0, 10, 2), int64_t{7},
        "09 01 BC 02 00 00 00 00 00 00");
    row("money", col(SqlType::Money), DecimalValue{15, 1}, "08 00 00 00 00 98 3A 00 00");
    row("money negative", col(SqlType::Money), DecimalValue{-1, 0}, "08 FF FF FF FF F0 D8 FF FF");
    row("smallmoney", col(SqlType::SmallMoney), DecimalValue{15, 1}, "04 98 3A 00 00");
    row("datetime", col(SqlType::DateTime), DateTimeValue{45349, 14859150},
        "08 25 B1 00 00 8E BB E2 00");
    row("smalldatetime rounds to the minute", col(SqlType::SmallDateTime),
        DateTimeValue{45349, 14859150}, "04 25 B1 3A 03");
    row("date counts from year 1", col(SqlType::Date), DateTimeValue{45349, 0}, "03 80 46 0B");
    row("varchar", col(SqlType::VarChar, 20), std::string_view("abc"), "03 00 61 62 63");
    row("varchar cut at its length", col(SqlType::VarChar, 2), std::string_view("abc"),
        "02 00 61 62");
    row("char padded", col(SqlType::Char, 5), std::string_view("ab"), "05 00 61 62 20 20 20");
    row("nvarchar", col(SqlType::NVarChar, 20), std::u16string_view(u"\u4E2D"), "02 00 2D 4E");
    row("nchar padded", col(SqlType::NChar, 2), std::u16string_view(u"a"), "04 00 61 00 20 00");
    row("nvarchar(max) as PLP", col(SqlType::NVarChar, -1), std::u16string_view(u"ab"),
        "04 00 00 00 00 00 00 00 04 00 00 00 61 00 62 00 00 00 00 00");
    row("varchar(max) empty", col(SqlType::VarChar, -1), std::string_view(""),
        "00 00 00 00 00 00 00 00 00 00 00 00");
    row("ntext", col(SqlType::NText), std::u16string_view(u"a"),
        "10 56454C4B494E0100 0000000000000001 0000000000000000 02 00 00 00 61 00");
    row("varbinary", col(SqlType::VarBinary, 8), std::string_view("\x01\x02", 2), "02 00 01 02");
    GuidValue g;
    for (uint8_t i = 0; i < 16; ++i)
        g.bytes[i] = i;
    row("uniqueidentifier", col(SqlType::UniqueIdentifier), g,
        "10 000102030405060708090A0B0C0D0E0F");
}

void TdsTokens::rowValues() {
    QFETCH(ColumnInfo, column);
    QFETCH(Value, value);
    QFETCH(QByteArray, cell);
    ResultMeta meta;
    meta.columns = {column};
    const Bytes metadata = tokens([&](TokenWriter& w) { w.columnMetadata(meta); });
    const Bytes out = tokens([&](TokenWriter& w) {
        w.columnMetadata(meta);
        w.row(std::span<const Value>(&value, 1));
    });
    const QByteArray rowBytes = toQ(out).mid(static_cast<qsizetype>(metadata.size()));
    QCOMPARE(rowBytes.toHex(' '), (QByteArray("\xD1") + cell).toHex(' '));
}

void TdsTokens::nullBitmapRow() {
    // A NULL cell is left out of an NBCROW and marked in the bitmap instead,
    // for every type, including those whose NULL would otherwise be spelled out.
    ResultMeta meta;
    for (int i = 0; i < 9; ++i)
        meta.columns.push_back(col(i == 8 ? SqlType::NVarChar : SqlType::Int, -1));
    std::vector<Value> values(9, Value{});
    values[1] = int64_t{7};
    const Bytes metadata = tokens([&](TokenWriter& w) { w.columnMetadata(meta); });
    const Bytes out = tokens([&](TokenWriter& w) {
        w.columnMetadata(meta);
        w.row(values);
    });
    const QByteArray rowBytes = toQ(out).mid(static_cast<qsizetype>(metadata.size()));
    QCOMPARE(rowBytes.toHex(' '), QByteArray::fromHex("D2 FD01 04 07000000").toHex(' '));
}

void TdsTokens::browseInformation() {
    ResultMeta meta;
    meta.tables = {BrowseTable{{u"dbo", u"T"}}};
    meta.columns = {col(SqlType::Int), col(SqlType::Int), col(SqlType::Int)};
    meta.columns[0].tableIndex = 1;
    meta.columns[0].isKey = true;
    meta.columns[0].nullable = false;
    meta.columns[1].tableIndex = 0;
    meta.columns[2].tableIndex = 1;
    meta.columns[2].name = u"Nm";
    meta.columns[2].baseColumn = u"NAME";
    meta.columns[2].hidden = true;
    const QByteArray out = toQ(tokens([&](TokenWriter& w) { w.columnMetadata(meta); }));
    // Key flag (0x4000) and hidden flag (0x2000) in COLMETADATA.
    QVERIFY(out.startsWith(QByteArray::fromHex("810300 00000000 0440 2604 016300")));
    const QByteArray tail =
        QByteArray::fromHex("A4 0D00 02 0300 640062006F00 0100 5400"
                            "A5 1200 01 01 08  02 00 04  03 01 30 04 4E0041004D004500");
    QCOMPARE(out.right(tail.size()).toHex(' '), tail.toHex(' '));
}

void TdsTokens::fixedTokens_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("done more count") << 0 << QByteArray("FD 1100 C100 0500000000000000");
    QTest::newRow("error") << 1
                           << QByteArray("AA 1C00 D0000000 01 10 0100 7800 "
                                         "06 560045004C004B0049004E00 00 01000000");
    QTest::newRow("database change") << 2
                                     << QByteArray("E3 1300 01 02 64006200 "
                                                   "06 6D0061007300740065007200");
    QTest::newRow("collation change") << 3 << QByteArray("E3 0800 07 05 0904D00034 00");
    QTest::newRow("login ack") << 4
                               << QByteArray("AD 1600 01 74000004 "
                                             "06 560045004C004B0049004E00 100003E8");
    QTest::newRow("return status") << 5 << QByteArray("79 FEFFFFFF");
    QTest::newRow("begin transaction") << 6 << QByteArray("E3 0B00 08 08 0100000000000000 00");
}

void TdsTokens::fixedTokens() {
    QFETCH(int, kind);
    QFETCH(QByteArray, expected);
    const Bytes out = tokens([&](TokenWriter& w) {
        switch (kind) {
        case 0:
            w.done(TokenDone, DoneMore | DoneCount, 0xC1, 5);
            break;
        case 1: {
            ServerMessage m;
            m.number = 208;
            m.severity = 16;
            m.text = u"x";
            w.message(m);
            break;
        }
        case 2:
            w.envChange(EnvDatabase, u"db", u"master");
            break;
        case 3:
            w.collationChange(latin1());
            break;
        case 4:
            w.loginAck(0x74000004, u"VELKIN");
            break;
        case 5:
            w.returnStatus(-2);
            break;
        case 6: {
            const uint8_t d[8] = {1, 0, 0, 0, 0, 0, 0, 0};
            w.envChangeBytes(EnvBeginTransaction, d, {});
            break;
        }
        }
    });
    QCOMPARE(toQ(out).toHex(' '), QByteArray::fromHex(expected.replace(' ', "")).toHex(' '));
}

QTEST_GUILESS_MAIN(TdsTokens)
#include "tds_tokens.moc"
