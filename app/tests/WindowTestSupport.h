#pragma once
// Shared by the window tests: product settings written into a temporary folder
// (the registry file that VELKIN_REGISTRY points at, and NOVIXSYS.INI), finding
// a control or a data object of the window by its name, a list's texts, and the
// operator's clicks on a list item and on a console button.
#include "app/DBSettings.h"
#include "app/tools/DemoSettingsWriter.h"
#include "data/db/Component.h"

#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
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

/// The component of `owner` named `name`; a missing one ends the test run.
template <class T> T& DataObject(const db::TComponent& owner, const char* name) {
    for (db::TComponent* component : owner.Components())
        if (component->Name() == name)
            return dynamic_cast<T&>(*component);
    qFatal("no data object %s", name);
}

/// The texts of the items of `list`, top to bottom.
inline QStringList ItemTexts(const QListWidget& list) {
    QStringList texts;
    for (int row = 0; row < list.count(); ++row)
        texts << list.item(row)->text();
    return texts;
}

/// Clicks the item `text` of the window's list `listName` as the operator does;
/// a missing or repeated item ends the test run.
inline void ClickItem(QWidget& window, const char* listName, const QString& text) {
    auto* list = Control<QListWidget>(window, listName);
    const auto found = list->findItems(text, Qt::MatchExactly);
    if (found.size() != 1)
        qFatal("no single item %s in %s", qPrintable(text), listName);
    list->scrollToItem(found[0]);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(found[0]).center());
}

/// Types `text` into the console and presses `button` (btnSearch or btnExecute).
inline void RunConsole(QWidget& window, const char* button, const QString& text) {
    Control<QPlainTextEdit>(window, "SQLCommandMemo")->setPlainText(text);
    Control<QPushButton>(window, button)->click();
}
