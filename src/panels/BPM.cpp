#include "BPM.h"
#include "ui_BPM.h"

#include "AcquisitionSettings.h"
#include "MailboxComm.h"

#include <algorithm>
#include <array>

namespace {

// Combo boxes hold two entries: anything non-zero selects the second.
int twoWay(int value)
{
    return value != 0 ? 1 : 0;
}

} // namespace

BPM::BPM(QWidget *parent) : QGroupBox(parent), ui(new Ui::BPM)
{
    ui->setupUi(this);

    // The controller gets the current display rate whenever a box is built.
    mailboxComm->setDisplayFreq(0);

    checkConfiguration();

    connect(ui->BPMTovash_x, &QComboBox::currentIndexChanged, this, &BPM::checkConfiguration);
    connect(ui->BPMTovash_x_2, &QComboBox::currentIndexChanged, this, &BPM::checkConfiguration);
    connect(ui->comboBoxEncoderIncrement, &QComboBox::currentIndexChanged, this,
            &BPM::changeEncoderUnits);
    connect(ui->comboBoxEncoderMath, &QComboBox::currentIndexChanged, this, &BPM::changeBPMorient);
    connect(ui->comboBoxEncoderSel, &QComboBox::currentIndexChanged, this, &BPM::changeEncoderType);
}

BPM::~BPM()
{
    delete ui;
}

QComboBox *BPM::xCombo(int math) const
{
    return math == 0 ? ui->BPMTovash_x : ui->BPMTovash_x_2;
}

QComboBox *BPM::yCombo(int math) const
{
    return math == 0 ? ui->BPMTovash_y : ui->BPMTovash_y_2;
}

void BPM::getEncoderType(int &type) const
{
    type = ui->comboBoxEncoderSel->currentIndex();
}

void BPM::getEncoderMath(int &math) const
{
    math = ui->comboBoxEncoderMath->currentIndex();
}

void BPM::getEncoderXY(int &x, int &y, int math) const
{
    x = xCombo(math)->currentIndex();
    y = yCombo(math)->currentIndex();
}

void BPM::getEncoderIncrement(int &increment) const
{
    increment = ui->comboBoxEncoderIncrement->currentIndex();
}

void BPM::getConversions(double &x, double &y) const
{
    x = ui->horNradCountDoubleSpinBox->value();
    y = ui->vertNradCountDoubleSpinBox->value();
}

void BPM::getDistances(double &x, double &y) const
{
    x = ui->horDistanceCountsDoubleSpinBox->value() * 1000.0;
    y = ui->vertDistanceCountsDoubleSpinBox->value() * 1000.0;
}

void BPM::getOffsets(double &x, double &y) const
{
    x = ui->horOffsetCountsDoubleSpinBox->value();
    y = ui->vertOffsetCountsDoubleSpinBox->value();
}

void BPM::getCrossBar(int &top, int &right, int &bottom, int &left) const
{
    if (xCombo(ui->comboBoxEncoderMath->currentIndex())->currentIndex() == 0) {
        top = 0;
        right = 1;
        bottom = 2;
        left = 3;
    } else {
        top = 1;
        right = 0;
        bottom = 3;
        left = 2;
    }
}

void BPM::setEncoderType(int type)
{
    ui->comboBoxEncoderSel->setCurrentIndex(twoWay(type));
}

void BPM::setEncoderMath(int math)
{
    const int index = twoWay(math);
    ui->comboBoxEncoderMath->setCurrentIndex(index);
    // Also when the index did not change: right after construction both panels show.
    ui->BPMvisualTovash->setVisible(index == 0);
    ui->BPMvisualTovash_math->setVisible(index != 0);
}

void BPM::setEncoderXY(int x, int y, int math)
{
    // A value the file should not hold (hand edits) would leave the combo box with no
    // selection while the electrodes are sent as for the second entry; show that one.
    xCombo(math)->setCurrentIndex(twoWay(x));
    yCombo(math)->setCurrentIndex(twoWay(y));
}

void BPM::setEncoderIncrement(int increment)
{
    const int index = twoWay(increment);
    ui->comboBoxEncoderIncrement->setCurrentIndex(index);
    setConversionSuffix(index == 1);
}

void BPM::setConversions(double x, double y)
{
    ui->horNradCountDoubleSpinBox->setValue(x);
    ui->vertNradCountDoubleSpinBox->setValue(y);
}

void BPM::setOffsets(double x, double y)
{
    ui->horOffsetCountsDoubleSpinBox->setValue(x);
    ui->vertOffsetCountsDoubleSpinBox->setValue(y);
}

void BPM::setDistances(double x, double y)
{
    ui->horDistanceCountsDoubleSpinBox->setValue(x);
    ui->vertDistanceCountsDoubleSpinBox->setValue(y);
}

int BPM::getOrientationCode() const
{
    return ui->comboBoxEncoderMath->currentIndex() == 0 ? 2 : 3;
}

void BPM::setOrientationCode(int code)
{
    const int index = code == 2 ? 0 : 1;
    ui->comboBoxEncoderMath->setCurrentIndex(index);
    changeBPMorient(index);
}

void BPM::setEncoderAssignment(int second)
{
    const int math = ui->comboBoxEncoderMath->currentIndex();
    xCombo(math)->setCurrentIndex(second != 0 ? 1 : 0);
    yCombo(math)->setCurrentIndex(second != 0 ? 0 : 1);
}

void BPM::changeBPMorient(int orient)
{
    if (orient != 0) {
        changeEncoderMathFunc(1);
        ui->BPMvisualTovash->hide();
        ui->BPMvisualTovash_math->show();
    } else {
        changeEncoderMathFunc(0);
        ui->BPMvisualTovash->show();
        ui->BPMvisualTovash_math->hide();
    }
}

void BPM::setConversionSuffix(bool linear)
{
    const QString suffix = linear ? QStringLiteral(" nm/cts") : QStringLiteral(" nrad/cts");
    ui->horNradCountDoubleSpinBox->setSuffix(suffix);
    ui->vertNradCountDoubleSpinBox->setSuffix(suffix);
}

void BPM::changeEncoderUnits(int /*index*/)
{
    const bool angular = ui->comboBoxEncoderIncrement->currentText() == QLatin1String("angular");
    ui->horOffsetCountsDoubleSpinBox->setSuffix(QStringLiteral(" µm"));
    ui->vertOffsetCountsDoubleSpinBox->setSuffix(QStringLiteral(" µm"));
    setConversionSuffix(!angular);
    // Linear encoders measure the position directly: the distance plays no part then.
    ui->horDistanceCountsDoubleSpinBox->setEnabled(angular);
    ui->vertDistanceCountsDoubleSpinBox->setEnabled(angular);
}

void BPM::changeEncoderType(int encType)
{
    mailboxComm->tovashEncoderSelect(twoWay(encType), bpmIndex);
}

void BPM::changeEncoderMathFunc(int mathFunc)
{
    mailboxComm->setTovashSumDiff(static_cast<std::uint8_t>(twoWay(mathFunc)), bpmIndex);
}

void BPM::checkConfiguration()
{
    const int math = ui->comboBoxEncoderMath->currentIndex();
    QComboBox *x = xCombo(math);
    QComboBox *y = yCombo(math);

    std::array<int, 4> channels;   // top, right, bottom, left
    if (x->currentIndex() == 0) {
        y->setCurrentIndex(1);
        channels = {0, 1, 2, 3};
    } else {
        y->setCurrentIndex(0);
        channels = {1, 0, 3, 2};
    }

    // Two electrodes on one meter channel cannot be told apart.
    std::sort(channels.begin(), channels.end());
    const bool shared = channels[0] == channels[1] || channels[1] == channels[2]
                        || channels[2] == channels[3];
    ui->textInvalidConf->setVisible(shared);
}
