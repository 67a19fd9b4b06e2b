#include "ReturnKeyFilter.h"

#include <QDialog>
#include <QKeyEvent>

void ReturnKeyFilter::install(QDialog *dialog)
{
    dialog->installEventFilter(new ReturnKeyFilter(dialog));
}

bool ReturnKeyFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            event->accept();   // the field took the value before passing the key on
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
