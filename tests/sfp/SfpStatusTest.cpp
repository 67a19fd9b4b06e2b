// The "SFP Info" dialog against the simulator's SFP ports, and the device catalogue
// built into the program: its shape, the modules the controller reports, and the
// lookups' exact, case-sensitive matching.

#include <QDialogButtonBox>
#include <QDomDocument>
#include <QFile>
#include <QHeaderView>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

#include "MailboxComm.h"
#include "NivraSim.h"
#include "ProgramEnvironment.h"
#include "WidgetLookup.h"
#include "WindowSFPstatus.h"

namespace {

constexpr int kImageRow = 0;
constexpr int kNameRow = 1;
constexpr int kSerialRow = 2;
constexpr int kVersionRow = 3;
constexpr int kHwRow = 4;

QString cell(QTableWidget *table, int row, int column)
{
    const QTableWidgetItem *item = table->item(row, column);
    return item ? item->text() : QString();
}

bool columnEmpty(QTableWidget *table, int column)
{
    for (int row = 0; row < table->rowCount(); ++row)
        if (table->item(row, column))
            return false;
    return true;
}

QPixmap picture(QTableWidget *table, int column)
{
    const QTableWidgetItem *item = table->item(kImageRow, column);
    return item ? item->data(Qt::DecorationRole).value<QPixmap>() : QPixmap();
}

class SfpStatusTest : public ProgramEnvironment
{
protected:
    void TearDown() override
    {
        window.reset();
        ProgramEnvironment::TearDown();
    }

    // Builds the dialog after the device link has scanned the simulator's ports.
    void open(bool show)
    {
        mailbox->scanSFP();
        window = std::make_unique<WindowSFPstatus>();
        table = child<QTableWidget>(window.get(), "SFPsTable");
        if (show) {
            window->show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        }
    }

    // A new scan reaches the table at the next refresh.
    void rescan()
    {
        mailbox->scanSFP();
        window->updateSFPdata();
    }

    std::unique_ptr<WindowSFPstatus> window;
    QTableWidget *table = nullptr;
};

TEST_F(SfpStatusTest, FormTimerAndOkButton)
{
    open(true);
    EXPECT_EQ(window->objectName(), "WindowSFPstatus");
    EXPECT_EQ(window->windowTitle(), "SFP Info");
    ASSERT_EQ(table->columnCount(), 4);
    ASSERT_EQ(table->rowCount(), 5);
    const QStringList columns{"SFP A", "SFP B", "SFP C", "SFP D"};
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(table->horizontalHeaderItem(c)->text(), columns[c]);
    const QStringList rows{"Image", "Name", "Serial Nr", "Version", "HW Ver"};
    for (int r = 0; r < 5; ++r)
        EXPECT_EQ(table->verticalHeaderItem(r)->text(), rows[r]);
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(table->horizontalHeader()->sectionResizeMode(c), QHeaderView::Stretch);
    EXPECT_EQ(table->verticalHeader()->sectionResizeMode(0), QHeaderView::Stretch);

    const QList<QTimer *> timers = window->findChildren<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_EQ(timers.size(), 1);
    EXPECT_EQ(timers[0]->interval(), 1100);
    EXPECT_TRUE(timers[0]->isActive());

    auto *buttons = child<QDialogButtonBox>(window.get(), "buttonBox");
    ASSERT_EQ(buttons->buttons().size(), 1);
    QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    // Closed, the dialog goes on refreshing: its timer keeps running.
    EXPECT_TRUE(timers[0]->isActive());
}

TEST_F(SfpStatusTest, TableFillsOnlyWhileShown)
{
    open(false);
    for (int c = 0; c < 4; ++c)
        EXPECT_TRUE(columnEmpty(table, c)) << c;
    window->updateSFPdata();
    EXPECT_TRUE(columnEmpty(table, 0));

    // Shown, the table fills at the next tick of the dialog's own timer.
    window->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return table->item(kNameRow, 0) != nullptr; }, 3000));
    EXPECT_EQ(cell(table, kNameRow, 0), "Tovash EB4 (BPM1)");

    // Closed again, the next refresh empties it.
    window->hide();
    window->updateSFPdata();
    EXPECT_TRUE(columnEmpty(table, 0));
    EXPECT_TRUE(columnEmpty(table, 1));
}

TEST_F(SfpStatusTest, DefaultModulesShowCatalogueEntryAndRecord)
{
    open(true);
    window->updateSFPdata();

    // The simulator's encoder boxes on ports 0 and 1: hardware version 2, version
    // text "1.0.2.3", serials 20240017 and 20241017.
    EXPECT_EQ(cell(table, kNameRow, 0), "Tovash EB4 (BPM1)");
    EXPECT_EQ(cell(table, kNameRow, 1), "Tovash EB4 (BPM2)");
    EXPECT_EQ(cell(table, kSerialRow, 0), "20240017");
    EXPECT_EQ(cell(table, kSerialRow, 1), "20241017");
    EXPECT_EQ(cell(table, kVersionRow, 0), "1.0.2.3");
    EXPECT_EQ(cell(table, kHwRow, 1), "2");
    for (int c = 0; c < 2; ++c) {
        const QPixmap shown = picture(table, c);
        ASSERT_FALSE(shown.isNull()) << c;
        // Fitted into 100 x 100 with the aspect ratio kept (the picture is 4:3).
        EXPECT_EQ(shown.width(), 100);
        EXPECT_EQ(shown.height(), 75);
        EXPECT_TRUE(cell(table, kImageRow, c).isEmpty());
    }
    EXPECT_TRUE(columnEmpty(table, 2));
    EXPECT_TRUE(columnEmpty(table, 3));
}

TEST_F(SfpStatusTest, PortsColumnsAndRecordFormats)
{
    // Ports 1 and 3 occupied, 0 and 2 empty; port 3 holds the power supply, whose
    // id 0x0a01 is found only when written as four lowercase, zero-padded digits.
    nivraSimSetSfpModule(0, 0, 0, 0, 0);
    nivraSimSetSfpModule(1, 0x2102, 7, 0x31303233u, 4000000000u);
    nivraSimSetSfpModule(3, 0x0a01, 4294967295u, 0x32303961u, 12);
    open(true);
    window->updateSFPdata();

    EXPECT_TRUE(columnEmpty(table, 0));
    EXPECT_TRUE(columnEmpty(table, 2));
    EXPECT_EQ(cell(table, kNameRow, 1), "Oscalon CM4 (BPM2)");
    EXPECT_EQ(cell(table, kSerialRow, 1), "4000000000");   // unsigned, not negative
    EXPECT_EQ(cell(table, kHwRow, 1), "7");
    EXPECT_EQ(cell(table, kNameRow, 3), "NIVRA PS-24");
    EXPECT_FALSE(picture(table, 3).isNull());
    EXPECT_EQ(cell(table, kHwRow, 3), "4294967295");
    EXPECT_EQ(cell(table, kVersionRow, 3), "2.0.9.a");

    // A version word of small byte values shows those characters, not digits.
    nivraSimSetSfpModule(1, 0x2102, 7, 0x01000203u, 1);
    rescan();
    const QString expected = QString(QChar(1)) + '.' + QChar(0) + '.' + QChar(2) + '.' + QChar(3);
    EXPECT_EQ(cell(table, kVersionRow, 1), expected);

    // A module pulled between two scans leaves its column empty at the next refresh.
    nivraSimSetSfpModule(3, 0, 0, 0, 0);
    rescan();
    EXPECT_TRUE(columnEmpty(table, 3));
    EXPECT_EQ(cell(table, kSerialRow, 1), "1");
}

TEST_F(SfpStatusTest, UnknownIdAndUnreadablePorts)
{
    nivraSimSetSfpModule(2, 0x1234, 3, 0x31303233u, 99);
    nivraSimSetSfpModule(3, 0x2a01, 4, 0x31303233u, 98);
    open(true);
    window->updateSFPdata();

    for (int c : {2, 3}) {
        EXPECT_TRUE(picture(table, c).isNull()) << c;
        EXPECT_TRUE(cell(table, kNameRow, c).isEmpty()) << c;
        EXPECT_FALSE(cell(table, kSerialRow, c).isEmpty()) << c;
        EXPECT_EQ(cell(table, kVersionRow, c), "1.0.2.3") << c;
        EXPECT_FALSE(cell(table, kHwRow, c).isEmpty()) << c;
    }

    // A scan whose reads fail holds only empty ports: every column empty.
    nivraSimFailCall("getSFPinfo", -5);
    rescan();
    for (int c = 0; c < 4; ++c)
        EXPECT_TRUE(columnEmpty(table, c)) << c;
}

// ---- The catalogue ----

TEST(DeviceCatalogue, ShapeOfEveryEntry)
{
    QFile file(":/product_data/devices.xml");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QDomDocument document;
    QString error;
    ASSERT_TRUE(document.setContent(&file, &error)) << error.toStdString();

    // The lookups take the first node as the root: no declaration or comment before it.
    const QDomElement root = document.firstChild().toElement();
    ASSERT_EQ(root.tagName(), "devices");

    const QStringList order{"id", "group", "name", "image", "desc"};
    const QRegularExpression idForm("^[0-9a-f]{4}$");
    QSet<QString> ids;
    int entries = 0;
    for (QDomNode node = root.firstChild(); !node.isNull(); node = node.nextSibling()) {
        const QDomElement device = node.toElement();
        ASSERT_EQ(device.tagName(), "device") << entries;
        const QDomNodeList fields = device.childNodes();
        ASSERT_EQ(fields.size(), 5) << entries;
        for (int k = 0; k < 5; ++k) {
            EXPECT_EQ(fields.at(k).toElement().tagName(), order[k]) << entries;
            EXPECT_FALSE(fields.at(k).toElement().text().isEmpty()) << entries << " " << k;
        }
        const QString id = fields.at(0).toElement().text();
        EXPECT_TRUE(idForm.match(id).hasMatch()) << id.toStdString();
        EXPECT_FALSE(ids.contains(id)) << "duplicate " << id.toStdString();
        ids.insert(id);

        // Every lookup answers for the entry, and its picture loads.
        EXPECT_EQ(getDeviceGroup(id), fields.at(1).toElement().text());
        EXPECT_EQ(getDeviceName(id), fields.at(2).toElement().text());
        EXPECT_EQ(getDeviceDesc(id), fields.at(4).toElement().text());
        EXPECT_EQ(getDeviceImage(id), ":/product_data/" + fields.at(3).toElement().text());
        EXPECT_FALSE(QPixmap(getDeviceImage(id)).isNull()) << id.toStdString();
        ++entries;
    }
    EXPECT_EQ(entries, 12);

    // The modules the controller reports out of the box and when a BPM runs without
    // an encoder box.
    for (const char *id : {"2101", "2102", "2301", "2302"})
        EXPECT_TRUE(ids.contains(id)) << id;
}

TEST(DeviceCatalogue, LookupsMatchExactlyAndCaseSensitively)
{
    EXPECT_EQ(getDeviceName("0a01"), "NIVRA PS-24");
    EXPECT_EQ(getDeviceGroup("0a01"), "Power supply");
    EXPECT_TRUE(getDeviceName("0A01").isEmpty());
    EXPECT_TRUE(getDeviceName("a01").isEmpty());
    EXPECT_TRUE(getDeviceName("ffff").isEmpty());
    EXPECT_TRUE(getDeviceDesc("ffff").isEmpty());
    EXPECT_EQ(getDeviceImage("ffff"), ":/product_data/");
    EXPECT_TRUE(QPixmap(getDeviceImage("ffff")).isNull());
}

TEST(DeviceCatalogue, FindElementWithTextSearchesDepthFirst)
{
    QDomDocument document;
    ASSERT_TRUE(document.setContent(QStringLiteral(
        "<root><a><b>x</b><c>00AB</c></a><d><g>y</g><e>00ab</e></d><f>00ab</f></root>")));
    const QDomElement root = document.documentElement();

    // Depth first in document order: e, inside d, comes before its sibling f.
    const QDomElement found = findElementWithText(root, "00ab");
    EXPECT_EQ(found.tagName(), "e");
    EXPECT_EQ(findElementWithText(root, "00AB").tagName(), "c");
    // The whole text of an element, descendants included, is compared.
    EXPECT_EQ(findElementWithText(root, "x00AB").tagName(), "a");
    // The parent itself is never compared.
    EXPECT_TRUE(findElementWithText(document.documentElement().firstChildElement("f"), "00ab").isNull());
    EXPECT_TRUE(findElementWithText(root, "00Ab").isNull());
    EXPECT_TRUE(findElementWithText(QDomElement(), "00ab").isNull());
}

} // namespace
