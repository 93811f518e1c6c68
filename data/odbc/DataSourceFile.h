#pragma once
// odbc::TemporaryDataSource: a data source that exists for one login. Some
// values cannot travel in a driver connection string exactly (this driver reads a
// braced value only up to its first "};"); SQLConnect takes the login and the
// password as arguments of their own, but needs a named data source for the rest.
//
// The sections live in a private odbc.ini of this process: on first use ODBCINI is
// pointed at it, with the data sources of the user's own file copied in so they
// keep working. Each data source has a new name, because the driver manager keeps
// what it read of a section for a while.
#include "platform/Strings.h"

#include <string>
#include <utility>
#include <vector>

namespace odbc {

using platform::WideString;

class TemporaryDataSource {
public:
    /// Writes a section for `driver` holding `attributes` (key, value; values on
    /// one line, no blanks at their ends: anything else throws odbc::Error).
    TemporaryDataSource(const std::string& driver,
                        const std::vector<std::pair<std::string, std::string>>& attributes);
    /// Removes the section.
    ~TemporaryDataSource();
    TemporaryDataSource(const TemporaryDataSource&) = delete;
    TemporaryDataSource& operator=(const TemporaryDataSource&) = delete;

    /// The data source name to give SQLConnect.
    const WideString& name() const { return name_; }

private:
    std::string section_;
    WideString name_;
};

} // namespace odbc
