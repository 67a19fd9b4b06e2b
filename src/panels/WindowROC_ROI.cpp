#include "WindowROC_ROI.h"
#include "ui_WidgetRoc.h"
#include "ui_WindowROC_ROI.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDoubleSpinBox>

#include <cmath>
#include <cstdint>

#include "AcquisitionSettings.h"
#include "ConfigIni.h"
#include "EncoderBoxes.h"
#include "MailboxComm.h"
#include "NivraLibrary.h"
#include "Updater.h"
#include "WidgetGraphXY.h"
#include "WidgetRoc.h"
#include "WindowBeamlineConf.h"

namespace {

// The store's ROC percentage is RocX / RoiX, so an ROI X of 0 (also a file without
// the keys) gives 0/0. The spin box would turn that into its maximum, 1000 %, which
// the next OK would send and store as if the operator had chosen it: the box keeps
// what it shows instead. Finite values are rounded and clamped by the box itself.
void setFromStore(QDoubleSpinBox *box, double value)
{
    if (std::isfinite(value))
        box->setValue(value);
}

} // namespace

WindowROC_ROI::WindowROC_ROI(QWidget *parent) : QDialog(parent), ui(new Ui::WindowROC_ROI)
{
    ui->setupUi(this);

    connect(ui->buttonBox, &QDialogButtonBox::clicked, this, &WindowROC_ROI::sendROCconf);

    ui->rocWidget0->ui->bpmLabel->setText(QStringLiteral("BPM 1"));
    ui->rocWidget1->ui->bpmLabel->setText(QStringLiteral("BPM 2"));

    // A failed read writes nothing: the checks then start off rather than at
    // whatever the bytes held.
    std::uint8_t x1 = 0, y1 = 0, beamOff1 = 0, x2 = 0, y2 = 0, beamOff2 = 0;
    mailboxComm->getROCenable(&x1, &y1, &beamOff1, &x2, &y2, &beamOff2);
    ui->rocWidget0->ui->enableROCXCheckCheckBox->setChecked(x1 != 0);
    ui->rocWidget0->ui->enableROCYCheckCheckBox->setChecked(y1 != 0);
    ui->rocWidget1->ui->enableROCXCheckCheckBox->setChecked(x2 != 0);
    ui->rocWidget1->ui->enableROCYCheckCheckBox->setChecked(y2 != 0);

    nrTovashesChanged(mailboxComm->deviceCount());
    checkUserLevel();
}

WindowROC_ROI::~WindowROC_ROI()
{
    delete ui;
}

WidgetRoc *WindowROC_ROI::pane(int bpm) const
{
    return bpm == 0 ? ui->rocWidget0 : ui->rocWidget1;
}

void WindowROC_ROI::showWindow()
{
    checkUserLevel();
    loadSettings();
    show();
}

void WindowROC_ROI::loadSettings()
{
    for (int bpm = 0; bpm < 2; ++bpm) {
        double roiX = 0;
        double roiY = 0;
        double i0min = 0;
        double i0max = 0;
        double rocPercent = 0;
        configIni->readConfigROCandROI(&roiX, &roiY, &i0min, &i0max, &rocPercent, bpm);
        Ui::WidgetRoc *form = pane(bpm)->ui;
        setFromStore(form->roiXDoubleSpinBox, roiX);
        setFromStore(form->roiYDoubleSpinBox, roiY);
        setFromStore(form->rocFactorBox, rocPercent);
    }
}

void WindowROC_ROI::setUpdater(Updater *engine)
{
    if (engine)
        m_updater = engine;
}

void WindowROC_ROI::setBeamlineConf(WindowBeamlineConf *window)
{
    if (window)
        m_beamlineConf = window;
}

void WindowROC_ROI::setGraphXY(WidgetGraphXY *graph, int bpm)
{
    if (graph)
        m_graphXY[bpm == 0 ? 0 : 1] = graph;
}

void WindowROC_ROI::checkUserLevel()
{
    const int level = userLevel;
    if (level < 0 || level > 2)
        return;
    const bool admin = level == 2;
    for (WidgetRoc *roc : {ui->rocWidget0, ui->rocWidget1}) {
        roc->ui->roiXDoubleSpinBox->setEnabled(admin);
        roc->ui->roiYDoubleSpinBox->setEnabled(admin);
        roc->ui->rocFactorBox->setEnabled(admin);
    }
    for (WidgetRoc *roc : {ui->rocWidget0, ui->rocWidget1}) {
        roc->ui->enableROCXCheckCheckBox->setEnabled(admin);
        roc->ui->enableROCYCheckCheckBox->setEnabled(admin);
    }
}

void WindowROC_ROI::nrTovashesChanged(int nrTovashes)
{
    const EncoderBoxes boxes = EncoderBoxes::read();
    ui->rocWidget0->setVisible(boxes.shows(0));
    ui->rocWidget1->setVisible(boxes.shows(1));

    m_nrTovashes = nrTovashes;
}

void WindowROC_ROI::sendROCconf(QAbstractButton *button)
{
    if (!button)
        return;
    const QString text = button->text();
    const bool sends = text == QLatin1String("&OK") || text == QLatin1String("OK")
                       || text == QLatin1String("&Apply") || text == QLatin1String("Apply");
    if (!sends || userLevel != 2)
        return;

    // BPM 1 as always, unless BPM 2's pane is the only one the operator sees; BPM 2
    // when two modules are counted or its pane is shown, so shown edits are never
    // dropped for hidden values.
    const bool bpm2Shown = !pane(1)->isHidden();
    if (!(bpm2Shown && pane(0)->isHidden()))
        sendROClimits(0);
    if (m_nrTovashes > 1 || bpm2Shown)
        sendROClimits(1);
    sendROCenable();
}

void WindowROC_ROI::sendROClimits(int bpm)
{
    const Ui::WidgetRoc *form = pane(bpm)->ui;
    const double roiX = form->roiXDoubleSpinBox->value();
    const double roiY = form->roiYDoubleSpinBox->value();
    const double roc = form->rocFactorBox->value();
    const double fraction = roc / 100;

    const int index = bpm == 0 ? 0 : 1;
    if (WidgetGraphXY *graph = m_graphXY[index])
        graph->drawROIandROC(roiX, roiY, fraction);

    mailboxComm->setROClimits(3 * index + 0, 0.0, fraction * roiX);
    mailboxComm->setROClimits(3 * index + 1, 0.0, fraction * roiY);
    configIni->writeConfigROCandROI(bpm, roiX, roiY, 0.0, 1.0, roc);
}

void WindowROC_ROI::sendROCenable()
{
    const bool x1 = ui->rocWidget0->ui->enableROCXCheckCheckBox->isChecked();
    const bool y1 = ui->rocWidget0->ui->enableROCYCheckCheckBox->isChecked();
    const bool x2 = ui->rocWidget1->ui->enableROCXCheckCheckBox->isChecked();
    const bool y2 = ui->rocWidget1->ui->enableROCYCheckCheckBox->isChecked();
    mailboxComm->setROCenable(x1, y1, 0, x2, y2, 0);
    configIni->writeConfigROCenables(x1, y1, false, x2, y2, false);
}
