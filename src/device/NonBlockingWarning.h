#pragma once
// A warning that neither waits for an answer nor blocks any window. A modal box
// opened while a procedure lets events in between its points would pause it for as
// long as the box stays open, and keep the operator from the procedure's own Stop.

class QString;
class QWidget;

class NonBlockingWarning
{
public:
    // Shows `text` under `title`; the box deletes itself when closed. While a box with
    // the same title and text is open, that one is raised instead.
    static void show(QWidget *parent, const QString &title, const QString &text);
};
