// Hostile input: random and mutated messages fed to every decoder. The only
// acceptable outcomes are a decoded result or ProtocolError/UnsupportedType;
// the sanitizers catch any read out of bounds.
#include "TdsTestUtil.h"
#include "standin/tds/ByteReader.h"
#include "standin/tds/Login7.h"
#include "standin/tds/Prelogin.h"
#include "standin/tds/Request.h"
#include "standin/tds/TypeInfo.h"

#include <QTest>
#include <functional>
#include <random>

using namespace standin;
using namespace standin::testing;
using namespace standin::tds;

namespace {

using Decoder = std::function<void(const Bytes&)>;

/// Runs a decoder; returns false when it failed in a way other than refusing the input.
bool survives(const Decoder& decode, const Bytes& input, QString& problem) {
    try {
        decode(input);
    } catch (const ProtocolError&) {
    } catch (const UnsupportedType&) {
    } catch (const std::exception& e) {
        problem = QString("unexpected exception: ") + e.what();
        return false;
    }
    return true;
}

Bytes sampleRpc() {
    return hex("16000000 12000000 0200 0000000000000000 01000000"
               "FFFF 0A00 0000"
               "00 00 63 FEFFFF7F 0904D00034 04000000 61006200"
               "00 00 26 04 04 2A000000"
               "00 00 E7 FFFF 0904D00034 FEFFFFFFFFFFFFFF 02000000 6100 00000000"
               "00 00 6A 11 12 02 11 01 39300000 00000000 00000000 00000000"
               "00 00 2A 07 08 40847A5273 80460B");
}

Bytes sampleLogin() {
    Login7 login;
    login.userName = u"sa";
    login.password = u"velkin";
    login.database = u"master";
    return buildLogin7(login);
}

} // namespace

Q_DECLARE_METATYPE(Decoder)
Q_DECLARE_METATYPE(Bytes)

class TdsGarbage : public QObject {
    Q_OBJECT
private slots:
    void decoders_data();
    void decoders();
    void packetStream();
};

void TdsGarbage::decoders_data() {
    QTest::addColumn<Decoder>("decode");
    QTest::addColumn<Bytes>("sample");

    QTest::newRow("prelogin") << Decoder([](const Bytes& b) { parsePrelogin(b); })
                              << buildPreloginReply(7);
    QTest::newRow("login7") << Decoder([](const Bytes& b) { parseLogin7(b); }) << sampleLogin();
    QTest::newRow("sql batch") << Decoder([](const Bytes& b) { parseSqlBatch(b); })
                               << buildSqlBatch(u"SELECT 1");
    QTest::newRow("rpc") << Decoder([](const Bytes& b) { parseRpc(b); }) << sampleRpc();
    QTest::newRow("trans mgr") << Decoder([](const Bytes& b) { parseTransactionRequest(b); })
                               << hex("16000000 12000000 0200 0000000000000000 01000000 0500 00");
}

void TdsGarbage::decoders() {
    QFETCH(Decoder, decode);
    QFETCH(Bytes, sample);
    std::mt19937 random(20240229);
    QString problem;
    // The untouched sample decodes.
    decode(sample);
    for (int round = 0; round < 20000; ++round) {
        Bytes input;
        switch (round % 4) {
        case 0: { // pure noise
            input.resize(random() % 200);
            for (auto& b : input)
                b = static_cast<uint8_t>(random());
            break;
        }
        case 1: // truncated sample
            input.assign(sample.begin(),
                         sample.begin() + static_cast<long>(random() % sample.size()));
            break;
        default: { // sample with a few bytes changed, often to extremes
            input = sample;
            const int flips = 1 + static_cast<int>(random() % 4);
            for (int i = 0; i < flips; ++i) {
                const uint32_t r = random();
                input[r % input.size()] = (r >> 16) % 3 == 0   ? 0xFF
                                          : (r >> 16) % 3 == 1 ? 0x00
                                                               : static_cast<uint8_t>(r >> 8);
            }
            break;
        }
        }
        if (!survives(decode, input, problem))
            QFAIL(qPrintable(QString("round %1: %2, input %3")
                                 .arg(round)
                                 .arg(problem, QString(toQ(input).toHex()))));
    }
}

void TdsGarbage::packetStream() {
    std::mt19937 random(7);
    for (int round = 0; round < 5000; ++round) {
        Bytes stream(random() % 400);
        for (auto& b : stream)
            b = static_cast<uint8_t>(random());
        // Plausible headers now and then so that reassembly paths run too.
        if (round % 2 == 0 && stream.size() >= 8) {
            stream[2] = 0;
            stream[3] = static_cast<uint8_t>(8 + random() % 64);
        }
        MemorySource source(stream, 1 + random() % 50);
        MessageReader reader(source, 256);
        try {
            while (reader.read()) {
            }
        } catch (const ProtocolError&) {
        }
    }
}

QTEST_GUILESS_MAIN(TdsGarbage)
#include "tds_garbage.moc"
