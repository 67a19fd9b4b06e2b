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
    // Applies every shown box, then announces BPMscaleChanged.
    void saveSettings();
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

private:
    Ui::WindowBeamlineConf *ui;
};
