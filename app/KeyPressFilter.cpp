#include "app/KeyPressFilter.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>

namespace {

constexpr char16_t Backspace = 8;

bool IsFilteredCharacter(const QKeyEvent& event) {
    if (event.text().size() != 1)
        return false;
    if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    QChar c = event.text().front();
    return c.unicode() == Backspace || (c.unicode() >= 32 && c.unicode() != 127);
}

} // namespace

KeyPressFilter::KeyPressFilter(QLineEdit* edit, Handler handler, int typingLimit)
    : QObject(edit), edit_(edit), handler_(std::move(handler)), typingLimit_(typingLimit) {
    edit->installEventFilter(this);
}

bool KeyPressFilter::eventFilter(QObject* watched, QEvent* event) {
    if (watched != edit_ || event->type() != QEvent::KeyPress || resending_)
        return false;
    auto* keyEvent = static_cast<QKeyEvent*>(event);
    if (!IsFilteredCharacter(*keyEvent))
        return false;
    QChar typed = keyEvent->text().front();
    QChar key = typed;
    handler_(edit_, key);
    if (key.isNull())
        return true;
    if (typingLimit_ > 0 && key.unicode() != Backspace &&
        edit_->text().size() - edit_->selectedText().size() >= typingLimit_)
        return true;
    if (key == typed)
        return false;
    // The replacement goes in as if it had been typed, so the box's own editing
    // rules (selection, maximum length, undo) apply to it.
    QKeyEvent replaced(QEvent::KeyPress, key.toUpper().unicode(), keyEvent->modifiers(),
                       QString(key));
    resending_ = true;
    QCoreApplication::sendEvent(edit_, &replaced);
    resending_ = false;
    return true;
}
