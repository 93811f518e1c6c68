#pragma once
// Sets environment variables for one test and puts back what was there before,
// so that locale overrides do not leak from one test case into the next.
#include <QByteArray>
#include <QList>
#include <QPair>

namespace platform::testing {

class EnvironmentGuard {
public:
    EnvironmentGuard() = default;
    EnvironmentGuard(const EnvironmentGuard&) = delete;
    EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;
    ~EnvironmentGuard() {
        for (auto it = saved_.crbegin(); it != saved_.crend(); ++it) {
            if (it->second.isNull())
                qunsetenv(it->first.constData());
            else
                qputenv(it->first.constData(), it->second);
        }
    }

    /// Sets `name` to `value`; a null value unsets it.
    void set(const char* name, const QByteArray& value) {
        saved_.append({name, qgetenv(name)});
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }

private:
    QList<QPair<QByteArray, QByteArray>> saved_;
};

} // namespace platform::testing
