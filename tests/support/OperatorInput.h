#pragma once
// Keyboard and mouse input as an operator gives it. Each helper that sets a state
// checks that the widget took it.

#include <QPoint>
#include <QString>

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QWidget;

// Ticks or unticks a check box from the keyboard (a box without text is narrower
// than its cell, so a click at the cell's centre could miss it).
void setChecked(QCheckBox *box, bool checked);

// Picks an item with the keyboard, as an operator tabbing through the form would.
void chooseItem(QComboBox *box, int index);
// The same, by the item's text, which must be one of the box's items.
void chooseText(QComboBox *box, const QString &text);

// Selects all of a field's text and types `text` over it, without Return (which in
// a dialog would press the default button).
void replaceText(QWidget *field, const QString &text);
// The same, then Return, which a spin box takes as the end of the entry.
void enterText(QWidget *field, const QString &text);

// Presses a button and lets go beside it: released fires, clicked must not.
void pressAndSlideOff(QAbstractButton *button);

// Notches of the mouse wheel at `pos` (positive: away from the operator; the graphs
// zoom in).
void wheel(QWidget *widget, QPoint pos, int notches);

// Presses the left button at `from`, moves to `to` and releases there.
void drag(QWidget *widget, QPoint from, QPoint to);
