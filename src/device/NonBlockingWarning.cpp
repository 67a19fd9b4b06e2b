#include "NonBlockingWarning.h"

#include <QMessageBox>
#include <QPointer>

#include <algorithm>
#include <vector>

namespace {

// The boxes still open; a closed one deletes itself and drops out of the list.
std::vector<QPointer<QMessageBox>> &openBoxes()
{
    static std::vector<QPointer<QMessageBox>> boxes;
    return boxes;
}

} // namespace

void NonBlockingWarning::show(QWidget *parent, const QString &title, const QString &text)
{
    // A refused action pressed again says nothing new: bring the box that already
    // says it to the front rather than stack another one to click away.
    auto &boxes = openBoxes();
    boxes.erase(std::remove_if(boxes.begin(), boxes.end(), [](const auto &b) { return !b; }),
                boxes.end());
    for (const QPointer<QMessageBox> &open : boxes) {
        // A box answered but not yet deleted is hidden: it no longer counts.
        if (open->isVisible() && open->windowTitle() == title && open->text() == text) {
            open->raise();
            open->activateWindow();
            return;
        }
    }

    auto *box = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
    boxes.emplace_back(box);
}
