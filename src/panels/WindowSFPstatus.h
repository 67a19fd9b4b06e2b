#pragma once
// "SFP Info" dialog: one column per SFP port of the controller with the picture,
// name, serial number, version and hardware version of the module found there.
// The module data are the device link's last SFP scan; picture and name come from
// the device catalogue built into the program (":/product_data/devices.xml").
// The dialog refreshes itself every 1100 ms, and fills the table only while shown.

#include <QDialog>
#include <QDomElement>
#include <QString>

#include "DeviceRecords.h"

namespace Ui {
class WindowSFPstatus;
}

class WindowSFPstatus : public QDialog
{
    Q_OBJECT

public:
    explicit WindowSFPstatus(QWidget *parent = nullptr);
    ~WindowSFPstatus() override;

    // Fills one column per occupied port from the four records of ports 0 to 3;
    // does nothing while the dialog is hidden.
    void fillSFPtable(const SfpRecord *records);

public slots:
    void updateSFPdata();

private:
    Ui::WindowSFPstatus *ui;
};

// Device catalogue lookups by device id, written as four lowercase hexadecimal
// digits ("%04x"). An id without entry, or a catalogue that cannot be read, gives
// an empty text (for the picture: the bare folder, which loads no picture).
QString getDeviceName(const QString &id);
QString getDeviceImage(const QString &id);
QString getDeviceGroup(const QString &id);
QString getDeviceDesc(const QString &id);

// First element below `parent`, depth first in document order, whose whole text
// equals `text`; a null element when there is none. `parent` itself is not compared.
QDomElement findElementWithText(const QDomElement &parent, const QString &text);
