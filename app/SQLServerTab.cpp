// The "SQL Server" tab: connection settings and the four-box address entry.
#include "app/AnsiText.h"
#include "app/DBSettings.h"
#include "app/KeyPressFilter.h"
#include "app/Unit1.h"
#include "app/WidgetLook.h"
#include "platform/IniFile.h"
#include "platform/Registry.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QValidator>
#include <stdexcept>

namespace {

// An address box's text as the operator edits it: letters become upper case, and
// an edit (a paste, say) may not take the text beyond the limit. Text the program
// sets is not validated, so a longer part read from the settings shows whole and
// can still be shortened.
class AddressPartValidator : public QValidator {
public:
    AddressPartValidator(QLineEdit* box, int limit) : QValidator(box), limit_(limit) {
        connect(box, &QLineEdit::textChanged, this,
                [this](const QString& text) { lastLength_ = int(text.size()); });
    }
    State validate(QString& input, int&) const override {
        input = input.toUpper();
        if (input.size() > limit_ && input.size() > lastLength_)
            return Invalid;
        return Acceptable;
    }

private:
    int limit_;
    int lastLength_ = 0;
};

QLabel* NewLabel(QWidget* parent, const QString& caption, QWidget* buddy) {
    auto* label = new QLabel(caption, parent);
    label->setBuddy(buddy);
    return label;
}

QLineEdit* NewEdit(QWidget* parent, const char* name, const QString& text = {}) {
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(name);
    return edit;
}

} // namespace

void TVelkin::BuildSQLServerTab(QWidget* page) {
    auto* pageLayout = new QVBoxLayout(page);

    // Server Connection
    auto* serverGroup = new QGroupBox("Server Connection", page);
    serverGroup->setObjectName("GroupBox1");
    auto* serverGrid = new QGridLayout(serverGroup);
    edtRegistry = NewEdit(serverGroup, "edtRegistry", dbsettings::DefaultRegistryKey);
    btnRefreshDBSetting = new QPushButton("Refresh", serverGroup);
    btnRefreshDBSetting->setObjectName("btnRefreshDBSetting");
    connect(btnRefreshDBSetting, &QPushButton::clicked, this, &TVelkin::btnRefreshDBSettingClick);
    serverGrid->addWidget(NewLabel(serverGroup, "Registry:", edtRegistry), 0, 0);
    serverGrid->addWidget(edtRegistry, 0, 1);
    serverGrid->addWidget(btnRefreshDBSetting, 0, 2);

    // The four boxes and their dots sit in one white frame, so they read as one field.
    Shape1 = new QFrame(serverGroup);
    Shape1->setObjectName("Shape1");
    Shape1->setFrameShape(QFrame::StyledPanel);
    PaintWhite(Shape1, QPalette::Window);
    auto* addressRow = new QHBoxLayout(Shape1);
    addressRow->setContentsMargins(2, 1, 2, 1);
    addressRow->setSpacing(0);
    for (int part = 0; part < 4; ++part) {
        QLineEdit* box = NewEdit(Shape1, qPrintable(QString("edtSQLIP%1").arg(part + 1)));
        box->setFrame(false);
        box->setAlignment(Qt::AlignCenter);
        box->setValidator(new AddressPartValidator(box, AddressPartMaxLength));
        box->setMaximumWidth(box->fontMetrics().horizontalAdvance("0000") + 6);
        new KeyPressFilter(
            box, [this](QObject* sender, QChar& key) { edtSQLIPKeyPress(sender, key); },
            AddressPartMaxLength);
        connect(box, &QLineEdit::textEdited, this, [this, box] { edtSQLIPChange(box); });
        edtSQLIP[part] = box;
        addressRow->addWidget(box);
        if (part < 3) {
            auto* dot = new QLabel(".", Shape1);
            dot->setObjectName(QString("lbSQLIP%1").arg(part + 1));
            MakeBold(dot);
            lbSQLIP[part] = dot;
            addressRow->addWidget(dot);
        }
    }
    serverGrid->addWidget(NewLabel(serverGroup, "IP Address:", edtSQLIP[0]), 1, 0);
    serverGrid->addWidget(Shape1, 1, 1, Qt::AlignLeft);

    edtSQLPortNo = NewEdit(serverGroup, "edtSQLPortNo");
    serverGrid->addWidget(NewLabel(serverGroup, "Port Number:", edtSQLPortNo), 2, 0);
    serverGrid->addWidget(edtSQLPortNo, 2, 1);
    edtTimeout = NewEdit(serverGroup, "edtTimeout", "30");
    serverGrid->addWidget(NewLabel(serverGroup, "Timeout:", edtTimeout), 3, 0);
    serverGrid->addWidget(edtTimeout, 3, 1);
    pageLayout->addWidget(serverGroup);

    // User Information
    auto* userGroup = new QGroupBox("User Information", page);
    userGroup->setObjectName("GroupBox2");
    auto* userGrid = new QGridLayout(userGroup);
    edtSQLLogin = NewEdit(userGroup, "edtSQLLogin");
    userGrid->addWidget(NewLabel(userGroup, "Login:", edtSQLLogin), 0, 0);
    userGrid->addWidget(edtSQLLogin, 0, 1);
    edtSQLPassword = NewEdit(userGroup, "edtSQLPassword");
    edtSQLPassword->setEchoMode(QLineEdit::Password);
    edtSQLPassword->setStyleSheet("lineedit-password-character: 42"); // "*"
    userGrid->addWidget(NewLabel(userGroup, "Password:", edtSQLPassword), 1, 0);
    userGrid->addWidget(edtSQLPassword, 1, 1);
    pageLayout->addWidget(userGroup);

    // TTRS Database Name; the check box lies over the group's top edge and stays
    // outside it, so disabling the group leaves the check box usable.
    GrpBox_TTRS = new QGroupBox("TTRS Database Name", page);
    GrpBox_TTRS->setObjectName("GrpBox_TTRS");
    auto* ttrsGrid = new QGridLayout(GrpBox_TTRS);
    edt_TTRSDB = NewEdit(GrpBox_TTRS, "edt_TTRSDB");
    lbl_TTRSDB = NewLabel(GrpBox_TTRS, "Database Name:", edt_TTRSDB);
    lbl_TTRSDB->setObjectName("lbl_TTRSDB");
    ttrsGrid->addWidget(lbl_TTRSDB, 0, 0);
    ttrsGrid->addWidget(edt_TTRSDB, 0, 1);
    pageLayout->addWidget(GrpBox_TTRS);
    chkbox_TTRS = new QCheckBox("Connect TTRS Database", page);
    chkbox_TTRS->setObjectName("chkbox_TTRS");
    connect(chkbox_TTRS, &QCheckBox::clicked, this, &TVelkin::chkbox_TTRSClick);
    GrpBox_TTRS->installEventFilter(this);

    // Connection
    auto* connectionGroup = new QGroupBox("Connection", page);
    connectionGroup->setObjectName("GroupBox3");
    auto* connectionGrid = new QGridLayout(connectionGroup);
    lbStatus = new QLabel("Disconnected", connectionGroup);
    lbStatus->setObjectName("lbStatus");
    lbStatus->setAlignment(Qt::AlignCenter);
    lbStatus->setFrameShape(QFrame::StyledPanel);
    MakeBold(lbStatus);
    PaintWhite(lbStatus, QPalette::Window);
    btnConnect = new QPushButton("Connect", connectionGroup);
    btnConnect->setObjectName("btnConnect");
    btnDisconnect = new QPushButton("Disconnect", connectionGroup);
    btnDisconnect->setObjectName("btnDisconnect");
    btnDisconnect->setEnabled(false);
    connect(btnDisconnect, &QPushButton::clicked, this, &TVelkin::btnDisconnectClick);
    connect(btnConnect, &QPushButton::clicked, this, &TVelkin::btnConnectClick);
    connectionGrid->addWidget(NewLabel(connectionGroup, "Status:", lbStatus), 0, 0);
    connectionGrid->addWidget(lbStatus, 0, 1);
    connectionGrid->addWidget(btnConnect, 0, 2);
    connectionGrid->addWidget(btnDisconnect, 0, 3);
    connectionGrid->setColumnStretch(1, 1);
    pageLayout->addWidget(connectionGroup);
    pageLayout->addStretch(1);
}

bool TVelkin::eventFilter(QObject* watched, QEvent* event) {
    if (watched == GrpBox_TTRS &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
        QSize size = chkbox_TTRS->sizeHint();
        QRect group = GrpBox_TTRS->geometry();
        chkbox_TTRS->setGeometry(group.right() - size.width() - 10, group.top(), size.width(),
                                 size.height());
        chkbox_TTRS->raise();
    }
    return QWidget::eventFilter(watched, event);
}

void TVelkin::LoadDBSetting() {
    platform::AnsiString serverPath;
    {
        platform::Registry registry;
        if (!registry.OpenKey(dbsettings::TrimText(QStringToAnsi(edtRegistry->text())), true))
            throw std::runtime_error("Unable to open registry.");
        serverPath = registry.ReadString(dbsettings::ServerPathValue);
        registry.CloseKey();
    }

    platform::AnsiString fileName = dbsettings::SettingsFilePath(serverPath);
    if (!platform::FileExists(fileName))
        return;

    platform::AnsiString address, port, login, password;
    {
        platform::IniFile settings(platform::ResolveFilePath(fileName));
        auto readScrambled = [&settings](const char* key) {
            return dbsettings::XorText(settings.ReadString(dbsettings::Section, key, ""),
                                       dbsettings::ScrambleKey);
        };
        address = readScrambled(dbsettings::KeyServerIP);
        port = readScrambled(dbsettings::KeyServerPort);
        login = readScrambled(dbsettings::KeyLogin);
        password = readScrambled(dbsettings::KeyPassword);
        edt_TTRSDB->setText(
            AnsiToQString(settings.ReadString(dbsettings::Section, dbsettings::KeyTTRSDBName, "")));
    }

    // setText is not bound by the typing limit, so a longer fourth part shows whole.
    for (int part = 0; part < 4; ++part)
        edtSQLIP[part]->setText(AnsiToQString(dbsettings::GetIPPart(address, part + 1)));
    edtSQLPortNo->setText(AnsiToQString(port));
    edtSQLLogin->setText(AnsiToQString(login));
    edtSQLPassword->setText(AnsiToQString(password));
}

void TVelkin::btnRefreshDBSettingClick() {
    Guarded([&] { LoadDBSetting(); });
}

void TVelkin::edtSQLIPChange(QObject* sender) {
    Guarded([&] {
        auto* box = qobject_cast<QLineEdit*>(sender);
        if (!box || box->objectName() == "edtSQLIP4")
            return;
        for (int k = 1; k <= 3; ++k) {
            if (box->objectName() != QString("edtSQLIP%1").arg(k))
                continue;
            bool full = box->text().size() == AddressPartMaxLength;
            bool caretAtEnd = box->cursorPosition() == box->text().size();
            if (full && caretAtEnd && !box->text().isEmpty())
                edtSQLIP[k]->setFocus();
            return;
        }
    });
}

void TVelkin::edtSQLIPKeyPress(QObject*, QChar& key) {
    bool isDigit = key >= QChar('0') && key <= QChar('9');
    if (!isDigit && key.unicode() != 8)
        key = QChar();
}
