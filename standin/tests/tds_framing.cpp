// Packet framing: reassembly of received messages and packet cutting of replies.
#include "TdsTestUtil.h"
#include "standin/tds/ByteReader.h"

#include <QTest>

using namespace standin::testing;
using standin::tds::MessageReader;
using standin::tds::PacketWriter;
using standin::tds::ProtocolError;

Q_DECLARE_METATYPE(Bytes)

class TdsFraming : public QObject {
    Q_OBJECT
private slots:
    void reassembly_data();
    void reassembly();
    void refusals_data();
    void refusals();
    void endOfStreamBetweenMessages();
    void replySplitting_data();
    void replySplitting();
};

void TdsFraming::reassembly_data() {
    QTest::addColumn<Bytes>("stream");
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("payload");

    QTest::newRow("one packet") << packet(0x01, 0x01, {1, 2, 3}) << 1 << QByteArray("\x01\x02\x03");
    Bytes two = packet(0x03, 0x00, {1, 2}, 9);
    Bytes tail = packet(0x03, 0x01, {3}, 200);
    two.insert(two.end(), tail.begin(), tail.end());
    QTest::newRow("two packets, ids ignored") << two << 3 << QByteArray("\x01\x02\x03");
    QTest::newRow("attention header only") << packet(0x06, 0x01, {}) << 6 << QByteArray();
    // A reset-connection bit next to EOM does not hide the end of the message.
    QTest::newRow("status with other bits") << packet(0x01, 0x09, {7}) << 1 << QByteArray("\x07");
}

void TdsFraming::reassembly() {
    QFETCH(Bytes, stream);
    QFETCH(int, type);
    QFETCH(QByteArray, payload);
    MemorySource source(stream, 3);
    MessageReader reader(source);
    const auto message = reader.read();
    QVERIFY(message.has_value());
    QCOMPARE(int(message->type), type);
    QCOMPARE(toQ(message->payload), payload);
    QVERIFY(!reader.read().has_value());
}

void TdsFraming::refusals_data() {
    QTest::addColumn<Bytes>("stream");

    QTest::newRow("length below header") << Bytes{0x01, 0x01, 0x00, 0x04, 0, 0, 1, 0};
    Bytes mixed = packet(0x01, 0x00, {1});
    Bytes other = packet(0x03, 0x01, {2});
    mixed.insert(mixed.end(), other.begin(), other.end());
    QTest::newRow("type changes inside a message") << mixed;
    Bytes cut = packet(0x01, 0x01, {1, 2, 3, 4});
    cut.pop_back();
    cut.pop_back();
    QTest::newRow("cut inside a packet") << cut;
    QTest::newRow("cut inside a header") << Bytes{0x01, 0x01, 0x00};
    Bytes noEnd = packet(0x01, 0x00, {1});
    QTest::newRow("stream ends before end of message") << noEnd;
    // Cap of 16 bytes in the test below.
    Bytes big = packet(0x01, 0x00, Bytes(10, 0xAA));
    Bytes more = packet(0x01, 0x01, Bytes(10, 0xBB));
    big.insert(big.end(), more.begin(), more.end());
    QTest::newRow("message over the cap") << big;
}

void TdsFraming::refusals() {
    QFETCH(Bytes, stream);
    MemorySource source(stream);
    MessageReader reader(source, 16);
    QVERIFY_THROWS_EXCEPTION(ProtocolError, reader.read());
}

void TdsFraming::endOfStreamBetweenMessages() {
    MemorySource source({});
    MessageReader reader(source);
    QVERIFY(!reader.read().has_value());
}

void TdsFraming::replySplitting_data() {
    QTest::addColumn<int>("packetSize");
    QTest::addColumn<int>("size");

    QTest::newRow("empty message") << 512 << 0;
    QTest::newRow("exactly one packet") << 512 << 504;
    QTest::newRow("one byte over") << 512 << 505;
    QTest::newRow("many packets, buffer wraps") << 512 << 700000;
    QTest::newRow("large packets") << 32767 << 1000000;
}

void TdsFraming::replySplitting() {
    QFETCH(int, packetSize);
    QFETCH(int, size);
    MemorySink sink;
    PacketWriter writer(sink, static_cast<size_t>(packetSize));
    Bytes data(static_cast<size_t>(size));
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 31 + i / 251);
    // Mixed write sizes cross packet boundaries at every offset.
    size_t at = 0;
    for (size_t step = 1; at < data.size(); step = step % 997 + 1) {
        const size_t n = std::min(step, data.size() - at);
        if (n == 1)
            writer.u8(data[at]);
        else
            writer.put(data.data() + at, n);
        at += n;
    }
    writer.endMessage();

    size_t pos = 0;
    int packets = 0;
    Bytes payload;
    while (pos < sink.bytes.size()) {
        QVERIFY(pos + 8 <= sink.bytes.size());
        const uint8_t* h = sink.bytes.data() + pos;
        const size_t length = size_t{h[2]} << 8 | h[3];
        QCOMPARE(int(h[0]), 0x04);
        QVERIFY(length >= 8 && length <= static_cast<size_t>(packetSize));
        const bool last = pos + length == sink.bytes.size();
        QCOMPARE(int(h[1]), last ? 1 : 0);
        if (!last)
            QCOMPARE(length, static_cast<size_t>(packetSize));
        payload.insert(payload.end(), h + 8, h + length);
        pos += length;
        ++packets;
    }
    QCOMPARE(pos, sink.bytes.size());
    QVERIFY(packets >= 1);
    QVERIFY(payload == data);
}

QTEST_GUILESS_MAIN(TdsFraming)
#include "tds_framing.moc"
