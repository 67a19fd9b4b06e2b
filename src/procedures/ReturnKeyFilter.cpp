#include "ReturnKeyFilter.h"

#include <QDialog>
#include <QKeyEvent>
#include <QPushButton>

void ReturnKeyFilter::install(QDialog *dialog)
{
    auto *filter = new ReturnKeyFilter(dialog);
    dialog->installEventFilter(filter);
    for (QPushButton *button : dialog->findChildren<QPushButton *>())
        button->installEventFilter(filter);
}

bool ReturnKeyFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        // At the dialog: the field took the value before passing the key on.
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            && (watched == parent() || key->isAutoRepeat())) {
            event->accept();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
