#pragma once
// One client connection: the TDS conversation from PRELOGIN to disconnect.
//
// Two threads serve a connection. The reader thread only reassembles incoming
// messages and queues them; it marks an ATTENTION the moment it arrives, so the
// engine sees ResultSink::cancelled() turn true while a batch is still running.
// The serving thread (the one that calls run()) takes messages in order, runs
// them on the engine and writes the replies; it is the only writer. Every
// ATTENTION is answered with exactly one DONE carrying the attention bit, after
// whatever the interrupted request had already written.
//
// A protocol fault ends this connection only: it is logged to stderr and the
// socket is closed; nothing else in the process is touched.
#include "standin/engine/EngineApi.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

namespace standin::tds {

struct Message;
class PacketWriter;
class TokenWriter;

class Connection {
public:
    /// Takes ownership of the connected socket `fd`.
    Connection(int fd, Engine& engine, uint32_t id);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    /// Serves the client until it disconnects, breaks the protocol or stop() is called.
    void run();
    /// Asks a running connection to end: cancels the current request and wakes the reader.
    void stop();
    /// True once run() has returned.
    bool finished() const { return finished_.load(); }

private:
    class ReplySink;
    friend class ReplySink;

    void readLoop();
    std::unique_ptr<Message> nextMessage();
    bool handle(Message& message);
    void prelogin(const Message& message);
    bool login(const Message& message);
    void sqlBatch(const Message& message);
    void rpc(const Message& message);
    void transaction(const Message& message);
    void acknowledgeAttention();
    void reportTransactionChange(bool wasInTransaction, ReplySink& sink);
    void log(const std::string& text) const;

    int fd_;
    Engine& engine_;
    uint32_t id_;
    std::unique_ptr<Session> session_;
    std::unique_ptr<PacketWriter> writer_;
    std::unique_ptr<TokenWriter> tokens_;
    uint64_t transactionDescriptor_ = 0;
    uint64_t nextDescriptor_ = 1;
    bool preloginDone_ = false;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::unique_ptr<Message>> queue_;
    bool readerDone_ = false;
    std::atomic<int> attentions_{0};
    std::atomic<bool> stopping_{false};
    std::atomic<bool> finished_{false};
};

} // namespace standin::tds
