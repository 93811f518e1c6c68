#pragma once
// The key-press hook of an edit box: every typed character passes through a
// handler that may keep it, replace it or discard it (set it to the null
// character) before it reaches the box, and an optional typing limit.
//
// Only characters are filtered: keys without text (arrows, Delete), characters
// typed with Ctrl or Alt and control characters other than backspace (Enter, Tab)
// pass untouched, so shortcuts and the default button keep working. Text set by
// the program or pasted is not filtered.
#include <QChar>
#include <QObject>
#include <functional>

class QLineEdit;

class KeyPressFilter : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(QObject* sender, QChar& key)>;

    /// Filters the characters typed into `edit`; `typingLimit` > 0 refuses a
    /// character that would make the text longer than that (backspace always passes).
    KeyPressFilter(QLineEdit* edit, Handler handler, int typingLimit = 0);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* edit_;
    Handler handler_;
    int typingLimit_;
    bool resending_ = false;
};
