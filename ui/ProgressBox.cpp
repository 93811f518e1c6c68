#include "ui/ProgressBox.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

ProgressBox::ProgressBox(QWidget* parent, const QString& title, const QString& work)
    : QDialog(parent) {
    setObjectName("ProgressBox");
    setWindowTitle(title);
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);
    work_ = new QLabel(work, this);
    work_->setObjectName("lblProgressWork");
    layout->addWidget(work_);
    auto* bar = new QProgressBar(this);
    bar->setObjectName("ProgressBar");
    bar->setRange(0, 0); // no end is known: the bar only shows that work goes on
    bar->setTextVisible(false);
    layout->addWidget(bar);
    rows_ = new QLabel(this);
    rows_->setObjectName("lblProgressRows");
    rows_->setHidden(true);
    layout->addWidget(rows_);
    cancel_ = new QPushButton("Cancel", this);
    cancel_->setObjectName("btnProgressCancel");
    cancel_->setAutoDefault(false);
    layout->addWidget(cancel_, 0, Qt::AlignRight);
    connect(cancel_, &QPushButton::clicked, this, &ProgressBox::cancelRequested);
    setMinimumWidth(320);
}

void ProgressBox::setRows(qint64 rows) {
    if (rows <= 0)
        return;
    rows_->setText(QString("%L1 rows read").arg(rows));
    rows_->setHidden(false);
}

void ProgressBox::setCancelling() {
    cancel_->setEnabled(false);
    work_->setText(work_->text() + " - cancelling...");
}

void ProgressBox::reject() {
    if (cancel_->isEnabled())
        emit cancelRequested();
}

void ProgressBox::closeEvent(QCloseEvent* event) {
    event->ignore();
    reject();
}
