// Request decoding: PRELOGIN, LOGIN7 (password obfuscation), SQL_BATCH, RPC
// parameters of every supported type, TRANS_MGR.
#include "TdsTestUtil.h"
#include "standin/tds/ByteReader.h"
#include "standin/tds/Login7.h"
#include "standin/tds/Prelogin.h"
#include "standin/tds/Request.h"
#include "standin/tds/TypeInfo.h"

#include <QTest>

using namespace standin;
using namespace standin::testing;
using namespace standin::tds;

Q_DECLARE_METATYPE(Bytes)

namespace {

const Bytes kAllHeaders = hex("16000000 12000000 0200 0000000000000000 01000000");

Bytes withHeaders(const Bytes& body) {
    Bytes out = kAllHeaders;
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

/// A readable form of a decoded parameter value.
QString describe(const Value& v) {
    if (std::holds_alternative<std::monostate>(v))
        return "null";
    if (auto p = std::get_if<int64_t>(&v))
        return QString("int %1").arg(*p);
    if (auto p = std::get_if<double>(&v))
        return QString("float %1").arg(*p);
    if (auto p = std::get_if<DecimalValue>(&v))
        return QString("dec %1e-%2").arg(static_cast<qlonglong>(p->unscaled)).arg(p->scale);
    if (auto p = std::get_if<DateTimeValue>(&v))
        return QString("dt %1/%2").arg(p->days).arg(p->ticks);
    if (auto p = std::get_if<GuidValue>(&v))
        return "guid " + QByteArray(reinterpret_cast<const char*>(p->bytes), 16).toHex();
    if (auto p = std::get_if<std::string_view>(&v))
        return "bytes " + QByteArray(p->data(), static_cast<qsizetype>(p->size())).toHex();
    auto s = std::get<std::u16string_view>(v);
    return "text " + QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

class TdsRequests : public QObject {
    Q_OBJECT
private slots:
    void password_data();
    void password();
    void login7Fields();
    void login7Refusals_data();
    void login7Refusals();
    void preloginAnswer();
    void preloginSkipsUnknownOptions();
    void sqlBatch_data();
    void sqlBatch();
    void rpcParameters_data();
    void rpcParameters();
    void rpcCallForms();
    void unsupportedParameterType();
    void transactionRequests_data();
    void transactionRequests();
};

void TdsRequests::password_data() {
    QTest::addColumn<QString>("password");
    QTest::addColumn<QByteArray>("wire");

    QTest::newRow("empty") << "" << QByteArray();
    // 'v' 0x76: nibbles swapped 0x67, XOR 0xA5 = 0xC2; the high byte 0x00 becomes 0xA5.
    QTest::newRow("ascii") << "v" << QByteArray::fromHex("C2A5");
    QTest::newRow("velkin") << "velkin" << QByteArray::fromHex("C2A5F3A563A513A533A543A5");
    // U+4E2D: low byte 0x2D becomes 0x77, high byte 0x4E becomes 0x41.
    QTest::newRow("CJK") << QString::fromUtf16(u"\u4E2D") << QByteArray::fromHex("7741");
}

void TdsRequests::password() {
    QFETCH(QString, password);
    QFETCH(QByteArray, wire);
    const std::u16string clear = password.toStdU16String();
    const Bytes obfuscated = obfuscatePassword(clear);
    QCOMPARE(toQ(obfuscated).toHex(), wire.toHex());
    QCOMPARE(QString::fromStdU16String(deobfuscatePassword(obfuscated)), password);
}

void TdsRequests::login7Fields() {
    Login7 in;
    in.packetSize = 8192;
    in.hostName = u"host";
    in.userName = u"sa";
    in.password = u"p\u00E4ss";
    in.appName = u"app";
    in.database = u"PELMAR_TTRS";
    Bytes payload = buildLogin7(in);
    // A FeatureExt block after the strings is tolerated.
    payload.insert(payload.end(), {0x0A, 0x01, 0x00, 0x00, 0x00, 0x01, 0xFF});
    const Login7 out = parseLogin7(payload);
    QCOMPARE(out.tdsVersion, 0x74000004u);
    QCOMPARE(out.packetSize, 8192u);
    QVERIFY(out.hostName == u"host");
    QVERIFY(out.userName == u"sa");
    QVERIFY(out.password == u"p\u00E4ss");
    QVERIFY(out.appName == u"app");
    QVERIFY(out.database == u"PELMAR_TTRS");
}

void TdsRequests::login7Refusals_data() {
    QTest::addColumn<Bytes>("payload");

    Login7 in;
    in.userName = u"sa";
    in.password = u"velkin";
    const Bytes good = buildLogin7(in);
    QTest::newRow("shorter than the fixed part") << Bytes(good.begin(), good.begin() + 60);
    Bytes offset = good;
    offset[40] = 0xF0; // user name offset far beyond the message
    QTest::newRow("field outside the message") << offset;
    Bytes count = good;
    count[42] = 0xFF; // user name longer than the message
    QTest::newRow("field too long") << count;
    Bytes declared = good;
    declared[0] = 0xFF;
    declared[1] = 0xFF;
    QTest::newRow("declared length beyond the message") << declared;
}

void TdsRequests::login7Refusals() {
    QFETCH(Bytes, payload);
    QVERIFY_THROWS_EXCEPTION(ProtocolError, parseLogin7(payload));
}

void TdsRequests::preloginAnswer() {
    const Bytes reply = buildPreloginReply(0x01020304);
    // Options VERSION, ENCRYPTION, INSTOPT, THREADID, MARS with big-endian
    // offsets and lengths, the terminator, then the values.
    const Bytes expected = hex("00 001A 0006  01 0020 0001  02 0021 0001  03 0022 0004"
                               "04 0026 0001  FF"
                               "10 00 03 E8 00 00  02  00  01 02 03 04  00");
    QCOMPARE(toQ(reply).toHex(' '), toQ(expected).toHex(' '));
    const auto parsed = parsePrelogin(reply);
    QCOMPARE(int(parsed.encryption), 2);
    QVERIFY(!parsed.mars);
}

void TdsRequests::preloginSkipsUnknownOptions() {
    // VERSION, ENCRYPTION=00, an unknown option 0x07, MARS=01.
    const Bytes request = hex("00 0015 0006  01 001B 0001  07 001C 0002  04 001E 0001  FF"
                              "0B 00 06 00 00 00  00  AB CD  01");
    const auto parsed = parsePrelogin(request);
    QCOMPARE(int(parsed.encryption), 0);
    QVERIFY(parsed.mars);
    Bytes outside = request;
    outside[3] = 0x40; // VERSION offset past the end
    QVERIFY_THROWS_EXCEPTION(ProtocolError, parsePrelogin(outside));
    QVERIFY_THROWS_EXCEPTION(ProtocolError, parsePrelogin(hex("00 0005")));
}

void TdsRequests::sqlBatch_data() {
    QTest::addColumn<Bytes>("payload");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");

    QTest::newRow("with headers") << buildSqlBatch(u"USE db SELECT 1") << "USE db SELECT 1" << true;
    QTest::newRow("empty text") << kAllHeaders << "" << true;
    Bytes odd = buildSqlBatch(u"x");
    odd.push_back(0);
    QTest::newRow("odd byte count") << odd << "" << false;
    QTest::newRow("headers longer than message") << hex("FF000000 1200") << "" << false;
    QTest::newRow("header inside block too long")
        << hex("16000000 40000000 0200 0000000000000000 01000000") << "" << false;
    QTest::newRow("no headers at all") << hex("01") << "" << false;
}

void TdsRequests::sqlBatch() {
    QFETCH(Bytes, payload);
    QFETCH(QString, text);
    QFETCH(bool, valid);
    if (!valid) {
        QVERIFY_THROWS_EXCEPTION(ProtocolError, parseSqlBatch(payload));
        return;
    }
    QCOMPARE(QString::fromStdU16String(parseSqlBatch(payload)), text);
}

void TdsRequests::rpcParameters_data() {
    QTest::addColumn<Bytes>("param");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("value");

    const char* coll = "0904D00034";
    auto row = [](const char* name, Bytes p, SqlType t, int length, QString v) {
        QTest::newRow(name) << p << static_cast<int>(t) << length << v;
    };
    auto h = [](QByteArray s) {
        return hex(s.constData());
    };
    row("intn 4", hex("26 04 04 2A000000"), SqlType::Int, 0, "int 42");
    row("intn null", hex("26 04 00"), SqlType::Int, 0, "null");
    row("intn 8 negative", hex("26 08 08 FEFFFFFFFFFFFFFF"), SqlType::BigInt, 0, "int -2");
    row("intn 2 negative", hex("26 02 02 FFFF"), SqlType::SmallInt, 0, "int -1");
    row("tinyint unsigned", hex("26 01 01 FF"), SqlType::TinyInt, 0, "int 255");
    row("int4 fixed", hex("38 05000000"), SqlType::Int, 0, "int 5");
    row("bitn", hex("68 01 01 01"), SqlType::Bit, 0, "int 1");
    row("fltn 8", hex("6D 08 08 0000000000000440"), SqlType::Float, 0, "float 2.5");
    row("fltn 4", hex("6D 04 04 00002040"), SqlType::Real, 0, "float 2.5");
    row("decimaln", hex("6A 11 12 02 11 00 39300000 00000000 00000000 00000000"), SqlType::Decimal,
        0, "dec -12345e-2");
    row("numericn null", hex("6C 11 12 02 00"), SqlType::Numeric, 0, "null");
    row("moneyn 8", hex("6E 08 08 00000000 983A0000"), SqlType::Money, 0, "dec 15000e-4");
    row("moneyn 4", hex("6E 04 04 983A0000"), SqlType::SmallMoney, 0, "dec 15000e-4");
    row("datetimn", hex("6F 08 08 25B10000 8EBBE200"), SqlType::DateTime, 0, "dt 45349/14859150");
    row("daten", hex("28 03 80460B"), SqlType::Date, 0, "dt 45349/0");
    // 13:45:30.5 at scale 7 = 495305000000 units of 100 ns.
    row("datetime2n", hex("2A 07 08 40847A5273 80460B"), SqlType::DateTime, 0, "dt 45349/14859150");
    row("bigvarchar", h(QByteArray("A7 3200 ") + coll + " 0300 616263"), SqlType::VarChar, 50,
        "bytes 616263");
    row("bigvarchar null", h(QByteArray("A7 3200 ") + coll + " FFFF"), SqlType::VarChar, 50,
        "null");
    row("bigchar", h(QByteArray("AF 0200 ") + coll + " 0200 6162"), SqlType::Char, 2, "bytes 6162");
    row("nvarchar", h(QByteArray("E7 6400 ") + coll + " 0400 2D4E 8765"), SqlType::NVarChar, 50,
        "text " + QString::fromUtf16(u"\u4E2D\u6587"));
    row("nchar", h(QByteArray("EF 0200 ") + coll + " 0200 6100"), SqlType::NChar, 1, "text a");
    row("nvarchar(max) in chunks",
        h(QByteArray("E7 FFFF ") + coll +
          " FEFFFFFFFFFFFFFF 02000000 6100 04000000 62006300 00000000"),
        SqlType::NVarChar, -1, "text abc");
    row("nvarchar(max) null", h(QByteArray("E7 FFFF ") + coll + " FFFFFFFFFFFFFFFF"),
        SqlType::NVarChar, -1, "null");
    row("ntext", h(QByteArray("63 FEFFFF7F ") + coll + " 04000000 61006200"), SqlType::NText, -1,
        "text ab");
    row("text", h(QByteArray("23 FFFFFF7F ") + coll + " 02000000 6162"), SqlType::Text, -1,
        "bytes 6162");
    row("ntext null", h(QByteArray("63 FEFFFF7F ") + coll + " FFFFFFFF"), SqlType::NText, -1,
        "null");
    row("bigvarbinary", hex("A5 0800 0200 0102"), SqlType::VarBinary, 8, "bytes 0102");
    row("guid", hex("24 10 10 000102030405060708090A0B0C0D0E0F"), SqlType::UniqueIdentifier, 16,
        "guid 000102030405060708090a0b0c0d0e0f");
    QTest::newRow("nvarchar odd bytes")
        << h(QByteArray("E7 6400 ") + coll + " 0300 610062") << -1 << 0 << "";
    QTest::newRow("decimal magnitude too long") << hex("6A 11 12 02 12 01 00") << -1 << 0 << "";
    QTest::newRow("value cut short") << hex("26 04 04 2A00") << -1 << 0 << "";
    QTest::newRow("plp chunk beyond the message")
        << h(QByteArray("E7 FFFF ") + coll + " FEFFFFFFFFFFFFFF FFFFFF7F 6100") << -1 << 0 << "";
}

void TdsRequests::rpcParameters() {
    QFETCH(Bytes, param);
    QFETCH(int, type);
    QFETCH(int, length);
    QFETCH(QString, value);
    // sp_executesql by ProcID, one unnamed parameter.
    Bytes body = hex("FFFF 0A00 0000 00 00");
    body.insert(body.end(), param.begin(), param.end());
    if (type < 0) {
        QVERIFY_THROWS_EXCEPTION(ProtocolError, parseRpc(withHeaders(body)));
        return;
    }
    const auto calls = parseRpc(withHeaders(body));
    QCOMPARE(calls.size(), size_t{1});
    QVERIFY(calls[0].procedure == u"sp_executesql");
    QCOMPARE(calls[0].params.size(), size_t{1});
    const Param& p = calls[0].params[0];
    QCOMPARE(static_cast<int>(p.type.type), type);
    if (length != 0)
        QCOMPARE(p.type.length, length);
    QCOMPARE(describe(p.value), value);
}

void TdsRequests::rpcCallForms() {
    // A named procedure with a named output parameter, a batch separator, then
    // sp_prepexec by ProcID with a short string that must survive the
    // parameter list growing (its value views the parameter's own storage).
    Bytes body;
    body.insert(body.end(), {0x0B, 0x00});
    appendUtf16(body, u"sp_columns2");
    body.insert(body.end(), {0x00, 0x00});
    body.push_back(2);
    appendUtf16(body, u"@h");
    const Bytes rest = hex("01 26 04 00  FF  FFFF 0D00 0000"
                           "00 00 A7 0A00 0904D00034 0100 78"
                           "00 00 A7 0A00 0904D00034 0100 79"
                           "00 00 A7 0A00 0904D00034 0100 7A");
    body.insert(body.end(), rest.begin(), rest.end());
    const auto calls = parseRpc(withHeaders(body));
    QCOMPARE(calls.size(), size_t{2});
    QVERIFY(calls[0].procedure == u"sp_columns2");
    QCOMPARE(calls[0].procId, uint16_t{0});
    QCOMPARE(calls[0].params.size(), size_t{1});
    QVERIFY(calls[0].params[0].name == u"@h");
    QVERIFY(calls[0].params[0].output);
    QVERIFY(calls[1].procedure == u"sp_prepexec");
    QCOMPARE(calls[1].params.size(), size_t{3});
    QCOMPARE(describe(calls[1].params[0].value), QString("bytes 78"));
    QCOMPARE(describe(calls[1].params[2].value), QString("bytes 7a"));
    // Neither an empty name nor procedure id 0 names a procedure.
    QVERIFY_THROWS_EXCEPTION(ProtocolError, parseRpc(withHeaders(hex("0000 0000"))));
    QVERIFY_THROWS_EXCEPTION(ProtocolError, parseRpc(withHeaders(hex("FFFF 0000 0000"))));
}

void TdsRequests::unsupportedParameterType() {
    // TIME(7) is well formed but not taken.
    QVERIFY_THROWS_EXCEPTION(UnsupportedType,
                             parseRpc(withHeaders(hex("FFFF 0A00 0000 00 00 29 07 00"))));
}

void TdsRequests::transactionRequests_data() {
    QTest::addColumn<Bytes>("payload");
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("beginNext");

    QTest::newRow("begin, headers") << withHeaders(hex("0500 00 00")) << 0 << false;
    QTest::newRow("commit, headers") << withHeaders(hex("0700 00 00")) << 1 << false;
    QTest::newRow("rollback and begin, headers") << withHeaders(hex("0800 00 01 00")) << 2 << true;
    QTest::newRow("begin, bare") << hex("05000000") << 0 << false;
    QTest::newRow("commit and begin, bare") << hex("070000010000") << 1 << true;
    QTest::newRow("rollback, shortest") << hex("0800") << 2 << false;
    QTest::newRow("other") << hex("0600") << 3 << false;
}

void TdsRequests::transactionRequests() {
    QFETCH(Bytes, payload);
    QFETCH(int, kind);
    QFETCH(bool, beginNext);
    const auto request = parseTransactionRequest(payload);
    QCOMPARE(static_cast<int>(request.kind), kind);
    QCOMPARE(request.beginNext, beginNext);
}

QTEST_GUILESS_MAIN(TdsRequests)
#include "tds_requests.moc"
