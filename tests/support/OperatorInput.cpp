#include "OperatorInput.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

void setChecked(QCheckBox *box, bool checked)
{
    ASSERT_NE(box, nullptr);
    if (box->isChecked() != checked) {
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Space);
    }
    ASSERT_EQ(box->isChecked(), checked) << box->objectName().toStdString();
}

void chooseItem(QComboBox *box, int index)
{
    ASSERT_NE(box, nullptr);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Home);
    for (int i = 0; i < index; ++i)
        QTest::keyClick(box, Qt::Key_Down);
    ASSERT_EQ(box->currentIndex(), index) << box->objectName().toStdString();
}

void chooseText(QComboBox *box, const QString &text)
{
    ASSERT_NE(box, nullptr);
    const int index = box->findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    chooseItem(box, index);
    ASSERT_EQ(box->currentText(), text);
}

void replaceText(QWidget *field, const QString &text)
{
    ASSERT_NE(field, nullptr);
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, text);
}

void enterText(QWidget *field, const QString &text)
{
    ASSERT_NE(field, nullptr);
    replaceText(field, text);
    QTest::keyClick(field, Qt::Key_Return);
}

void pressAndSlideOff(QAbstractButton *button)
{
    ASSERT_NE(button, nullptr);
    const QPoint beside(button->width() + 20, button->height() / 2);
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    QTest::mousePress(button, Qt::LeftButton);
    QTest::mouseMove(button, beside);
    QTest::mouseRelease(button, Qt::LeftButton, {}, beside);
    ASSERT_EQ(clicked.count(), 0) << "released beside the button, yet it counted a click";
}

void wheel(QWidget *widget, QPoint pos, int notches)
{
    QWheelEvent event(QPointF(pos), QPointF(widget->mapToGlobal(pos)), QPoint(),
                      QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(widget, &event);
}

void drag(QWidget *widget, QPoint from, QPoint to)
{
    QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(widget, (from + to) / 2);
    QTest::mouseMove(widget, to);
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, to);
}
