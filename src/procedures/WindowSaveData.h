#pragma once
// "Save data" window: writes a snapshot of the controller's display buffer to a CSV
// text file. The operator picks the quantities (encoder channels, beam positions,
// DAC outputs), the number of samples, a comment and the file; "Save" reads the
// display node once and writes a header block, a column line and one row per
// sample, every line ending in CR LF. GUI thread only.

#include <QDialog>
#include <QString>

class QAbstractButton;
struct DisplayRecord;

namespace Ui {
class WindowSaveData;
}

class WindowSaveData : public QDialog
{
    Q_OBJECT

public:
    explicit WindowSaveData(QWidget *parent = nullptr);
    ~WindowSaveData() override;

    // The eight header lines: maker, product, time and date, host name, comment.
    QString fileHeader() const;
    // "Nr, Rel. time, " and the names of the latched columns, then CR LF.
    QString columnHeader() const;
    // Record `record`, sample number `index`, in the latched columns.
    QString dataRow(const DisplayRecord &record, int index) const;

private slots:
    void saveData(QAbstractButton *button);
    void getPath();

private:
    // Optional columns, in file order.
    enum Column {
        Bpm1Enc1, Bpm1Enc2, Bpm2Enc1, Bpm2Enc2,
        Dac1, Dac2, Dac3, Dac4,
        Bpm1X, Bpm1Y, Bpm2X, Bpm2Y,
        ColumnCount
    };

    // Takes the column choice from the check boxes; the file is built from it.
    void latchColumns();
    void reportNotSaved(const QString &reason);

    Ui::WindowSaveData *ui;
    bool columns[ColumnCount] = {};
};
