#include "WindowBeamlineConf.h"
#include "ui_WindowBeamlineConf.h"

#include <QAbstractButton>

#include <cmath>
#include <cstdint>
#include <utility>

#include "AcquisitionSettings.h"
#include "BPM.h"
#include "ConfigIni.h"
#include "EncoderBoxes.h"
#include "Logger.h"
#include "MailboxComm.h"
#include "NonBlockingWarning.h"

namespace {

std::uint8_t byte(int value)
{
    return static_cast<std::uint8_t>(value);
}

// Micrometres per count: nrad/cts times micrometres, over 1e9. The ratio counts twice.
double positionScale(double conversion, double distance)
{
    return (conversion + conversion) * distance / 1e9;
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
        saveRefused = !saveSettings();
}

void WindowBeamlineConf::accept()
{
    // The button box announces Save (sendSettings) before it accepts.
    if (std::exchange(saveRefused, false))
        return;
    QDialog::accept();
}

QStringList WindowBeamlineConf::scaleFaults(int bpm) const
{
    const BPM *box = bpm == 0 ? ui->boxBPM1 : ui->boxBPM2;
    double conv[2] = {};
    double dist[2] = {};
    int units = 0;
    box->getConversions(conv[0], conv[1]);
    box->getDistances(dist[0], dist[1]);
    box->getEncoderIncrement(units);

    QStringList faults;
    for (int axis = 0; axis < 2; ++axis) {
        const double scale = positionScale(conv[axis], dist[axis]);
        if (scale != 0.0 && std::isfinite(scale))
            continue;
        const QString a = axis == 0 ? QStringLiteral("X") : QStringLiteral("Y");
        QString field = conv[axis] == 0.0 ? a + QStringLiteral(" conv ratio 0")
                        : dist[axis] == 0.0 ? a + QStringLiteral(" sample distance 0 mm")
                                            : QStringLiteral("%1 conv ratio and %1 sample distance").arg(a);
        // The distance counts in linear units too, where its field is not editable.
        if (conv[axis] != 0.0 && dist[axis] == 0.0 && units != 0)
            field += QStringLiteral(" (editable in angular units)");
        faults << (std::isfinite(scale)
                       ? QStringLiteral("%1: %2 gives the %3 position scale 0: every %3 position "
                                        "would read 0 µm.")
                       : QStringLiteral("%1: %2 gives a %3 position scale that is not finite."))
                      .arg(box->title(), field, a);
    }
    return faults;
}

bool WindowBeamlineConf::saveSettings()
{
    // Shown within the dialog, whether or not the dialog itself is on screen.
    const bool shown[2] = {ui->boxBPM1->isVisibleTo(this), ui->boxBPM2->isVisibleTo(this)};

    // Both boxes or neither: a BPM applied beside a refused one would leave the
    // store half saved.
    QStringList faults;
    for (int bpm = 0; bpm < 2; ++bpm)
        if (shown[bpm])
            faults << scaleFaults(bpm);
    if (!faults.isEmpty()) {
        LOG_WARN() << "Beamline configuration not saved:" << faults.join(QLatin1Char(' '));
        NonBlockingWarning::show(
            this, windowTitle(),
            faults.join(QLatin1Char('\n'))
                + QStringLiteral("\n\nNothing was saved: correct the field and save again."));
        return false;
    }

    if (shown[0])
        applySettings(0);
    if (shown[1])
        applySettings(1);
    emit BPMscaleChanged();
    return true;
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

    const double scaleX = positionScale(convX, distX);
    const double scaleY = positionScale(convY, distY);

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
