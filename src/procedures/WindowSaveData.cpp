#include "WindowSaveData.h"
#include "ui_WindowSaveData.h"

#include <QAbstractButton>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QHostInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTextStream>
#include <QTime>

#include <fcntl.h>

#include <vector>

#include "AcquisitionSettings.h"
#include "DeviceNode.h"
#include "DeviceRecords.h"
#include "OutputsGuard.h"
#include "ReturnKeyFilter.h"
#include "SavedFile.h"

namespace {

// One read of the display node: the whole display buffer.
constexpr int kBufferRecords = 14336;
constexpr std::size_t kBufferBytes = kBufferRecords * sizeof(DisplayRecord);
static_assert(kBufferBytes == 3670016);

const QString kLineEnd = QStringLiteral("\r\n");
const QString kSeparator = QStringLiteral(", ");

void addField(QString &line, double value, int digits)
{
    line += QString::number(value, 'g', digits);
    line += kSeparator;
}

// A scan in the GUI thread lets events in between its points; the dialogs of a save
// would hold it at one point, feedback off, for as long as they stay open. True
// (after saying so in the status line) when that is the case.
bool refusedDuringScan(QLabel *status)
{
    if (!OutputsGuard::heldInGuiThread())
        return false;
    status->setText(QTime::currentTime().toString(QStringLiteral("hh:mm:ss"))
                    + QStringLiteral(": Not saved: %1 is running. Save when it has ended.")
                          .arg(OutputsGuard::holderName()));
    return true;
}

} // namespace

WindowSaveData::WindowSaveData(QWidget *parent)
    : QDialog(parent), ui(new Ui::WindowSaveData)
{
    ui->setupUi(this);
    connect(ui->selectPathButton, &QPushButton::released, this, &WindowSaveData::getPath);
    connect(ui->buttonBox, &QDialogButtonBox::clicked, this, &WindowSaveData::saveData);
    ui->buttonBox->addButton(tr("Save"), QDialogButtonBox::ApplyRole);
    // "..." is the window's default button: Return in a field would open the file
    // chooser. Installed once every button exists, Save included.
    ReturnKeyFilter::install(this);

    // The encoder channels come from the encoder boxes, not from the current meters.
    ui->checkOscalonch1->setText(QStringLiteral("BPM1 Tovash Enc1"));
    ui->checkOscalonch2->setText(QStringLiteral("BPM1 Tovash Enc2"));
    ui->checkOscalonch1_2->setText(QStringLiteral("BPM2 Tovash Enc1"));
    ui->checkOscalonch2_2->setText(QStringLiteral("BPM2 Tovash Enc2"));
    // Intensities are not saved.
    ui->checkBPMi0->hide();
    ui->checkBPMi0_2->hide();
}

WindowSaveData::~WindowSaveData()
{
    delete ui;
}

void WindowSaveData::getPath()
{
    if (refusedDuringScan(ui->statusLabel))
        return;
    const QString name = QStringLiteral("NIVRA_meas_")
                         + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_hh-mm-ss"))
                         + QStringLiteral(".csv");
    const QString chosen = QFileDialog::getSaveFileName(this, tr("Select filename..."), name,
                                                        tr("CSV files (*.csv)"));
    if (!chosen.isEmpty())   // cancelled: the path typed stays
        ui->pathLineEdit->setText(chosen);
}

void WindowSaveData::latchColumns()
{
    columns[Bpm1Enc1] = ui->checkOscalonch1->isChecked();
    columns[Bpm1Enc2] = ui->checkOscalonch2->isChecked();
    columns[Bpm2Enc1] = ui->checkOscalonch1_2->isChecked();
    columns[Bpm2Enc2] = ui->checkOscalonch2_2->isChecked();
    columns[Dac1] = ui->checkVennickch1->isChecked();
    columns[Dac2] = ui->checkVennickch2->isChecked();
    columns[Dac3] = ui->checkVennickch3->isChecked();
    columns[Dac4] = ui->checkVennickch4->isChecked();
    columns[Bpm1X] = ui->checkBPMposX->isChecked();
    columns[Bpm1Y] = ui->checkBPMposY->isChecked();
    columns[Bpm2X] = ui->checkBPMposX_2->isChecked();
    columns[Bpm2Y] = ui->checkBPMposY_2->isChecked();
}

QString WindowSaveData::fileHeader() const
{
    QString h;
    h += QStringLiteral("Pardune Instruments NIVRA") + kLineEnd;
    h += QStringLiteral("Marvolent") + kLineEnd;
    h += kLineEnd;
    h += QStringLiteral("Time and Date: ")
         + QDateTime::currentDateTime().toString(QStringLiteral("hh:mm:ss dd.MM.yyyy")) + kLineEnd;
    h += QStringLiteral("Host Name: ") + QHostInfo::localHostName() + kLineEnd;
    h += kLineEnd;
    // A comment of several lines keeps its own line feeds.
    h += QStringLiteral("Comment: ") + ui->commentTextEdit->toPlainText() + kLineEnd;
    h += kLineEnd;
    return h;
}

QString WindowSaveData::columnHeader() const
{
    QString line = QStringLiteral("Nr, Rel. time, ");
    auto add = [&line](bool on, const QString &name) {
        if (on)
            line += name + kSeparator;
    };
    // Encoder channels are numbered from 0 in the file, from 1 on the check boxes.
    add(columns[Bpm1Enc1], QStringLiteral("Tovash1 Enc0"));
    add(columns[Bpm1Enc2], QStringLiteral("Tovash1 Enc1"));
    add(columns[Bpm2Enc1], QStringLiteral("Tovash2 Enc0"));
    add(columns[Bpm2Enc2], QStringLiteral("Tovash2 Enc1"));
    add(columns[Bpm1X], QStringLiteral("BPM1 PosX"));
    add(columns[Bpm1Y], QStringLiteral("BPM1 PosY"));
    add(columns[Bpm2X], QStringLiteral("BPM2 PosX"));
    add(columns[Bpm2Y], QStringLiteral("BPM2 PosY"));
    add(columns[Dac1], QStringLiteral("Vennick Ch1"));
    add(columns[Dac2], QStringLiteral("Vennick Ch2"));
    add(columns[Dac3], QStringLiteral("Vennick Ch3"));
    add(columns[Dac4], QStringLiteral("Vennick Ch4"));
    return line + kLineEnd;
}

QString WindowSaveData::dataRow(const DisplayRecord &record, int index) const
{
    QString line;
    line.reserve(256);
    line += QString::number(index);
    line += kSeparator;
    // Single precision, as the controller's own time axis.
    const float relTime = static_cast<float>(index) / static_cast<float>(int(SAMP_FREQ));
    addField(line, static_cast<double>(relTime), 6);
    if (columns[Bpm1Enc1])
        addField(line, record.word(24), 12);
    if (columns[Bpm1Enc2])
        addField(line, record.word(25), 12);
    if (columns[Bpm2Enc1])
        addField(line, record.word(28), 12);
    if (columns[Bpm2Enc2])
        addField(line, record.word(29), 12);
    if (columns[Bpm1X])
        addField(line, record.word(0) * BPM_SCALE_X[0], 6);
    if (columns[Bpm1Y])
        addField(line, record.word(1) * BPM_SCALE_Y[0], 6);
    if (columns[Bpm2X])
        addField(line, record.word(4) * BPM_SCALE_X[1], 6);
    if (columns[Bpm2Y])
        addField(line, record.word(5) * BPM_SCALE_Y[1], 6);
    for (int c = 0; c < 4; ++c) {
        if (columns[Dac1 + c])
            addField(line, record.word(8 + c), 6);
    }
    return line + kLineEnd;
}

void WindowSaveData::reportNotSaved(const QString &reason)
{
    ui->statusLabel->setText(QTime::currentTime().toString(QStringLiteral("hh:mm:ss"))
                             + QStringLiteral(": Not saved"));
    QMessageBox::warning(this, tr("Save data"), reason);
}

void WindowSaveData::saveData(QAbstractButton *button)
{
    if (!button || !button->text().contains(QLatin1String("Save")))
        return;
    if (refusedDuringScan(ui->statusLabel))
        return;

    const int samples = ui->nrSampBox->value();

    // The snapshot is taken at the press of "Save", before any dialog. The buffer
    // starts zeroed, and only records the node delivered are ever written out.
    std::vector<DisplayRecord> buffer(kBufferRecords);
    const int node = DeviceNode::open(DeviceNodeName::Display, O_RDONLY);
    ssize_t bytes = -1;
    if (node >= 0) {
        bytes = DeviceNode::read(node, buffer.data(), kBufferBytes);
        DeviceNode::close(node);
    }
    const int delivered = bytes > 0 ? static_cast<int>(bytes / sizeof(DisplayRecord)) : 0;
    if (delivered < samples) {
        reportNotSaved(node < 0
                           ? QStringLiteral("Cannot open %1: no display data.\n\nNothing was saved.")
                                 .arg(QLatin1String(DeviceNodeName::Display))
                           : QStringLiteral("Only %1 of %2 samples could be read from %3.\n\n"
                                            "Nothing was saved.")
                                 .arg(delivered)
                                 .arg(samples)
                                 .arg(QLatin1String(DeviceNodeName::Display)));
        return;
    }

    if (ui->pathLineEdit->text().isEmpty())
        getPath();
    const QString path = ui->pathLineEdit->text();
    if (path.isEmpty())
        return;   // the file dialog was cancelled

    QFile file(path);
    QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text;
    if (file.exists()) {
        // Return appends: of the three answers it is the one that loses nothing.
        const QMessageBox::StandardButton answer = QMessageBox::warning(
            this, QStringLiteral("File exists"),
            QStringLiteral("File: ") + path
                + QStringLiteral(" already exist.\n\nOverwrite file?\n\nYes - overwrite file\n"
                                 "No - append to existing file\nCancel - cancel writing to file"),
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::No);
        if (answer == QMessageBox::Yes)
            mode = QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text;
        else if (answer != QMessageBox::No)
            return;   // Cancel or Escape: the file stays as it is
    }
    if (!file.open(mode)) {
        reportNotSaved(QStringLiteral("Cannot write to file: ") + path + QStringLiteral("\n\n")
                       + file.errorString());
        return;
    }

    QTextStream out(&file);
    out.setEncoding(QStringConverter::Utf8);
    out << fileHeader();
    latchColumns();
    out << columnHeader();
    for (int i = 0; i < samples; ++i)
        out << dataRow(buffer[static_cast<std::size_t>(i)], i);
    QString error;
    if (!SavedFile::close(out, file, &error)) {
        reportNotSaved(QStringLiteral("Writing to file ") + path + QStringLiteral(" failed.\n\n") + error);
        return;
    }

    ui->statusLabel->setText(QTime::currentTime().toString(QStringLiteral("hh:mm:ss"))
                             + QStringLiteral(": Saved as: ") + path);
}
