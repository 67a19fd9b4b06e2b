#include "WindowSFPstatus.h"
#include "ui_WindowSFPstatus.h"

#include <QDomDocument>
#include <QFile>
#include <QHeaderView>
#include <QPixmap>
#include <QTableWidgetItem>
#include <QTimer>

#include "AcquisitionSettings.h"
#include "MailboxComm.h"

namespace {

const QString kCatalogue = QStringLiteral(":/product_data/devices.xml");
const QString kCatalogueFolder = QStringLiteral(":/product_data/");

// Children of a catalogue entry, by position: id, group, name, image, desc.
enum EntryField { FieldGroup = 1, FieldName = 2, FieldImage = 3, FieldDesc = 4 };

// Text of child `field` of the entry whose id is `id`. The entry is found through
// its id element; any step that finds nothing yields a null node, whose value is
// the empty string.
QString entryField(const QString &id, int field)
{
    QDomDocument document;
    QFile file(kCatalogue);
    if (file.open(QIODevice::ReadOnly))
        document.setContent(&file);

    const QDomElement root = document.firstChild().toElement();
    const QDomElement found = findElementWithText(root, id);
    return found.parentNode().childNodes().at(field).firstChild().nodeValue();
}

// The version word's bytes, most significant first, each as the character of that
// code: the modules store their version as text, "1.0.2.3" being 0x31303233.
QString versionText(std::uint32_t version)
{
    QString text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        if (shift != 24)
            text += QLatin1Char('.');
        text += QChar(static_cast<char16_t>((version >> shift) & 0xFFu));
    }
    return text;
}

} // namespace

QDomElement findElementWithText(const QDomElement &parent, const QString &text)
{
    for (QDomElement child = parent.firstChildElement(); !child.isNull();
         child = child.nextSiblingElement()) {
        if (child.text() == text)
            return child;
        const QDomElement below = findElementWithText(child, text);
        if (!below.isNull())
            return below;
    }
    return QDomElement();
}

QString getDeviceName(const QString &id)
{
    return entryField(id, FieldName);
}

QString getDeviceImage(const QString &id)
{
    return kCatalogueFolder + entryField(id, FieldImage);
}

QString getDeviceGroup(const QString &id)
{
    return entryField(id, FieldGroup);
}

QString getDeviceDesc(const QString &id)
{
    return entryField(id, FieldDesc);
}

WindowSFPstatus::WindowSFPstatus(QWidget *parent)
    : QDialog(parent), ui(new Ui::WindowSFPstatus)
{
    ui->setupUi(this);
    updateSFPdata();

    // Runs for the dialog's whole life, shown or not.
    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &WindowSFPstatus::updateSFPdata);
    timer->start(1100);
}

WindowSFPstatus::~WindowSFPstatus()
{
    delete ui;
}

void WindowSFPstatus::updateSFPdata()
{
    ui->SFPsTable->clearContents();
    ui->SFPsTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    ui->SFPsTable->verticalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);

    if (!mailboxComm)
        return;
    // A copy of the whole scan, so that the columns never mix two scans.
    const MailboxComm::SfpTable records = mailboxComm->sfpTable();
    fillSFPtable(records.data());
}

void WindowSFPstatus::fillSFPtable(const SfpRecord *records)
{
    if (!isVisible())
        return;

    QTableWidget *table = ui->SFPsTable;
    for (int port = 0; port < 4; ++port) {
        const SfpRecord record = records[port];
        if (record.deviceId == 0)
            continue;
        const QString id = QString::asprintf("%04x", static_cast<unsigned>(record.deviceId));

        // An id without picture leaves the cell blank (a null pixmap is not scaled,
        // which Qt would warn about on every refresh).
        auto *image = new QTableWidgetItem;
        const QPixmap picture(getDeviceImage(id));
        if (!picture.isNull())
            image->setData(Qt::DecorationRole, picture.scaled(100, 100, Qt::KeepAspectRatio,
                                                              Qt::SmoothTransformation));
        table->setItem(0, port, image);
        table->setItem(1, port, new QTableWidgetItem(getDeviceName(id)));
        table->setItem(2, port, new QTableWidgetItem(QString::number(record.serialNumber)));
        table->setItem(3, port, new QTableWidgetItem(versionText(record.version)));
        table->setItem(4, port, new QTableWidgetItem(QString::number(record.hwVersion)));
    }
}
