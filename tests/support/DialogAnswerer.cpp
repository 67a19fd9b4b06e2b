#include "DialogAnswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>

DialogAnswerer::DialogAnswerer(QMessageBox::StandardButton button, QString fileName, QObject *parent)
    : QObject(parent), m_button(button), m_fileName(std::move(fileName))
{
    m_timer.setInterval(5);
    connect(&m_timer, &QTimer::timeout, this, &DialogAnswerer::poll);
    m_timer.start();
}

DialogAnswerer::~DialogAnswerer() = default;

void DialogAnswerer::poll()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal) {
        // Offscreen, a modal box is not always the active one: look at every top level.
        // Message boxes that block nothing are answered too, as an operator would.
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->isVisible() && (qobject_cast<QMessageBox *>(w)
                                   || (w->isModal() && qobject_cast<QFileDialog *>(w)))) {
                modal = w;
                break;
            }
        }
    }
    if (!modal || (!qobject_cast<QMessageBox *>(modal) && !qobject_cast<QFileDialog *>(modal)))
        return;
    // A dialog answered too early (a file dialog still loading its folder) stays
    // open: answer it again after a while, but record it only once.
    const bool again = modal == m_answering;
    if (again && m_answeredAt.elapsed() < 50)
        return;
    m_answering = modal;
    m_answeredAt.start();
    // Answer from a fresh event, not from inside this timer slot: the answer may
    // open a nested box (a file dialog asking to replace a file), which this
    // timer must still be free to answer.
    QPointer<QWidget> target(modal);
    QMetaObject::invokeMethod(this, [this, target, again] {
        if (target)
            answer(target, !again);
    }, Qt::QueuedConnection);
}

void DialogAnswerer::answer(QWidget *modal, bool record)
{
    if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        QString kind = QStringLiteral("information");
        switch (box->icon()) {
        case QMessageBox::Warning: kind = QStringLiteral("warning"); break;
        case QMessageBox::Critical: kind = QStringLiteral("critical"); break;
        case QMessageBox::Question: kind = QStringLiteral("question"); break;
        default: break;
        }
        if (record)
            m_seen.append({kind, box->windowTitle(), box->text()});
        QAbstractButton *b = box->button(m_button);
        if (!b)
            b = box->defaultButton() ? static_cast<QAbstractButton *>(box->defaultButton())
                                     : box->escapeButton();
        if (b)
            b->click();
        else
            box->done(m_button);
    } else if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
        if (record)
            m_seen.append({QStringLiteral("file"), dialog->windowTitle(), m_fileName});
        if (m_fileName.isEmpty()) {
            dialog->reject();
        } else {
            dialog->selectFile(m_fileName);
            // The folder loads in the background and may reset the name field:
            // type the full name into it, as a person would.
            if (auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                edit->setText(m_fileName);
            // accept() is protected; invoking the slot runs the dialog's own checks.
            QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
        }
    }
}
