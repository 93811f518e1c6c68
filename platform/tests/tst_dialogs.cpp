// The operator-facing platform services: the standard error box's text and
// kind, the real message box and hourglass, and the keyboard layout hook.
#include "platform/Dialogs.h"
#include "platform/KeyboardLayout.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

using namespace platform;

class TestDialogs : public QObject {
    Q_OBJECT
private slots:
    void standardErrorText_data();
    void standardErrorText();
    void standardErrorBoxIsAnErrorBox();
    void recordingDialogsUninstallThemselves();
    void realMessageBoxShowsKindTitleAndText_data();
    void realMessageBoxShowsKindTitleAndText();
    void hourglassIsOneCursorNotAStack();
    void keyboardLayoutRemembersAndCanBeReplaced();
};

void TestDialogs::standardErrorText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("letter") << "Unable to open registry"
                            << "Unable to open registry.";
    QTest::newRow("full stop") << "Unable to open registry."
                               << "Unable to open registry.";
    QTest::newRow("digit") << "Error 4060"
                           << "Error 4060.";
    QTest::newRow("question mark") << "Really?"
                                   << "Really?.";
    QTest::newRow("slash") << "a/"
                           << "a/.";
    QTest::newRow("exclamation mark") << "Failed!"
                                      << "Failed!";
    QTest::newRow("closing parenthesis") << "(none)"
                                         << "(none)";
    QTest::newRow("hyphen") << "a -"
                            << "a -";
    QTest::newRow("blank") << "trailing "
                           << "trailing ";
    QTest::newRow("line end") << "two\nlines\n"
                              << "two\nlines\n";
    QTest::newRow("Chinese") << QString::fromUtf8("連線失敗") << QString::fromUtf8("連線失敗.");
    QTest::newRow("empty") << ""
                           << "";
}

void TestDialogs::standardErrorText() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(StandardErrorText(text), expected);
}

void TestDialogs::standardErrorBoxIsAnErrorBox() {
    RecordingDialogs recorder;
    ShowStandardError("Velkin(SQL)", "Unable to open registry");
    QCOMPARE(recorder.boxes.size(), size_t{1});
    QCOMPARE(recorder.boxes[0].kind, BoxKind::Error);
    QCOMPARE(recorder.boxes[0].title, QString("Velkin(SQL)"));
    QCOMPARE(recorder.boxes[0].text, QString("Unable to open registry."));
}

void TestDialogs::recordingDialogsUninstallThemselves() {
    Dialogs* real = &dialogs();
    {
        RecordingDialogs recorder;
        QCOMPARE(&dialogs(), static_cast<Dialogs*>(&recorder));
        dialogs().setHourglassCursor();
        QVERIFY(recorder.hourglassShown);
    }
    QCOMPARE(&dialogs(), real);
}

void TestDialogs::realMessageBoxShowsKindTitleAndText_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("icon");
    QTest::newRow("error") << int(BoxKind::Error) << int(QMessageBox::Critical);
    QTest::newRow("plain") << int(BoxKind::Plain) << int(QMessageBox::NoIcon);
}

void TestDialogs::realMessageBoxShowsKindTitleAndText() {
    QFETCH(int, kind);
    QFETCH(int, icon);
    // The box is modal; it is inspected and closed from the event loop it runs.
    int seenIcon = -1;
    QString seenTitle, seenText;
    int buttons = 0;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        seenIcon = box->icon();
        seenTitle = box->windowTitle();
        seenText = box->text();
        buttons = static_cast<int>(box->buttons().size());
        box->accept();
    });
    dialogs().messageBox(static_cast<BoxKind>(kind), "Velkin(SQL)", "OK!");
    QCOMPARE(seenIcon, icon);
    QCOMPARE(seenTitle, QString("Velkin(SQL)"));
    QCOMPARE(seenText, QString("OK!"));
    QCOMPARE(buttons, 1);
}

void TestDialogs::hourglassIsOneCursorNotAStack() {
    QVERIFY(!QApplication::overrideCursor());
    dialogs().setHourglassCursor();
    QVERIFY(QApplication::overrideCursor());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    dialogs().setHourglassCursor();
    dialogs().setArrowCursor();
    QVERIFY(!QApplication::overrideCursor());
    // An arrow without an hourglass leaves others' override cursors alone.
    QApplication::setOverrideCursor(Qt::CrossCursor);
    dialogs().setArrowCursor();
    QVERIFY(QApplication::overrideCursor());
    QApplication::restoreOverrideCursor();
}

void TestDialogs::keyboardLayoutRemembersAndCanBeReplaced() {
    KeyboardLayouts& standard = keyboardLayouts();
    KeyboardLayoutId before = standard.current();
    QVERIFY(before != 0);
    standard.activate(0x04040404);
    QCOMPARE(keyboardLayouts().current(), KeyboardLayoutId{0x04040404});

    struct FakeLayouts : KeyboardLayouts {
        KeyboardLayoutId layout = 7;
        KeyboardLayoutId current() const override { return layout; }
        void activate(KeyboardLayoutId l) override { layout = l; }
    } fake;
    setKeyboardLayouts(&fake);
    keyboardLayouts().activate(9);
    QCOMPARE(fake.layout, KeyboardLayoutId{9});
    setKeyboardLayouts(nullptr);
    QCOMPARE(&keyboardLayouts(), &standard);
    QCOMPARE(keyboardLayouts().current(), KeyboardLayoutId{0x04040404});
    standard.activate(before);
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
