#include "data/odbc/DataSourceFile.h"

#include "data/odbc/Error.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <unistd.h>

namespace odbc {

namespace {

namespace fs = std::filesystem;

/// The private odbc.ini and the sections written into it.
class PrivateIniFile {
public:
    static PrivateIniFile& instance() {
        static PrivateIniFile file;
        return file;
    }

    std::string add(const std::string& body) {
        std::lock_guard lock(mutex_);
        prepare();
        const std::string name =
            "VELKIN_LOGIN_" + std::to_string(::getpid()) + "_" + std::to_string(++counter_);
        sections_[name] = body;
        write();
        return name;
    }

    void remove(const std::string& name) {
        std::lock_guard lock(mutex_);
        sections_.erase(name);
        write();
    }

    ~PrivateIniFile() {
        std::error_code ignored;
        if (!folder_.empty())
            fs::remove_all(folder_, ignored);
    }

private:
    /// Makes the file and points the driver manager at it, once.
    void prepare() {
        if (!folder_.empty())
            return;
        fs::path own;
        if (const char* set = std::getenv("ODBCINI"); set && *set)
            own = set;
        else if (const char* home = std::getenv("HOME"); home && *home)
            own = fs::path(home) / ".odbc.ini";
        if (!own.empty()) {
            std::ifstream in(own, std::ios::binary);
            std::ostringstream text;
            text << in.rdbuf();
            userText_ = text.str();
            if (!userText_.empty() && userText_.back() != '\n')
                userText_ += '\n';
        }
        std::string pattern = (fs::temp_directory_path() / "velkin-odbc-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw Error("HY000", u"Cannot make a folder for a temporary data source.");
        folder_ = pattern;
        path_ = folder_ / "odbc.ini";
        write();
        ::setenv("ODBCINI", path_.c_str(), 1);
    }

    void write() {
        if (path_.empty())
            return;
        const fs::path next = path_.string() + ".new";
        {
            std::ofstream out(next, std::ios::binary | std::ios::trunc);
            out << userText_;
            for (const auto& [name, body] : sections_)
                out << "\n[" << name << "]\n" << body;
            if (!out)
                throw Error("HY000", u"Cannot write a temporary data source.");
        }
        fs::permissions(next, fs::perms::owner_read | fs::perms::owner_write);
        fs::rename(next, path_);
    }

    std::mutex mutex_;
    fs::path folder_, path_;
    std::string userText_;
    std::map<std::string, std::string> sections_;
    unsigned counter_ = 0;
};

bool fitsOnOneLine(const std::string& value) {
    if (value.find_first_of("\r\n") != std::string::npos)
        return false;
    return value.empty() || (value.front() != ' ' && value.front() != '\t' && value.back() != ' ' &&
                             value.back() != '\t');
}

} // namespace

TemporaryDataSource::TemporaryDataSource(
    const std::string& driver, const std::vector<std::pair<std::string, std::string>>& attributes) {
    std::string body = "Driver = " + driver + "\n";
    for (const auto& [key, value] : attributes) {
        if (!fitsOnOneLine(value))
            throw Error("HY000", u"The value of " + WideString(key.begin(), key.end()) +
                                     u" cannot be written into a data source.");
        body += key + " = " + value + "\n";
    }
    section_ = PrivateIniFile::instance().add(body);
    name_.assign(section_.begin(), section_.end());
}

TemporaryDataSource::~TemporaryDataSource() {
    try {
        PrivateIniFile::instance().remove(section_);
    } catch (...) {
        // The section stays behind in a file that goes with the process.
    }
}

} // namespace odbc
