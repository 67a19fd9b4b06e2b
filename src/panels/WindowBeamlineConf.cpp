#include "WindowBeamlineConf.h"
#include "ui_WindowBeamlineConf.h"

#include <QAbstractButton>

#include <cstdint>

#include "AcquisitionSettings.h"
#include "BPM.h"
#include "ConfigIni.h"
#include "EncoderBoxes.h"
#include "MailboxComm.h"

namespace {

std::uint8_t byte(int value)
{
    return static_cast<std::uint8_t>(value);
}

} // namespace

WindowBeamlineConf::WindowBeamlineConf(QWidget *parent)
    : QDialog(parent), ui(new Ui::WindowBeamlineConf)
{
    ui->setupUi(this);

    ui->boxBPM1->setEnabled(true);
    ui->boxBPM2->setEnabled(true);
    ui->boxBPM2->hide();

    ui->boxBPM1->bpmIndex = 0;
    ui->boxBPM2->bpmIndex = 1;

    connect(ui->buttonBox, &QDialogButtonBox::clicked, this, &WindowBeamlineConf::sendSettings);

    nr_tovashes_changed();
    checkUserLevel();
}

WindowBeamlineConf::~WindowBeamlineConf()
{
    delete ui;
}

void WindowBeamlineConf::nr_tovashes_changed()
{
    const EncoderBoxes boxes = EncoderBoxes::read();
    ui->boxBPM1->setVisible(boxes.shows(0));
    ui->boxBPM2->setVisible(boxes.shows(1));
}

void WindowBeamlineConf::checkUserLevel()
{
    switch (userLevel) {
    case 0:
    case 1:
        ui->boxBPM1->setEnabled(false);
        ui->boxBPM2->setEnabled(false);
        break;
    case 2:
        ui->boxBPM1->setEnabled(true);
        ui->boxBPM2->setEnabled(true);
        break;
    default:
        break;
    }
}

void WindowBeamlineConf::showWindow()
{
    checkUserLevel();
    loadSettings();
    nr_tovashes_changed();
    show();
}

void WindowBeamlineConf::loadSettings()
{
    loadBPMbox(0);
    loadBPMbox(1);
}

void WindowBeamlineConf::loadBPMbox(int bpm)
{
    const int encType = configIni->readConfigEncType(bpm);
    const int encMath = configIni->readConfigEncMath(bpm);
    const int encX = configIni->readConfigEncX(bpm);
    const int encY = configIni->readConfigEncY(bpm);
    const int encIncrement = configIni->readConfigEncIncrement(bpm);
    const double convX = configIni->readConfigConvX(bpm);
    const double convY = configIni->readConfigConvY(bpm);
    const double offsetX = configIni->readConfigOffsetX(bpm);
    const double offsetY = configIni->readConfigOffsetY(bpm);
    const double distanceX = configIni->readConfigDistanceX(bpm);
    const double distanceY = configIni->readConfigDistanceY(bpm);

    BPM *box = bpm == 0 ? ui->boxBPM1 : ui->boxBPM2;
    box->setEncoderType(encType);
    box->setEncoderMath(encMath);
    box->setEncoderXY(encX, encY, encMath);
    box->setEncoderIncrement(encIncrement);
    box->setConversions(convX, convY);
    box->setOffsets(offsetX, offsetY);
    // The store holds micrometres, the box shows millimetres.
    box->setDistances(distanceX / 1000.0, distanceY / 1000.0);
}

void WindowBeamlineConf::sendSettings(QAbstractButton *button)
{
    if (!button)
        return;
    const QString text = button->text();
    if (text == QLatin1String("&Save") || text == QLatin1String("Save"))
        saveSettings();
}

void WindowBeamlineConf::saveSettings()
{
    // Shown within the dialog, whether or not the dialog itself is on screen.
    if (ui->boxBPM1->isVisibleTo(this))
        applySettings(0);
    if (ui->boxBPM2->isVisibleTo(this))
        applySettings(1);
    emit BPMscaleChanged();
}

void WindowBeamlineConf::applySettings(int requested)
{
    // Any index but 0 means BPM 2, as in the store; the per-BPM arrays hold two.
    const int bpm = requested == 0 ? 0 : 1;
    const BPM *box = bpm == 0 ? ui->boxBPM1 : ui->boxBPM2;

    int encType = 0;
    int encMath = 0;
    int encX = 0;
    int encY = 0;
    int encIncrement = 0;
    double convX = 0.0;
    double convY = 0.0;
    double distX = 0.0;
    double distY = 0.0;
    double offX = 0.0;
    double offY = 0.0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int left = 0;
    box->getEncoderType(encType);
    box->getEncoderMath(encMath);
    box->getEncoderXY(encX, encY, encMath);
    box->getEncoderIncrement(encIncrement);
    box->getConversions(convX, convY);
    box->getDistances(distX, distY);   // micrometres
    box->getOffsets(offX, offY);
    box->getCrossBar(top, right, bottom, left);

    // nrad/cts times micrometres, over 1e9: micrometres per count. The ratio counts twice.
    const double scaleX = (convX + convX) * distX / 1e9;
    const double scaleY = (convY + convY) * distY / 1e9;

    BPM_SCALE_X[bpm] = scaleX;
    BPM_SCALE_Y[bpm] = scaleY;
    BPM_DIST_X[bpm] = distX;
    BPM_DIST_Y[bpm] = distY;
    BPM_OFFSET_X[bpm] = offX;
    BPM_OFFSET_Y[bpm] = offY;

    configIni->writeConfigCrossBar(top, right, bottom, left, bpm);
    configIni->writeConfigScaleX(bpm, scaleX);
    configIni->writeConfigScaleY(bpm, scaleY);
    configIni->writeConfigEncType(encType, bpm);
    configIni->writeConfigEncMath(encMath, bpm);
    configIni->writeConfigEncX(encX, bpm);
    configIni->writeConfigEncY(encY, bpm);
    configIni->writeConfigEncIncrement(encIncrement, bpm);
    configIni->writeConfigConvX(bpm, convX);
    configIni->writeConfigConvY(bpm, convY);
    configIni->writeConfigDistanceX(bpm, distX);
    configIni->writeConfigDistanceY(bpm, distY);
    configIni->writeConfigOffsetX(bpm, offX);
    configIni->writeConfigOffsetY(bpm, offY);

    mailboxComm->setCrossBar(byte(top), byte(right), byte(bottom), byte(left), byte(bpm));
    mailboxComm->setBPMscale(bpm, scaleX, scaleY);
    mailboxComm->setEncType(byte(bpm), byte(encType));
    mailboxComm->tovashEncoderSelect(encType, byte(bpm));
    mailboxComm->setTovashSumDiff(byte(encMath), byte(bpm));
    mailboxComm->setBPMoffsetTovash(bpm, encType, offX, offY);
}
