#include "DialogAnswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
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
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->isVisible() && w->isModal()
                && (qobject_cast<QMessageBox *>(w) || qobject_cast<QFileDialog *>(w))) {
                modal = w;
                break;
            }
        }
    }
    if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        QString kind = QStringLiteral("information");
        switch (box->icon()) {
        case QMessageBox::Warning: kind = QStringLiteral("warning"); break;
        case QMessageBox::Critical: kind = QStringLiteral("critical"); break;
        case QMessageBox::Question: kind = QStringLiteral("question"); break;
        default: break;
        }
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
        m_seen.append({QStringLiteral("file"), dialog->windowTitle(), m_fileName});
        if (m_fileName.isEmpty()) {
            dialog->reject();
        } else {
            dialog->selectFile(m_fileName);
            // accept() is protected; invoking the slot runs the dialog's own checks.
            QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
        }
    }
}
