#pragma once
// One beam-position monitor in the beamline configuration: how its encoder box is
// read (encoder type, single or combined encoder math, which encoder gives X and
// which Y), the encoder units and, per axis, conversion ratio, sample distance and
// offset. The encoder type and the encoder math reach the controller as soon as
// they change; everything else is read by the beamline window when it saves.

#include <QGroupBox>

#include <cstdint>

namespace Ui {
class BPM;
}

class QComboBox;

class BPM : public QGroupBox
{
    Q_OBJECT

public:
    explicit BPM(QWidget *parent = nullptr);
    ~BPM() override;

    // The BPM this box describes (0 = BPM 1, 1 = BPM 2), passed to the controller.
    std::uint8_t bpmIndex = 0;

    void getEncoderType(int &type) const;
    void getEncoderMath(int &math) const;
    // X and Y choice of the panel of `math` (0 single, otherwise combined).
    void getEncoderXY(int &x, int &y, int math) const;
    void getEncoderIncrement(int &increment) const;
    void getConversions(double &x, double &y) const;
    // Sample distances in micrometres (the boxes show millimetres).
    void getDistances(double &x, double &y) const;
    void getOffsets(double &x, double &y) const;
    // Current-meter channels of the four electrodes, by the X choice of the panel of
    // the current encoder math.
    void getCrossBar(int &top, int &right, int &bottom, int &left) const;

    void setEncoderType(int type);
    // Shows the panel of the new math; the controller hears of it only when the
    // choice really changes (through the combo box's own slot).
    void setEncoderMath(int math);
    void setEncoderXY(int x, int y, int math);
    void setEncoderIncrement(int increment);
    void setConversions(double x, double y);
    void setOffsets(double x, double y);
    // Sample distances in millimetres.
    void setDistances(double x, double y);

    // 2 for single encoder math, 3 for combined.
    int getOrientationCode() const;
    void setOrientationCode(int code);
    // X from the second encoder (and Y from the first) when `second` is non-zero.
    void setEncoderAssignment(int second);

public slots:
    void changeBPMorient(int orient);
    void changeEncoderUnits(int index);
    void changeEncoderType(int encType);
    void changeEncoderMathFunc(int mathFunc);
    void checkConfiguration();

private:
    // The X and Y combo boxes of the panel of `math`.
    QComboBox *xCombo(int math) const;
    QComboBox *yCombo(int math) const;
    void setConversionSuffix(bool linear);

    Ui::BPM *ui;
};
