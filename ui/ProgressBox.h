#pragma once
// The modal box of a server wait that outlasts a second: what the work is, the
// rows read so far (once rows arrive) and Cancel. Esc and the title bar's close
// button ask to cancel as Cancel does; the box never closes itself, its owner
// takes it down when the work has ended.
#include <QDialog>

class QLabel;
class QPushButton;

class ProgressBox : public QDialog {
    Q_OBJECT
public:
    ProgressBox(QWidget* parent, const QString& title, const QString& work);

    /// Shows the count; nothing is shown while it is 0.
    void setRows(qint64 rows);
    /// After a cancel: the button is disabled and the box says so.
    void setCancelling();
    QPushButton* cancelButton() const { return cancel_; }

signals:
    void cancelRequested();

protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* work_ = nullptr;
    QLabel* rows_ = nullptr;
    QPushButton* cancel_ = nullptr;
};
