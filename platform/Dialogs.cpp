// The real dialogs need a QApplication; without one (a tool or a test that
// never made one) a box is written to standard error instead and a question is
// answered No, so that an error is never lost and nothing crashes or waits. The
// hourglass is one override cursor owned here: setting it twice and the arrow
// once leaves the arrow, as the screen cursor of the window system behaves.
#include "platform/Dialogs.h"

#include <QApplication>
#include <QMessageBox>

#include <atomic>
#include <cstdio>

namespace platform {
namespace {

class QtDialogs : public Dialogs {
public:
    void messageBox(BoxKind kind, const QString& title, const QString& text) override {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
            return;
        }
        QMessageBox box(kind == BoxKind::Error ? QMessageBox::Critical : QMessageBox::NoIcon, title,
                        text, QMessageBox::Ok, QApplication::activeWindow());
        box.exec();
    }

    bool confirm(const QString& title, const QString& text) override {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
            // Nobody can answer: the cautious answer.
            std::fprintf(stderr, "%s: %s (Cancel)\n", qPrintable(title), qPrintable(text));
            return false;
        }
        QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Ok | QMessageBox::Cancel,
                        QApplication::activeWindow());
        box.setDefaultButton(QMessageBox::Cancel);
        return box.exec() == QMessageBox::Ok;
    }

    Answer askYesNo(const QString& title, const QString& text) override {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
            std::fprintf(stderr, "%s: %s (answered No: no screen to ask on)\n", qPrintable(title),
                         qPrintable(text));
            return Answer::No;
        }
        const auto pressed =
            QMessageBox::question(QApplication::activeWindow(), title, text,
                                  QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
        return pressed == QMessageBox::Yes ? Answer::Yes : Answer::No;
    }

    void setHourglassCursor() override {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
            return;
        if (hourglassShown_) {
            QApplication::changeOverrideCursor(Qt::WaitCursor);
        } else {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            hourglassShown_ = true;
        }
    }

    void setArrowCursor() override {
        if (!hourglassShown_ || !qobject_cast<QApplication*>(QCoreApplication::instance()))
            return;
        QApplication::restoreOverrideCursor();
        hourglassShown_ = false;
    }

private:
    bool hourglassShown_ = false;
};

std::atomic<Dialogs*> installed{nullptr};

} // namespace

Dialogs& dialogs() {
    if (Dialogs* d = installed.load())
        return *d;
    static QtDialogs real;
    return real;
}

void setDialogs(Dialogs* d) {
    installed.store(d);
}

QString StandardErrorText(const QString& text) {
    if (!text.isEmpty() && text.back() > u'.')
        return text + u'.';
    return text;
}

void ShowStandardError(const QString& applicationTitle, const QString& text) {
    dialogs().messageBox(BoxKind::Error, applicationTitle, StandardErrorText(text));
}

} // namespace platform
