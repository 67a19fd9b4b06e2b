#pragma once
// "Beamline Configuration": one BPM box per beam-position monitor whose encoder box
// is present. Save turns each shown box into the BPM's position scale, distance and
// offset, keeps them in the process-wide per-BPM arrays, writes every setting to the
// configuration store and sends the encoder and scaling settings to the controller.
// Holds no values of its own: each show reloads the boxes from the store, each Save
// reads them as they stand.

#include <QDialog>

class QAbstractButton;

namespace Ui {
class WindowBeamlineConf;
}

class WindowBeamlineConf : public QDialog
{
    Q_OBJECT

public:
    explicit WindowBeamlineConf(QWidget *parent = nullptr);
    ~WindowBeamlineConf() override;

    // Applies the user level, reloads both boxes from the store, follows the encoder
    // boxes present and shows the dialog (unsaved edits are replaced).
    void showWindow();
    void loadSettings();
    void loadBPMbox(int bpm);
    // Applies every shown box, then announces BPMscaleChanged. A shown box whose
    // position scale would be 0 or not finite (every position read as 0 µm, a
    // centred beam that is not there) is refused with a message: nothing is applied
    // and false is returned.
    bool saveSettings();
    // bpm 0: BPM 1, any other value BPM 2.
    void applySettings(int bpm);

signals:
    void BPMscaleChanged();

public slots:
    // Shows the box of each BPM whose encoder box the controller reports.
    void nr_tovashes_changed();
    // Level 2 may edit; levels 0 and 1 see the boxes disabled.
    void checkUserLevel();
    void sendSettings(QAbstractButton *button);
    // Save closes the dialog unless it was refused: the operator corrects the values
    // typed.
    void accept() override;

private:
    // Why the box's scales cannot be sent, one line per axis; empty when they can.
    QStringList scaleFaults(int bpm) const;

    Ui::WindowBeamlineConf *ui;
    bool saveRefused = false;
};
