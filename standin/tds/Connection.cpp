#include "standin/tds/Connection.h"

#include "standin/tds/ByteReader.h"
#include "standin/tds/Login7.h"
#include "standin/tds/Packet.h"
#include "standin/tds/Prelogin.h"
#include "standin/tds/Request.h"
#include "standin/tds/Socket.h"
#include "standin/tds/TokenWriter.h"
#include "standin/tds/TypeInfo.h"
#include "standin/tds/Utf.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace standin::tds {

namespace {

constexpr uint32_t kTds74 = 0x74000004;
constexpr uint16_t kCmdSelect = 0xC1;
// Requests queued ahead of the one being served; beyond this the reader waits,
// so a client that floods requests cannot grow the queue without bound.
constexpr size_t kQueueLimit = 8;

/// A transaction descriptor as ENVCHANGE carries it: 8 bytes, little-endian.
std::array<uint8_t, 8> descriptorBytes(uint64_t descriptor) {
    std::array<uint8_t, 8> bytes;
    for (size_t i = 0; i < 8; ++i)
        bytes[i] = static_cast<uint8_t>(descriptor >> (8 * i));
    return bytes;
}

ServerMessage serverMessage(int32_t number, uint8_t severity, std::u16string text) {
    ServerMessage m;
    m.number = number;
    m.severity = severity;
    m.text = std::move(text);
    return m;
}

/// What the engine reports while it checks a login.
class LoginSink : public ResultSink {
public:
    void resultBegin(const ResultMeta&) override {}
    void row(std::span<const Value>) override {}
    void statementDone(std::optional<int64_t>, bool) override {}
    void message(const ServerMessage& msg) override { messages.push_back(msg); }
    void databaseChanged(const std::u16string& oldName, const std::u16string& newName,
                         const Collation& c) override {
        oldDatabase = oldName;
        database = newName;
        collation = c;
        databaseReported = true;
    }
    void returnStatus(int32_t) override {}
    bool cancelled() const override { return false; }

    std::vector<ServerMessage> messages;
    std::u16string oldDatabase;
    std::u16string database;
    Collation collation;
    bool databaseReported = false;
};

} // namespace

/// Turns the engine's reports into tokens for one request (a batch or the
/// calls of one RPC message). The DONE of a statement is held back until the
/// next token shows whether more follows, so only the last one lacks the MORE bit.
class Connection::ReplySink : public ResultSink {
public:
    ReplySink(Connection& connection, bool inRpc)
        : c_(connection), tokens_(*connection.tokens_), inRpc_(inRpc) {}

    void resultBegin(const ResultMeta& meta) override {
        flush();
        tokens_.columnMetadata(meta);
        hadResult_ = true;
    }
    void row(std::span<const Value> values) override {
        // After an ATTENTION the client discards everything up to the
        // acknowledgement, so rows still pushed by the engine are not sent.
        if (cancelledFlag())
            return;
        tokens_.row(values);
    }
    void statementDone(std::optional<int64_t> rowCount, bool error) override {
        flush();
        uint16_t status = 0;
        if (rowCount)
            status |= DoneCount;
        if (error) {
            status |= DoneError;
            anyError_ = true;
        }
        pending_ = Pending{status, hadResult_ ? kCmdSelect : uint16_t{0},
                           rowCount ? static_cast<uint64_t>(*rowCount) : 0};
        hadResult_ = false;
    }
    void message(const ServerMessage& msg) override {
        flush();
        tokens_.message(msg);
        if (msg.isError())
            anyError_ = true;
    }
    void databaseChanged(const std::u16string& oldName, const std::u16string& newName,
                         const Collation& collation) override {
        flush();
        tokens_.envChange(EnvDatabase, newName, oldName);
        tokens_.collationChange(collation);
    }
    void returnStatus(int32_t status) override {
        flush();
        tokens_.returnStatus(status);
    }
    bool cancelled() const override { return cancelledFlag(); }

    /// Writes the held-back DONE, with MORE when anything follows.
    void flush(bool more = true) {
        if (!pending_)
            return;
        const uint16_t status = pending_->status | (more ? DoneMore : 0);
        tokens_.done(inRpc_ ? TokenDoneInProc : TokenDone, status, pending_->curCmd,
                     pending_->rowCount);
        pending_.reset();
    }
    /// Ends a batch: its last DONE is final.
    void finishBatch() {
        if (pending_) {
            flush(false);
            return;
        }
        tokens_.done(TokenDone, anyError_ ? DoneError : DoneFinal, 0, 0);
    }
    /// Ends one RPC call with RETURNVALUE tokens for its output parameters and DONEPROC.
    void finishCall(const std::vector<Param>& params, bool more) {
        flush(true);
        for (size_t i = 0; i < params.size(); ++i)
            if (params[i].output)
                tokens_.returnValue(static_cast<uint16_t>(i), params[i]);
        tokens_.done(TokenDoneProc,
                     static_cast<uint16_t>((anyError_ ? DoneError : 0) | (more ? DoneMore : 0)), 0,
                     0);
        anyError_ = false;
    }
    void fail(const std::u16string& text) {
        message(serverMessage(50000, 16, text));
        anyError_ = true;
    }

private:
    struct Pending {
        uint16_t status;
        uint16_t curCmd;
        uint64_t rowCount;
    };
    bool cancelledFlag() const {
        return c_.attentions_.load(std::memory_order_relaxed) > 0 ||
               c_.stopping_.load(std::memory_order_relaxed);
    }

    Connection& c_;
    TokenWriter& tokens_;
    bool inRpc_;
    bool hadResult_ = false;
    bool anyError_ = false;
    std::optional<Pending> pending_;
};

Connection::Connection(int fd, Engine& engine, uint32_t id) : fd_(fd), engine_(engine), id_(id) {}

Connection::~Connection() {
    if (fd_ >= 0)
        ::close(fd_);
}

void Connection::log(const std::string& text) const {
    std::fprintf(stderr, "velkin-standin: connection %u: %s\n", id_, text.c_str());
}

void Connection::stop() {
    stopping_ = true;
    ::shutdown(fd_, SHUT_RD);
    changed_.notify_all();
}

void Connection::readLoop() {
    SocketSource source(fd_);
    MessageReader reader(source);
    try {
        while (auto message = reader.read()) {
            std::unique_lock lock(mutex_);
            if (message->type == static_cast<uint8_t>(PacketType::Attention))
                attentions_.fetch_add(1);
            else
                changed_.wait(lock, [&] { return queue_.size() < kQueueLimit || stopping_; });
            if (stopping_)
                break;
            queue_.push_back(std::make_unique<Message>(std::move(*message)));
            changed_.notify_all();
        }
    } catch (const std::exception& e) {
        if (!stopping_)
            log(std::string("closing: ") + e.what());
        // The serving thread may be writing a long result; stop it promptly.
        stopping_ = true;
        ::shutdown(fd_, SHUT_RDWR);
    }
    std::lock_guard lock(mutex_);
    readerDone_ = true;
    changed_.notify_all();
}

std::unique_ptr<Message> Connection::nextMessage() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !queue_.empty() || readerDone_ || stopping_; });
    if (queue_.empty() || stopping_)
        return nullptr;
    auto message = std::move(queue_.front());
    queue_.pop_front();
    changed_.notify_all();
    return message;
}

void Connection::run() {
    SocketSink sink(fd_);
    writer_ = std::make_unique<PacketWriter>(sink);
    tokens_ = std::make_unique<TokenWriter>(*writer_);
    std::thread reader([this] { readLoop(); });
    try {
        while (auto message = nextMessage()) {
            if (!handle(*message))
                break;
        }
    } catch (const ProtocolError& e) {
        log(std::string("closing: ") + e.what());
    } catch (const std::exception& e) {
        if (!stopping_)
            log(std::string("closing: ") + e.what());
    }
    stopping_ = true;
    ::shutdown(fd_, SHUT_RDWR);
    changed_.notify_all();
    reader.join();
    session_.reset();
    finished_ = true;
}

bool Connection::handle(Message& message) {
    const auto type = static_cast<PacketType>(message.type);
    if (type == PacketType::Attention) {
        acknowledgeAttention();
        return true;
    }
    if (!session_) {
        if (type == PacketType::Prelogin && !preloginDone_) {
            prelogin(message);
            return true;
        }
        if (type == PacketType::Login7)
            return login(message);
        throw ProtocolError("request before login (packet type " + std::to_string(message.type) +
                            ")");
    }
    switch (type) {
    case PacketType::SqlBatch:
        sqlBatch(message);
        return true;
    case PacketType::Rpc:
        rpc(message);
        return true;
    case PacketType::TransManager:
        transaction(message);
        return true;
    default:
        throw ProtocolError("unexpected packet type " + std::to_string(message.type));
    }
}

void Connection::acknowledgeAttention() {
    tokens_->done(TokenDone, DoneAttention, 0, 0);
    writer_->endMessage();
    attentions_.fetch_sub(1);
}

void Connection::prelogin(const Message& message) {
    parsePrelogin(message.payload);
    const auto reply = buildPreloginReply(id_);
    writer_->put(reply.data(), reply.size());
    writer_->endMessage();
    preloginDone_ = true;
}

bool Connection::login(const Message& message) {
    const Login7 request = parseLogin7(message.payload);
    LoginSink result;
    std::string failure;
    try {
        session_ = engine_.login(request.userName, request.password, request.database, result);
    } catch (const std::exception& e) {
        failure = e.what();
        session_.reset();
    }
    if (!session_) {
        log("login refused for '" + toUtf8(request.userName) + "'" +
            (failure.empty() ? "" : ": " + failure));
        bool reported = false;
        for (const auto& msg : result.messages) {
            tokens_->message(msg);
            reported |= msg.isError();
        }
        if (!reported) {
            auto refusal =
                serverMessage(18456, 14, u"Login failed for user '" + request.userName + u"'.");
            tokens_->message(refusal);
        }
        tokens_->done(TokenDone, DoneError, 0, 0);
        writer_->endMessage();
        return false;
    }

    const std::u16string database =
        result.databaseReported ? result.database : session_->currentDatabase();
    const Collation collation =
        result.databaseReported ? result.collation : session_->currentCollation();
    tokens_->envChange(EnvDatabase, database, result.oldDatabase);
    bool contextReported = false;
    for (const auto& msg : result.messages) {
        tokens_->message(msg);
        contextReported |= msg.number == 5701;
    }
    if (!contextReported)
        tokens_->message(
            serverMessage(5701, 0, u"Changed database context to '" + database + u"'."));
    tokens_->collationChange(collation);
    tokens_->envChange(EnvLanguage, u"us_english", u"");
    tokens_->message(serverMessage(5703, 0, u"Changed language setting to us_english."));
    tokens_->loginAck(kTds74, u"VELKIN");
    const size_t packetSize =
        request.packetSize == 0
            ? kDefaultPacketSize
            : std::clamp<size_t>(request.packetSize, kMinPacketSize, kMaxPacketSize);
    tokens_->envChange(EnvPacketSize, fromUtf8(std::to_string(packetSize)),
                       fromUtf8(std::to_string(writer_->packetSize())));
    tokens_->done(TokenDone, DoneFinal, 0, 0);
    writer_->endMessage();
    writer_->setPacketSize(packetSize);
    return true;
}

void Connection::reportTransactionChange(bool wasInTransaction, ReplySink& sink) {
    const bool now = session_->inTransaction();
    if (now == wasInTransaction)
        return;
    sink.flush(true);
    if (now) {
        transactionDescriptor_ = nextDescriptor_++;
        tokens_->envChangeBytes(EnvBeginTransaction, descriptorBytes(transactionDescriptor_), {});
    } else {
        tokens_->envChangeBytes(EnvCommitTransaction, {}, descriptorBytes(transactionDescriptor_));
        transactionDescriptor_ = 0;
    }
}

void Connection::sqlBatch(const Message& message) {
    const std::u16string sql = parseSqlBatch(message.payload);
    ReplySink sink(*this, false);
    const bool wasInTransaction = session_->inTransaction();
    try {
        engine_.executeBatch(*session_, sql, sink);
    } catch (const std::exception& e) {
        sink.fail(fromUtf8(e.what()));
    }
    reportTransactionChange(wasInTransaction, sink);
    sink.finishBatch();
    writer_->endMessage();
}

void Connection::rpc(const Message& message) {
    ReplySink sink(*this, true);
    std::vector<RpcCall> calls;
    try {
        calls = parseRpc(message.payload);
    } catch (const UnsupportedType& e) {
        sink.fail(fromUtf8(e.what()));
        sink.finishCall({}, false);
        writer_->endMessage();
        return;
    }
    const bool wasInTransaction = session_->inTransaction();
    for (size_t i = 0; i < calls.size(); ++i) {
        RpcCall& call = calls[i];
        const bool cursorCall = call.procId >= 1 && call.procId <= 9;
        if (cursorCall || call.procedure.empty()) {
            const std::u16string name = call.procedure.empty()
                                            ? fromUtf8("#" + std::to_string(call.procId))
                                            : call.procedure;
            sink.message(
                serverMessage(2812, 16, u"Could not find stored procedure '" + name + u"'."));
        } else {
            try {
                engine_.executeRpc(*session_, call.procedure, call.params, sink);
            } catch (const std::exception& e) {
                sink.fail(fromUtf8(e.what()));
            }
        }
        if (i + 1 == calls.size())
            reportTransactionChange(wasInTransaction, sink);
        sink.finishCall(call.params, i + 1 < calls.size());
    }
    writer_->endMessage();
}

void Connection::transaction(const Message& message) {
    ReplySink sink(*this, false);
    const auto request = parseTransactionRequest(message.payload);
    auto begin = [&] {
        const uint64_t d = engine_.beginTransaction(*session_);
        transactionDescriptor_ = d != 0 ? d : nextDescriptor_++;
        tokens_->envChangeBytes(EnvBeginTransaction, descriptorBytes(transactionDescriptor_), {});
    };
    try {
        switch (request.kind) {
        case TransactionKind::Begin:
            begin();
            break;
        case TransactionKind::Commit:
        case TransactionKind::Rollback: {
            const bool commit = request.kind == TransactionKind::Commit;
            if (commit)
                engine_.commitTransaction(*session_, sink);
            else
                engine_.rollbackTransaction(*session_, sink);
            sink.flush(true);
            if (transactionDescriptor_ != 0) {
                tokens_->envChangeBytes(commit ? EnvCommitTransaction : EnvRollbackTransaction, {},
                                        descriptorBytes(transactionDescriptor_));
                transactionDescriptor_ = 0;
            }
            if (request.beginNext)
                begin();
            break;
        }
        case TransactionKind::Other:
            sink.fail(u"The transaction manager request is not supported.");
            break;
        }
    } catch (const std::exception& e) {
        sink.fail(fromUtf8(e.what()));
    }
    sink.finishBatch();
    writer_->endMessage();
}

} // namespace standin::tds
