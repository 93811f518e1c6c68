#include "RecordingSink.h"

#include <QDate>
#include <QStringList>
#include <QTime>

namespace standin::test {

void RecordingSink::row(std::span<const Value> values) {
    std::vector<Cell> cells;
    for (const Value& v : values) {
        std::visit(
            [&](const auto& x) {
                using T = std::decay_t<decltype(x)>;
                if constexpr (std::is_same_v<T, std::string_view>)
                    cells.emplace_back(QByteArray(x.data(), qsizetype(x.size())));
                else if constexpr (std::is_same_v<T, std::u16string_view>)
                    cells.emplace_back(QString::fromUtf16(x.data(), qsizetype(x.size())));
                else
                    cells.emplace_back(x);
            },
            v);
    }
    results.back().rows.push_back(std::move(cells));
    ++rowsSeen;
}

std::vector<ServerMessage> RecordingSink::errors() const {
    std::vector<ServerMessage> out;
    for (const ServerMessage& m : messages)
        if (m.isError())
            out.push_back(m);
    return out;
}

QString RecordingSink::firstError() const {
    for (const ServerMessage& m : messages)
        if (m.isError())
            return QStringLiteral("%1/%2/%3: %4")
                .arg(m.number)
                .arg(m.state)
                .arg(m.severity)
                .arg(QString::fromStdU16String(m.text));
    return {};
}

QString RecordingSink::text(size_t set, size_t row, size_t column) const {
    if (set >= results.size() || row >= results[set].rows.size() ||
        column >= results[set].rows[row].size())
        return QStringLiteral("<missing>");
    return cellText(results[set].rows[row][column]);
}

QString cellText(const Cell& cell) {
    return std::visit(
        [](const auto& x) -> QString {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return QStringLiteral("NULL");
            } else if constexpr (std::is_same_v<T, int64_t>) {
                return QString::number(x);
            } else if constexpr (std::is_same_v<T, double>) {
                return QString::number(x, 'g', 15);
            } else if constexpr (std::is_same_v<T, DecimalValue>) {
                __int128 u = x.unscaled < 0 ? -x.unscaled : x.unscaled;
                QString digits;
                do {
                    digits.prepend(QChar(char('0' + int(u % 10))));
                    u /= 10;
                } while (u > 0);
                while (digits.size() <= x.scale)
                    digits.prepend(QLatin1Char('0'));
                if (x.scale)
                    digits.insert(digits.size() - x.scale, QLatin1Char('.'));
                return (x.unscaled < 0 ? QStringLiteral("-") : QString()) + digits;
            } else if constexpr (std::is_same_v<T, DateTimeValue>) {
                QDate date = QDate(1900, 1, 1).addDays(x.days);
                qint64 ms = (qint64(x.ticks) * 10 + 1) / 3;
                return date.toString(QStringLiteral("yyyy-MM-dd ")) +
                       QTime(0, 0).addMSecs(int(ms)).toString(QStringLiteral("HH:mm:ss.zzz"));
            } else if constexpr (std::is_same_v<T, GuidValue>) {
                return QByteArray(reinterpret_cast<const char*>(x.bytes), 16).toHex();
            } else if constexpr (std::is_same_v<T, QByteArray>) {
                return QString::fromLatin1(x);
            } else {
                return x;
            }
        },
        cell);
}

EngineFixture::EngineFixture(std::vector<std::string> seeds) {
    EngineOptions options;
    options.seeds = std::move(seeds);
    engine = createEngine(options);
    session = newSession();
}

std::unique_ptr<Session> EngineFixture::newSession() {
    RecordingSink sink;
    auto s = engine->login(u"sa", u"velkin", u"", sink);
    if (!s)
        qFatal("login failed");
    return s;
}

std::unique_ptr<RecordingSink> EngineFixture::run(const QString& sql) {
    auto sink = std::make_unique<RecordingSink>();
    engine->executeBatch(*session, sql.toStdU16String(), *sink);
    return sink;
}

std::unique_ptr<RecordingSink> EngineFixture::rpc(const char16_t* procedure,
                                                  std::vector<Param> params) {
    auto sink = std::make_unique<RecordingSink>();
    engine->executeRpc(*session, procedure, params, *sink);
    return sink;
}

} // namespace standin::test
