// standin_drain: how fast the stand-in serves a large result.
//
// Starts the stand-in with the "big" seed and reads every row of
// PELMAR_BIG.dbo.T_BIG twice: (a) with a bare TDS client that logs in and only
// drains the reply packets, the baseline; (b) through unixODBC and the FreeTDS
// driver with SQLFetch and SQLGetData on every column. Prints
// drain_rows_per_second, odbc_rows_per_second and, last, ratio_odbc_to_drain.
#include "standin/launcher/StandinProcess.h"
#include "standin/tds/Login7.h"
#include "standin/tds/Packet.h"
#include "standin/tds/Request.h"
#include "standin/tds/Socket.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <sql.h>
#include <sqlext.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char16_t* kQuery = u"SELECT * FROM PELMAR_BIG.dbo.T_BIG";
using Clock = std::chrono::steady_clock;

/// A minimal TDS client: just enough to log in, send a batch and drain the reply.
class RawClient {
public:
    explicit RawClient(int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        ::inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
        int receiveBuffer = 4 << 20;
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            throw std::runtime_error("cannot connect to the stand-in");
        // PRELOGIN: VERSION and ENCRYPTION (not supported), then the terminator.
        send(0x12, {0x00, 0x00, 0x0B, 0x00, 0x06, 0x01, 0x00, 0x11, 0x00, 0x01, 0xFF, 0x0B, 0x00,
                    0x00, 0x00, 0x00, 0x00, 0x02});
        drain(false);
        standin::tds::Login7 login;
        login.userName = u"sa";
        login.password = u"velkin";
        login.database = u"master";
        login.packetSize = 32767;
        send(0x10, standin::tds::buildLogin7(login));
        if (drain().status & 0x02)
            throw std::runtime_error("login refused");
    }
    ~RawClient() { ::close(fd_); }

    struct Done {
        uint16_t status = 0;
        uint64_t rows = 0;
    };

    /// Sends a batch and reads its reply; returns the final DONE.
    Done query(std::u16string_view sql) {
        send(0x01, standin::tds::buildSqlBatch(sql));
        return drain();
    }

private:
    void send(uint8_t type, const std::vector<uint8_t>& payload) {
        const size_t length = payload.size() + 8;
        std::vector<uint8_t> packet = {
            type, 0x01, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length), 0, 0,
            1,    0};
        packet.insert(packet.end(), payload.begin(), payload.end());
        standin::tds::SocketSink(fd_).send(packet.data(), packet.size());
    }

    void readExactly(uint8_t* data, size_t size) {
        while (size > 0) {
            const ssize_t n = ::recv(fd_, data, size, 0);
            if (n <= 0)
                throw std::runtime_error("connection closed");
            data += n;
            size -= static_cast<size_t>(n);
        }
    }

    /// Reads packets up to the end of the message, keeping only its last 13
    /// bytes: the final DONE token.
    Done drain(bool endsWithDone = true) {
        uint8_t tail[13] = {};
        size_t tailFill = 0;
        for (;;) {
            uint8_t header[8];
            readExactly(header, 8);
            const size_t length = size_t{header[2]} << 8 | header[3];
            if (length < 8)
                throw std::runtime_error("bad packet");
            buffer_.resize(length - 8);
            readExactly(buffer_.data(), buffer_.size());
            for (uint8_t b : std::span(buffer_).last(std::min<size_t>(13, buffer_.size()))) {
                std::memmove(tail, tail + 1, 12);
                tail[12] = b;
                ++tailFill;
            }
            if (header[1] & 0x01)
                break;
        }
        Done done;
        if (!endsWithDone)
            return done;
        if (tailFill < 13 || tail[0] != 0xFD)
            throw std::runtime_error("reply does not end with DONE");
        done.status = static_cast<uint16_t>(tail[1] | tail[2] << 8);
        for (int i = 7; i >= 0; --i)
            done.rows = done.rows << 8 | tail[5 + i];
        return done;
    }

    int fd_ = -1;
    std::vector<uint8_t> buffer_;
};

double drainRowsPerSecond(int port, uint64_t& rows) {
    RawClient client(port);
    const auto start = Clock::now();
    const auto done = client.query(kQuery);
    const std::chrono::duration<double> seconds = Clock::now() - start;
    if (done.status & 0x02)
        throw std::runtime_error("the query failed");
    rows = done.rows;
    std::printf("drain_rows: %llu\n", static_cast<unsigned long long>(rows));
    std::printf("drain_seconds: %.3f\n", seconds.count());
    return static_cast<double>(rows) / seconds.count();
}

void check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle, const char* what) {
    if (SQL_SUCCEEDED(rc))
        return;
    SQLCHAR state[6] = {};
    SQLCHAR text[512] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLGetDiagRec(type, handle, 1, state, &native, text, sizeof text, &length);
    throw std::runtime_error(std::string(what) + ": " + reinterpret_cast<char*>(text));
}

double odbcRowsPerSecond(int port, uint64_t expectedRows) {
    SQLHENV env;
    SQLHDBC dbc;
    SQLHSTMT stmt;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    const std::string connection =
        "DRIVER={FreeTDS};SERVER=127.0.0.1;PORT=" + std::to_string(port) +
        ";DATABASE=master;UID=sa;PWD=velkin;TDS_Version=7.4;"
        "ClientCharset=UTF-8";
    check(SQLDriverConnect(dbc, nullptr,
                           reinterpret_cast<SQLCHAR*>(const_cast<char*>(connection.c_str())),
                           SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT),
          SQL_HANDLE_DBC, dbc, "connect");
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
    const auto start = Clock::now();
    const std::string sql = "SELECT * FROM PELMAR_BIG.dbo.T_BIG";
    check(SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS),
          SQL_HANDLE_STMT, stmt, "execute");
    SQLSMALLINT columns = 0;
    SQLNumResultCols(stmt, &columns);
    uint64_t rows = 0;
    char cell[512];
    SQLLEN indicator;
    while (SQL_SUCCEEDED(SQLFetch(stmt))) {
        for (SQLUSMALLINT c = 1; c <= columns; ++c)
            SQLGetData(stmt, c, SQL_C_CHAR, cell, sizeof cell, &indicator);
        ++rows;
    }
    const std::chrono::duration<double> seconds = Clock::now() - start;
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    if (rows != expectedRows)
        throw std::runtime_error("ODBC read " + std::to_string(rows) + " rows, expected " +
                                 std::to_string(expectedRows));
    std::printf("odbc_seconds: %.3f\n", seconds.count());
    return static_cast<double>(rows) / seconds.count();
}

} // namespace

int main() {
    try {
        standin::StandinProcess server({"--seed", "big"}, std::chrono::seconds(300));
        uint64_t rows = 0;
        const double drain = drainRowsPerSecond(server.port(), rows);
        std::printf("drain_rows_per_second: %.0f\n", drain);
        std::fflush(stdout);
        const double odbc = odbcRowsPerSecond(server.port(), rows);
        std::printf("odbc_rows_per_second: %.0f\n", odbc);
        std::printf("ratio_odbc_to_drain: %.3f\n", odbc / drain);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "standin_drain: %s\n", e.what());
        return 1;
    }
    return 0;
}
