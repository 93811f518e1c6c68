#include "app/Unit1.h"

#include "app/AnsiText.h"
#include "app/WidgetLook.h"
#include "platform/Dialogs.h"
#include "ui/ServerWait.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTabWidget>
#include <QVBoxLayout>
#include <exception>

TVelkin* Velkin = nullptr;

TVelkin::TVelkin(QWidget* parent) : QWidget(parent) {
    setObjectName("Velkin");
    SetCaption(ApplicationTitle);
    resize(539, 533);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(PageControl1);

    struct PageSpec {
        const char* name;
        const char* caption;
        void (TVelkin::*build)(QWidget*);
    };
    const PageSpec pages[] = {
        {"SQLServer", "SQL Server", &TVelkin::BuildSQLServerTab},
        {"DbTable", "Database Table", &TVelkin::BuildDbTableTab},
        {"SQLCommand", "SQL Command", &TVelkin::BuildSQLCommandTab},
        {"TTRS", "TTRS", &TVelkin::BuildTTRSTab},
    };
    for (const PageSpec& spec : pages) {
        auto* page = new QWidget(PageControl1);
        page->setObjectName(spec.name);
        (this->*spec.build)(page);
        PageControl1->addTab(page, spec.caption);
    }
    connect(PageControl1, &QTabWidget::currentChanged, this, &TVelkin::PageControl1Change);

    SetUpDataObjects();
    BindBrowserAndConsole();
    // Server calls of the window run on a worker while the window goes on painting.
    ServerWait::Install(this, ApplicationTitle);
    FormCreate();
}

TVelkin::~TVelkin() {
    ServerWait::Uninstall(this);
    ReleaseGrids();
}

void TVelkin::Guarded(const std::function<void()>& body) {
    try {
        body();
    } catch (const std::exception& e) {
        platform::ShowStandardError(ApplicationTitle, AnsiToQString(e.what()));
    } catch (...) {
        platform::ShowStandardError(ApplicationTitle, "Unknown error");
    }
}

void TVelkin::SetCaption(const QString& caption) {
    setWindowTitle(caption);
}

void TVelkin::CentreOnScreen() {
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void TVelkin::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    if (!shownOnce_) {
        shownOnce_ = true;
        CentreOnScreen();
    }
    FormShow();
}

void TVelkin::closeEvent(QCloseEvent* event) {
    if (ServerWait::Waiting()) {
        // The data objects are in a worker's hands: stop the work, stay open.
        ServerWait::CancelWaiting();
        event->ignore();
        return;
    }
    if (!SettlePendingChanges()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void TVelkin::keyPressEvent(QKeyEvent* event) {
    // Refresh is the window's default button: Enter that no control took presses
    // it while it can take the focus, i.e. while the TTRS data page is shown.
    bool isEnter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (isEnter && btnRefresh->isVisible() && btnRefresh->isEnabled()) {
        btnRefresh->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TVelkin::FormCreate() {
    Guarded([&] {
        for (QLineEdit* box : edtSQLIP) {
            box->clear();
            PaintWhite(box, QPalette::Base);
        }
        for (QLabel* dot : lbSQLIP)
            PaintWhite(dot, QPalette::Window);
        SQLCommandMemo->clear();
        SQLResultMemo->clear();
    });
}

void TVelkin::FormShow() {
    Guarded([&] {
        {
            // A tab change made by the program is not the operator's.
            QSignalBlocker quiet(PageControl1);
            PageControl1->setCurrentIndex(0);
        }
        edtRegistry->setFocus();
        ShowDataTabs(false);
        LoadDBSetting();
    });
}

void TVelkin::FormClose() {
    btnDisconnectClick();
}

void TVelkin::PageControl1Change() {
    Guarded([&] {
        if (PageControl1->currentWidget()->objectName() == "SQLServer" && !isSharedConnected())
            btnDisconnectClick();
    });
}

void TVelkin::ShowDataTabs(bool visible) {
    QSignalBlocker quiet(PageControl1);
    for (int index = 1; index < PageControl1->count(); ++index) {
        PageControl1->setTabVisible(index, visible);
        if (PageControl1->widget(index)->objectName() == "TTRS")
            PageControl1->setTabVisible(index,
                                        visible && chkbox_TTRS->isChecked() && isTTRSConnected());
    }
    if (!PageControl1->isTabVisible(PageControl1->currentIndex()))
        PageControl1->setCurrentIndex(0);
}
