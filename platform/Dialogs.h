#pragma once
// Message boxes and cursors behind one interface, so that tests replace them and
// nothing modal blocks a test.
#include <QString>
#include <vector>

namespace platform {

enum class BoxKind {
    Error,    ///< error icon
    Plain,    ///< no icon
    Confirm,  ///< a question with OK and Cancel
    Question, ///< question icon, Yes and No buttons
};

enum class Answer { Yes, No };

class Dialogs {
public:
    virtual ~Dialogs() = default;
    /// A message box with one OK button; returns when the operator closed it.
    virtual void messageBox(BoxKind kind, const QString& title, const QString& text) = 0;
    /// A question with OK and Cancel; true only when the operator chose OK.
    virtual bool confirm(const QString& title, const QString& text) = 0;
    /// A question box with Yes and No; returns the operator's answer.
    virtual Answer askYesNo(const QString& title, const QString& text) = 0;
    virtual void setHourglassCursor() = 0;
    virtual void setArrowCursor() = 0;
};

/// The dialogs now in force: real Qt message boxes unless a test installed others.
/// Without a QApplication the real ones write boxes to standard error instead.
Dialogs& dialogs();
/// Installs `d` (not owned); nullptr restores the real ones.
void setDialogs(Dialogs* d);

/// The standard error box: error icon, the application's title, and the error's
/// text with a full stop appended when its last character sorts after ".".
void ShowStandardError(const QString& applicationTitle, const QString& text);
QString StandardErrorText(const QString& text);

/// Records every box instead of showing it; for tests.
class RecordingDialogs : public Dialogs {
public:
    struct Box {
        BoxKind kind;
        QString title;
        QString text;
    };
    std::vector<Box> boxes;
    /// What confirm answers (Cancel unless a test says otherwise).
    bool confirmAnswer = false;
    int hourglassCount = 0;
    int arrowCount = 0;
    bool hourglassShown = false;
    /// What askYesNo answers, in order; No once they run out.
    std::vector<Answer> answers;

    RecordingDialogs() { setDialogs(this); }
    ~RecordingDialogs() override { setDialogs(nullptr); }
    void messageBox(BoxKind kind, const QString& title, const QString& text) override {
        boxes.push_back({kind, title, text});
    }
    bool confirm(const QString& title, const QString& text) override {
        boxes.push_back({BoxKind::Confirm, title, text});
        return confirmAnswer;
    }
    Answer askYesNo(const QString& title, const QString& text) override {
        boxes.push_back({BoxKind::Question, title, text});
        if (answers.empty())
            return Answer::No;
        const Answer answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }
    void setHourglassCursor() override {
        ++hourglassCount;
        hourglassShown = true;
    }
    void setArrowCursor() override {
        ++arrowCount;
        hourglassShown = false;
    }
};

} // namespace platform
