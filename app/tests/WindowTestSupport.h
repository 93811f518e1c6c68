#pragma once
// Shared by the window tests: product settings written into a temporary folder
// (the registry file that VELKIN_REGISTRY points at, and NOVIXSYS.INI), and
// finding a control of the window by its name.
#include "app/DBSettings.h"
#include "app/tools/DemoSettingsWriter.h"

#include <QTemporaryDir>
#include <QWidget>
#include <optional>

class SettingsFixture {
public:
    SettingsFixture() { qputenv("VELKIN_REGISTRY", registryFile().toLocal8Bit()); }
    ~SettingsFixture() { qunsetenv("VELKIN_REGISTRY"); }

    QString folder() const { return dir_.path(); }
    QString registryFile() const { return dir_.filePath("HKEY_LOCAL_MACHINE.reg"); }

    /// The product key with ServerPath = `serverPath` (none: no value at all).
    void writeRegistry(const std::optional<QString>& serverPath) const {
        std::optional<platform::AnsiString> value;
        if (serverPath)
            value = serverPath->toStdString();
        demosettings::WriteRegistryFile(registryFile().toStdString(),
                                        dbsettings::DefaultRegistryKey, value);
    }
    void writeSettings(const demosettings::ConnectionValues& values) const {
        demosettings::WriteSettingsFile(folder().toStdString(), values);
    }

private:
    QTemporaryDir dir_;
};

/// The window's control named `name`; a missing control ends the test run.
template <class T> T* Control(QWidget& window, const QString& name) {
    auto* control = window.findChild<T*>(name);
    if (!control)
        qFatal("no control %s", qPrintable(name));
    return control;
}
