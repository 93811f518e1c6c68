// velkin-standin: a SQL Server stand-in speaking TDS 7.4 on loopback, keeping
// its data in SQLite.
//
// Prints exactly one line "listening on HOST:PORT" on standard output once it
// accepts connections; everything else goes to standard error. SIGINT and
// SIGTERM stop it cleanly (exit status 0).
#include "standin/engine/EngineApi.h"
#include "standin/server/Server.h"
#include "standin/tds/Utf.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fcntl.h>
#include <string>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

int stopPipe[2] = {-1, -1};

extern "C" void onStopSignal(int) {
    const char byte = 1;
    [[maybe_unused]] auto ignored = ::write(stopPipe[1], &byte, 1);
}

struct Options {
    std::string host = "127.0.0.1";
    long port = -1;
    standin::EngineOptions engine;
    long parentPid = 0; ///< stop when this process ends (tests that crash leave no server)
};

[[noreturn]] void usage(const std::string& problem) {
    std::fprintf(stderr,
                 "velkin-standin: %s\nusage: velkin-standin --port N [--host 127.0.0.1] "
                 "[--data DIR] [--seed demo|big]... [--user NAME] [--password PW] "
                 "[--exit-with-parent PID] [--no-browse-info]\n",
                 problem.c_str());
    std::exit(2);
}

Options parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--no-browse-info") {
            options.engine.browseInformation = false;
            continue;
        }
        if (i + 1 >= argc)
            usage("option " + name + " needs a value");
        const std::string value = argv[++i];
        if (name == "--port") {
            char* end = nullptr;
            options.port = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || options.port < 0 || options.port > 65535)
                usage("bad port '" + value + "'");
        } else if (name == "--host") {
            options.host = value;
        } else if (name == "--data") {
            options.engine.dataDir = value;
        } else if (name == "--seed") {
            if (value != "demo" && value != "big")
                usage("unknown seed '" + value + "'");
            options.engine.seeds.push_back(value);
        } else if (name == "--exit-with-parent") {
            char* end = nullptr;
            options.parentPid = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || options.parentPid <= 0)
                usage("bad parent process id '" + value + "'");
        } else if (name == "--user") {
            options.engine.user = standin::tds::fromUtf8(value);
        } else if (name == "--password") {
            options.engine.password = standin::tds::fromUtf8(value);
        } else {
            usage("unknown option " + name);
        }
    }
    if (options.port < 0)
        usage("--port is required");
    return options;
}

} // namespace

int main(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);
    std::signal(SIGPIPE, SIG_IGN);
    if (::pipe2(stopPipe, O_CLOEXEC) != 0) {
        std::perror("velkin-standin: pipe");
        return 1;
    }
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    ::sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    if (options.parentPid > 0) {
        // The parent may have ended before the request took hold; then stop at once.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != static_cast<pid_t>(options.parentPid))
            return 0;
    }
    try {
        auto engine = standin::createEngine(options.engine);
        standin::server::Server server(*engine, options.host, static_cast<uint16_t>(options.port));
        std::fprintf(stdout, "listening on %s\n", server.address().c_str());
        std::fflush(stdout);
        server.run(stopPipe[0]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velkin-standin: %s\n", e.what());
        return 1;
    }
    return 0;
}
