#include "standin/launcher/StandinProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace standin {

namespace {

std::string programPath() {
    if (const char* env = std::getenv("VELKIN_STANDIN"); env && *env)
        return env;
    return VELKIN_STANDIN_DEFAULT_PATH;
}

// Reads the child's standard output until one full line has arrived or the wait runs out.
std::string readFirstLine(int fd, std::chrono::seconds wait) {
    std::string line;
    auto deadline = std::chrono::steady_clock::now() + wait;
    while (true) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            throw std::runtime_error("stand-in did not report its port in time");
        pollfd p{fd, POLLIN, 0};
        int r = ::poll(&p, 1, static_cast<int>(left.count()));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            continue;
        char c;
        ssize_t n = ::read(fd, &c, 1);
        if (n <= 0)
            throw std::runtime_error("stand-in exited before it was listening: " + line);
        if (c == '\n')
            return line;
        line += c;
    }
}

} // namespace

StandinProcess::StandinProcess(std::vector<std::string> extraArgs, std::chrono::seconds wait) {
    int fds[2];
    if (::pipe(fds) != 0)
        throw std::runtime_error("pipe failed");

    // A test that dies without running destructors must not leave its server behind.
    std::vector<std::string> args{programPath(), "--port", "0", "--exit-with-parent",
                                  std::to_string(::getpid())};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        pid_ = -1;
        throw std::runtime_error("cannot start " + args[0] + ": " + std::strerror(rc));
    }

    std::string line;
    try {
        line = readFirstLine(fds[0], wait);
    } catch (...) {
        ::close(fds[0]);
        stop();
        throw;
    }
    // The server's later output goes nowhere; it must never block on a full pipe,
    // so it is expected to print only the one line on standard output.
    ::close(fds[0]);

    const std::string prefix = "listening on ";
    auto colon = line.rfind(':');
    if (line.rfind(prefix, 0) != 0 || colon == std::string::npos) {
        stop();
        throw std::runtime_error("unexpected first line from stand-in: " + line);
    }
    host_ = line.substr(prefix.size(), colon - prefix.size());
    port_ = std::atoi(line.c_str() + colon + 1);
}

StandinProcess::~StandinProcess() {
    stop();
}

std::string StandinProcess::dataSource() const {
    return host_ + "," + std::to_string(port_);
}

void StandinProcess::stop() {
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        int status;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        ::usleep(50 * 1000);
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

} // namespace standin
