#pragma once
// Small scope guards and the error text shared by the window's handlers: the
// hourglass is taken down and a scratch dataset closed however a handler ends.
#include "app/AnsiText.h"
#include "data/db/DataSet.h"
#include "data/odbc/Error.h"
#include "platform/Dialogs.h"

#include <QString>
#include <exception>

/// An error's text for the operator; the driver's text as it came, without a
/// detour through the ANSI code page.
inline QString ErrorText(const std::exception& error) {
    if (auto* odbcError = dynamic_cast<const odbc::Error*>(&error))
        return QString::fromStdU16String(odbcError->wideMessage());
    return AnsiToQString(error.what());
}

/// Hourglass while the scope lasts; the arrow again when it ends, however it ends.
class HourglassScope {
public:
    HourglassScope() { platform::dialogs().setHourglassCursor(); }
    ~HourglassScope() { platform::dialogs().setArrowCursor(); }
    HourglassScope(const HourglassScope&) = delete;
    HourglassScope& operator=(const HourglassScope&) = delete;
};

/// Closes the dataset when the scope ends, also when reading it failed.
class CloseOnExit {
public:
    explicit CloseOnExit(db::TDataSet& dataSet) : dataSet_(dataSet) {}
    ~CloseOnExit() {
        try {
            dataSet_.Close();
        } catch (...) {
            // Closing a read-only dataset drops its rows; nothing to report.
        }
    }
    CloseOnExit(const CloseOnExit&) = delete;
    CloseOnExit& operator=(const CloseOnExit&) = delete;

private:
    db::TDataSet& dataSet_;
};
