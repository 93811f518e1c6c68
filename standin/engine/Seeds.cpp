#include "standin/engine/Seeds.h"

#include "standin/engine/Executor.h"
#include "standin/engine/ResultStream.h"
#include "standin/engine/SessionState.h"
#include "standin/engine/SqlError.h"
#include "standin/engine/Text.h"

#include <cstdio>
#include <stdexcept>

namespace standin::engine {
namespace {

/// Fails the seed on the first error; results are not wanted.
class SeedSink : public ResultSink {
public:
    void resultBegin(const ResultMeta&) override {}
    void row(std::span<const Value>) override {}
    void statementDone(std::optional<int64_t>, bool) override {}
    void message(const ServerMessage& m) override {
        if (m.isError())
            throw std::runtime_error("seed failed: " + toUtf8(m.text));
    }
    void databaseChanged(const std::u16string&, const std::u16string&, const Collation&) override {}
    void returnStatus(int32_t) override {}
    bool cancelled() const override { return false; }
};

/// A small deterministic generator, so every run seeds the same rows.
class Sequence {
public:
    explicit Sequence(uint64_t seed) : state_(seed) {}
    uint32_t next() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return uint32_t(state_ >> 33);
    }
    int upTo(int n) { return int(next() % uint32_t(n)); }
    template <size_t N> const char* pick(const char* const (&items)[N]) {
        return items[upTo(int(N))];
    }

private:
    uint64_t state_;
};

std::string dateText(int dayOffset, int secondOfDay) {
    DateTimeValue v;
    v.days = 45000 + dayOffset; // spring 2023
    v.ticks = uint32_t(secondOfDay % 86400) * 300u;
    return formatDateTime(v);
}

std::string fmt(const char* format, int a) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, a);
    return buf;
}

struct Seeder {
    Databases& databases;
    SeedSink sink;
    std::unique_ptr<SessionState> session;
    std::unique_ptr<Executor> executor;

    /// Creates `name` and makes it current; false when it already exists.
    bool begin(const std::string& name, const char* collation) {
        if (databases.find(name))
            return false;
        databases.create(name, *collationByName(collation));
        session = std::make_unique<SessionState>(databases, "sa", *databases.find(name));
        executor = std::make_unique<Executor>(databases, *session, sink);
        return true;
    }
    void run(const std::string& sql) { executor->runBatch(sql); }
    Connection& connection() { return *session->current().connection; }
};

/// Binds a generated text (copied, as the generator's strings are temporaries).
void bindText(Statement& st, int index, const std::string& text) {
    st.bind(index, text);
}

const char* const kRoles[] = {"T", "M", "F", "IF", "OF", "IC", "OC"};
const char* const kMTypes[] = {"TT00IN", "TT0EN1", "TT0EN2", "TT0EN3", "TT0EN4", "TT0TNI",
                               "TT0TNO", "TT0SAA", "TT0GAR", "TT00GQ", "TT00CR", "TT0RFC",
                               "TTCARR", "TT00RR", "TT0ACK", "TTAERR"};
const char* const kEdis[] = {"EDI0001", "EDI0002", "EDI0417", "EDI2024", "CUSTOMS01", "PORTKH"};
const char* const kBig5Titles[] = {"貨物進口報單", "電子文件",   "報關行確認", "海關放行通知",
                                   "貿易商申報",   "高雄港轉運", "台北市出口", "錯誤訊息回覆"};
const char* const kMixedNotes[] = {"進口報單 / 进口报单", "海關確認 / 海关确认",
                                   "錯誤訊息 / 错误信息", "放行通知 / 放行通知",
                                   "電子文件交換 / 电子文件交换"};

std::string utr(int n) {
    return fmt("UTR%015d", 202300000 + n);
}

// Binds the four columns every TTRS table starts with (UTR, MType, ProcessorEDI,
// ProcessorRole); the message type is drawn unless given.
void bindDocumentKey(Statement& st, Sequence& rnd, int document, const char* mtype = nullptr) {
    bindText(st, 1, utr(document));
    st.bind(2, std::string_view(mtype ? mtype : rnd.pick(kMTypes)));
    st.bind(3, std::string_view(rnd.pick(kEdis)));
    st.bind(4, std::string_view(rnd.pick(kRoles)));
}
std::string ref(const char* prefix, int n) {
    return std::string(prefix) + fmt("%015d", n);
}

std::string longMemo(int n) {
    std::string memo;
    const std::string paragraph =
        "本文件為電子資料交換之測試備註，內容包含繁體中文與简体中文混合文字。"
        "This memo line repeats to make a long value. ";
    for (int k = 0; k < 60 + n % 20; ++k)
        memo += paragraph;
    return memo;
}

void seedTtrs(Databases& databases) {
    Seeder s{databases, {}, nullptr, nullptr};
    if (!s.begin("PELMAR_TTRS", "Chinese_Taiwan_Stroke_CI_AS"))
        return;
    const std::string common = "UTR varchar(18) NOT NULL, MType varchar(6) NULL, "
                               "ProcessorEDI varchar(10) NULL, ProcessorRole varchar(2) NULL, ";
    s.run("CREATE TABLE T_DOCMAS (" + common +
          "SSeqNo int NOT NULL, BoxType char(1) NULL, Status varchar(2) NULL, MTSeqNo int NULL, "
          "VersionNo int NULL, CanSign char(1) NULL, UDR varchar(18) NULL, "
          "DocTitle varchar(60) NULL, Remark nvarchar(100) NULL, Memo ntext NULL, "
          "Amount decimal(18,2) NULL, CreateDate datetime NOT NULL DEFAULT (getdate()), "
          "CONSTRAINT PK_T_DOCMAS PRIMARY KEY CLUSTERED (UTR, SSeqNo))");
    s.run("CREATE TABLE T_LSTDOC (" + common +
          "LstSSeq int NOT NULL, BoxType char(1) NULL, ReferenceNo varchar(20) NULL, "
          "UCR varchar(18) NULL, Note varchar(80) NULL, LstDate datetime NULL, "
          "CONSTRAINT PK_T_LSTDOC PRIMARY KEY (UTR, LstSSeq))");
    s.run("CREATE TABLE T_LXCHG (" + common +
          "LstMTSeq int NOT NULL, LstVersion int NULL, UPR varchar(18) NULL, "
          "Direction char(1) NULL, ExchDate datetime NULL, "
          "CONSTRAINT PK_T_LXCHG PRIMARY KEY (UTR, LstMTSeq))");
    s.run("CREATE TABLE T_CURSTA (" + common +
          "CurrState varchar(4) NULL, LockQueue varchar(10) NULL, LstGovNotiVerNo varchar(5) NULL, "
          "UMR varchar(18) NULL, UpdTime datetime NULL, CONSTRAINT PK_T_CURSTA PRIMARY KEY (UTR))");
    const char* const masters[] = {"T_INMAS",  "T_EN1MAS", "T_EN2MAS", "T_EN3MAS",
                                   "T_EN4MAS", "T_TNIMAS", "T_TNOMAS", "T_SAAMAS",
                                   "T_GARMAS", "T_GQMAS",  "T_CRMAS",  "T_RFCMAS",
                                   "T_ARBYCA", "T_RRMAS",  "T_ACKMAS", "T_ERRMAS"};
    for (const char* m : masters)
        s.run(std::string("CREATE TABLE ") + m + " (" + common +
              "SSeqNo int NOT NULL, tifMsgFn varchar(3) NULL, tifInitRole varchar(2) NULL, "
              "DocNo varchar(20) NULL, Title varchar(60) NULL, Content nvarchar(200) NULL, "
              "Amount money NULL, CreateDate datetime NULL, PRIMARY KEY (UTR, SSeqNo))");
    const char* const details[] = {"T_GdsDtl", "T_SAADtl", "T_IRDtl",
                                   "T_ErrDtl", "T_QryDtl", "T_QryRpl"};
    for (const char* d : details)
        s.run(std::string("CREATE TABLE ") + d + " (" + common +
              "SSeqNo int NOT NULL, ItemNo int NOT NULL, GoodsName varchar(60) NULL, "
              "GoodsNameU nvarchar(60) NULL, Qty decimal(12,3) NULL, Unit varchar(6) NULL, "
              "Price money NULL, PRIMARY KEY (UTR, SSeqNo, ItemNo))");

    Connection& c = s.connection();
    Sequence rnd(950);
    c.exec("BEGIN");
    const int documents = 120;
    {
        Statement st(c,
                     "INSERT INTO T_DOCMAS (UTR, MType, ProcessorEDI, ProcessorRole, SSeqNo, "
                     "BoxType, Status, MTSeqNo, VersionNo, CanSign, UDR, DocTitle, Remark, Memo, "
                     "Amount, CreateDate) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
        const char* const statuses[] = {"A", "B", "C", "E", "OK", "NG"};
        const char* const boxes[] = {"I", "O", "S"};
        for (int n = 1; n <= documents; ++n) {
            st.reset();
            bindDocumentKey(st, rnd, n);
            st.bind(5, int64_t(n % 7 + 1));
            st.bind(6, std::string_view(rnd.pick(boxes)));
            st.bind(7, std::string_view(rnd.pick(statuses)));
            st.bind(8, int64_t(rnd.upTo(50)));
            st.bind(9, int64_t(rnd.upTo(5) + 1));
            st.bind(10, std::string_view(rnd.upTo(2) ? "Y" : "N"));
            bindText(st, 11, ref("UDR", n));
            st.bind(12, std::string_view(rnd.pick(kBig5Titles)));
            st.bind(13, std::string_view(rnd.pick(kMixedNotes)));
            if (n % 10 == 1)
                bindText(st, 14, longMemo(n));
            else
                st.bindNull(14);
            st.bindDouble(15, double(rnd.upTo(10000000)) / 100.0);
            bindText(st, 16, dateText(n, rnd.upTo(86400)));
            st.step();
        }
    }
    {
        Statement st(c, "INSERT INTO T_LSTDOC (UTR, MType, ProcessorEDI, ProcessorRole, LstSSeq, "
                        "BoxType, ReferenceNo, UCR, Note, LstDate) VALUES (?,?,?,?,?,?,?,?,?,?)");
        for (int n = 1; n <= 200; ++n) {
            st.reset();
            bindDocumentKey(st, rnd, n % documents + 1);
            st.bind(5, int64_t(n));
            st.bind(6, std::string_view(n % 2 ? "I" : "O"));
            bindText(st, 7, fmt("REF-%06d", n * 37));
            bindText(st, 8, ref("UCR", n));
            st.bind(9, std::string_view(rnd.pick(kBig5Titles)));
            bindText(st, 10, dateText(n / 2, n * 211));
            st.step();
        }
    }
    {
        Statement st(c, "INSERT INTO T_LXCHG (UTR, MType, ProcessorEDI, ProcessorRole, LstMTSeq, "
                        "LstVersion, UPR, Direction, ExchDate) VALUES (?,?,?,?,?,?,?,?,?)");
        for (int n = 1; n <= 150; ++n) {
            st.reset();
            bindDocumentKey(st, rnd, n % documents + 1);
            st.bind(5, int64_t(n));
            st.bind(6, int64_t(rnd.upTo(4) + 1));
            bindText(st, 7, ref("UPR", n));
            st.bind(8, std::string_view(n % 3 ? "S" : "R"));
            bindText(st, 9, dateText(n / 3, n * 97));
            st.step();
        }
    }
    {
        Statement st(c, "INSERT INTO T_CURSTA (UTR, MType, ProcessorEDI, ProcessorRole, "
                        "CurrState, LockQueue, LstGovNotiVerNo, UMR, UpdTime) VALUES "
                        "(?,?,?,?,?,?,?,?,?)");
        const char* const states[] = {"NEW", "SENT", "ACK", "ERR", "DONE"};
        for (int n = 1; n <= documents; ++n) {
            st.reset();
            bindDocumentKey(st, rnd, n);
            st.bind(5, std::string_view(rnd.pick(states)));
            bindText(st, 6, rnd.upTo(3) ? std::string("Q") + std::to_string(rnd.upTo(9)) : "");
            bindText(st, 7, std::to_string(rnd.upTo(6)));
            bindText(st, 8, ref("UMR", n));
            bindText(st, 9, dateText(n, n * 613));
            st.step();
        }
    }
    int table = 0;
    for (const char* m : masters) {
        Statement st(c, std::string("INSERT INTO ") + m +
                            " (UTR, MType, ProcessorEDI, ProcessorRole, SSeqNo, tifMsgFn, "
                            "tifInitRole, DocNo, Title, Content, Amount, CreateDate) VALUES "
                            "(?,?,?,?,?,?,?,?,?,?,?,?)");
        const int rows = 40 + 10 * (table++ % 5);
        for (int n = 1; n <= rows; ++n) {
            st.reset();
            bindDocumentKey(st, rnd, n, kMTypes[table - 1]);
            st.bind(5, int64_t(n % 5 + 1));
            bindText(st, 6, std::to_string(rnd.upTo(9) + 1));
            st.bind(7, std::string_view(rnd.pick(kRoles)));
            bindText(st, 8, fmt("DOC%08d", n * 13 + table));
            st.bind(9, std::string_view(rnd.pick(kBig5Titles)));
            st.bind(10, std::string_view(rnd.pick(kMixedNotes)));
            st.bindDouble(11, double(rnd.upTo(5000000)) / 100.0);
            bindText(st, 12, dateText(n, n * 333));
            st.step();
        }
    }
    const char* const goods[] = {"電腦", "茶葉", "絲綢", "瓷器", "腳踏車", "電視機", "洗衣機"};
    const char* const goodsU[] = {"電腦 / 电脑", "茶葉 / 茶叶",     "絲綢 / 丝绸",
                                  "瓷器 / 瓷器", "腳踏車 / 自行车", "電視機 / 电视机"};
    for (const char* d : details) {
        Statement st(c, std::string("INSERT INTO ") + d +
                            " (UTR, MType, ProcessorEDI, ProcessorRole, SSeqNo, ItemNo, "
                            "GoodsName, GoodsNameU, Qty, Unit, Price) VALUES "
                            "(?,?,?,?,?,?,?,?,?,?,?)");
        for (int n = 1; n <= 80; ++n) {
            st.reset();
            bindDocumentKey(st, rnd, n % 30 + 1);
            st.bind(5, int64_t(1));
            st.bind(6, int64_t(n));
            st.bind(7, std::string_view(rnd.pick(goods)));
            st.bind(8, std::string_view(rnd.pick(goodsU)));
            st.bindDouble(9, double(rnd.upTo(100000)) / 1000.0);
            st.bind(10, std::string_view(rnd.upTo(2) ? "PCS" : "KG"));
            st.bindDouble(11, double(rnd.upTo(1000000)) / 100.0);
            st.step();
        }
    }
    c.exec("COMMIT");
}

void seedGb(Databases& databases) {
    Seeder s{databases, {}, nullptr, nullptr};
    if (!s.begin("PELMAR_GB", "Chinese_PRC_CI_AS"))
        return;
    s.run("CREATE TABLE T_GOODS (GoodsID int NOT NULL PRIMARY KEY, GoodsName varchar(40) NOT "
          "NULL, Origin varchar(20) NULL, NameU nvarchar(40) NULL, Price money NULL)");
    const char* const names[] = {"电脑", "手机",   "茶叶",   "丝绸",
                                 "瓷器", "自行车", "电视机", "洗衣机"};
    const char* const places[] = {"北京", "上海", "广州", "深圳", "杭州"};
    Connection& c = s.connection();
    Sequence rnd(936);
    c.exec("BEGIN");
    Statement st(c, "INSERT INTO T_GOODS VALUES (?,?,?,?,?)");
    for (int n = 1; n <= 60; ++n) {
        st.reset();
        st.bind(1, int64_t(n));
        const char* name = rnd.pick(names);
        st.bind(2, std::string_view(name));
        st.bind(3, std::string_view(rnd.pick(places)));
        st.bind(4, std::string_view(name));
        st.bindDouble(5, double(rnd.upTo(1000000)) / 100.0);
        st.step();
    }
    c.exec("COMMIT");
}

void seedLatin(Databases& databases) {
    Seeder s{databases, {}, nullptr, nullptr};
    if (!s.begin("VELKIN_DEMO", "SQL_Latin1_General_CP1_CI_AS"))
        return;
    s.run("CREATE TABLE Customers (CustomerID int IDENTITY(1,1) NOT NULL PRIMARY KEY, "
          "Name varchar(40) NOT NULL, City varchar(30) NULL, "
          "Balance money NOT NULL DEFAULT ((0)), Created datetime NOT NULL DEFAULT getdate(), "
          "CreatedBy varchar(30) NULL DEFAULT suser_sname(), Status char(1) NOT NULL "
          "DEFAULT ('A'), Rating decimal(5,2) NULL DEFAULT (2.5), Notes text NULL, "
          "Photo image NULL, RowGuid uniqueidentifier NULL DEFAULT (newid()))");
    s.run("CREATE TABLE NoKeyLog (LoggedAt datetime NULL, Severity tinyint NULL, "
          "Message varchar(200) NULL)");
    s.run("CREATE TABLE OrderLines (OrderNo int NOT NULL, [LineNo] int NOT NULL, "
          "Product varchar(40) NOT NULL, [Unit Price] decimal(10,2) NOT NULL DEFAULT ((0)), "
          "Qty int NOT NULL DEFAULT ((1)), Shipped bit NOT NULL DEFAULT ((0)), "
          "Comment nvarchar(100) NULL DEFAULT (N'none'), "
          "CONSTRAINT PK_OrderLines PRIMARY KEY CLUSTERED (OrderNo, [LineNo]))");
    s.run("CREATE INDEX IX_OrderLines_Product ON OrderLines (Product)");
    s.run("CREATE TABLE dtproperties (id int NOT NULL, objectid int NULL, "
          "property varchar(64) NOT NULL, value varchar(255) NULL, uvalue nvarchar(255) NULL, "
          "lvalue image NULL, version int NOT NULL DEFAULT (0), "
          "CONSTRAINT pk_dtproperties PRIMARY KEY (id, property))");
    s.run("CREATE VIEW CustomerCities AS SELECT Name, City FROM Customers");
    const char* const names[] = {"Alvarez", "Berg",   "Chen", "Dubois", "Evans",    "Fischer",
                                 "Garcia",  "Hansen", "Ito",  "Jensen", "Kowalski", "Lopez"};
    const char* const cities[] = {"Lisboa", "Köln", "Zürich", "Malmö", "Paris", "Porto"};
    const char* const products[] = {"Widget", "Gadget", "Sprocket", "Flange", "Bracket"};
    Connection& c = s.connection();
    Sequence rnd(1252);
    c.exec("BEGIN");
    {
        Statement st(c, "INSERT INTO Customers (Name, City, Balance, Created, CreatedBy, Status, "
                        "Rating, Notes) VALUES (?,?,?,?,?,?,?,?)");
        for (int n = 1; n <= 30; ++n) {
            st.reset();
            st.bind(1, std::string_view(names[(n - 1) % 12]));
            st.bind(2, std::string_view(rnd.pick(cities)));
            st.bindDouble(3, double(rnd.upTo(500000)) / 100.0);
            bindText(st, 4, dateText(n, n * 1000));
            st.bind(5, std::string_view("sa"));
            st.bind(6, std::string_view(n % 5 ? "A" : "I"));
            st.bindDouble(7, double(rnd.upTo(500)) / 100.0);
            bindText(st, 8, "Customer since " + std::to_string(2000 + n % 20) + ".");
            st.step();
        }
    }
    {
        Statement st(c, "INSERT INTO OrderLines VALUES (?,?,?,?,?,?,?)");
        for (int order = 1; order <= 20; ++order) {
            for (int line = 1; line <= 1 + order % 4; ++line) {
                st.reset();
                st.bind(1, int64_t(1000 + order)).bind(2, int64_t(line));
                st.bind(3, std::string_view(rnd.pick(products)));
                st.bindDouble(4, double(rnd.upTo(100000)) / 100.0);
                st.bind(5, int64_t(rnd.upTo(20) + 1)).bind(6, int64_t(rnd.upTo(2)));
                st.bind(7, std::string_view("none"));
                st.step();
            }
        }
    }
    {
        Statement st(c, "INSERT INTO NoKeyLog VALUES (?,?,?)");
        for (int n = 1; n <= 25; ++n) {
            st.reset();
            bindText(st, 1, dateText(n / 5, n * 3600));
            st.bind(2, int64_t(n % 4));
            bindText(st, 3, "Event " + std::to_string(n) + (n % 3 ? " done" : " repeated"));
            st.step();
        }
        // The same row twice: a table without a key may hold duplicates.
        st.reset();
        bindText(st, 1, dateText(9, 0));
        st.bind(2, int64_t(1));
        st.bind(3, std::string_view("Event duplicated"));
        st.step();
        st.step();
    }
    c.exec("COMMIT");
}

/// Lifts a table's insert normalisers for a bulk load of rows already in their
/// stored forms, and puts them back afterwards.
class InsertTriggersLifted {
public:
    InsertTriggersLifted(Connection& c, const std::string& table) : c_(c) {
        Statement st(c, "SELECT name, sql FROM sqlite_master WHERE type = 'trigger' AND "
                        "tbl_name = ? AND name LIKE '__standin_insert_%'");
        st.bind(1, table);
        while (st.step())
            triggers_.emplace_back(st.columnText(0), st.columnText(1));
        for (const auto& [name, sql] : triggers_)
            c_.exec("DROP TRIGGER " + quoteIdent(name));
    }
    ~InsertTriggersLifted() {
        for (const auto& [name, sql] : triggers_) {
            try {
                c_.exec(sql);
            } catch (const SqlError&) {
            }
        }
    }

private:
    Connection& c_;
    std::vector<std::pair<std::string, std::string>> triggers_;
};

void seedBig(Databases& databases) {
    Seeder s{databases, {}, nullptr, nullptr};
    if (!s.begin("PELMAR_BIG", "SQL_Latin1_General_CP1_CI_AS"))
        return;
    s.run("CREATE TABLE T_BIG (ID int NOT NULL PRIMARY KEY, BigNum bigint NOT NULL, "
          "Code varchar(20) NOT NULL, Name nvarchar(40) NULL, Created datetime NOT NULL, "
          "Amount decimal(18,4) NOT NULL, Ratio float NULL, Flag bit NOT NULL, "
          "Qty smallint NULL, Note varchar(50) NULL)");
    Connection& c = s.connection();
    c.exec("PRAGMA synchronous=OFF");
    InsertTriggersLifted lifted(c, "T_BIG");
    c.exec("BEGIN");
    Statement st(c, "INSERT INTO T_BIG VALUES (?,?,?,?,?,?,?,?,?,?)");
    Sequence rnd(1000000);
    char code[24], name[48];
    for (int n = 1; n <= 1000000; ++n) {
        st.reset();
        const uint32_t r = rnd.next();
        std::snprintf(code, sizeof code, "C%09d", n);
        std::snprintf(name, sizeof name, "Item %d", int(r % 100000));
        st.bind(1, int64_t(n));
        st.bind(2, int64_t(n) * 1000003LL);
        st.bind(3, std::string_view(code));
        st.bind(4, std::string_view(name));
        DateTimeValue dt{int32_t(40000 + n % 3650), (r % 86400) * 300u};
        st.bind(5, formatDateTime(dt));
        st.bindDouble(6, double(r % 10000000) / 100.0);
        st.bindDouble(7, double(r % 1000) / 7.0);
        st.bind(8, int64_t(r & 1));
        st.bind(9, int64_t(r % 1000));
        if (n % 4)
            st.bind(10, std::string_view("row note"));
        else
            st.bindNull(10);
        st.step();
    }
    c.exec("COMMIT");
}

} // namespace

void seedDatabases(Databases& databases, const std::vector<std::string>& seeds) {
    for (const std::string& seed : seeds) {
        if (seed == "demo") {
            seedTtrs(databases);
            seedGb(databases);
            seedLatin(databases);
        } else if (seed == "big") {
            seedBig(databases);
        } else {
            throw std::runtime_error("unknown seed '" + seed + "'");
        }
    }
}

} // namespace standin::engine
