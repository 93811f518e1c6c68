#pragma once
// A loopback listener that accepts connections and never says a word: the
// server that a login waits on until its time-out or its cancel.

namespace standin {

class SilentListener {
public:
    /// Listens on 127.0.0.1, a free port; throws std::runtime_error when it cannot.
    SilentListener();
    ~SilentListener();
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;

    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

} // namespace standin
