#pragma once
// In a measurement or export window, Return and Enter in a field complete its value
// and do nothing else. A dialog would press its default button: OK or Close would
// close the window, ending a running scan and losing its results, Start would begin
// a sweep, and "..." would open a file chooser. A push button with the focus (and
// autoDefault, as Qt gives it in a dialog) still takes Return as a click, once
// however long the key is held: a held key is one press, and its repeats would click
// whichever button the focus moved to (Start disables itself, passing it to Stop).
// Escape is unchanged.

#include <QObject>

class QDialog;

class ReturnKeyFilter : public QObject
{
public:
    // Filters the key presses that reach `dialog` itself (those its fields pass on)
    // and those that reach its push buttons: call it once they all exist.
    static void install(QDialog *dialog);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit ReturnKeyFilter(QObject *parent) : QObject(parent) {}
};
