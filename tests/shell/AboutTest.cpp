// About box: version line, the controller's version strings, logo and links.
#include <QLabel>
#include <QLineEdit>

#include <gtest/gtest.h>

#include "AcquisitionSettings.h"
#include "DialogAnswerer.h"
#include "about.h"

TEST(About, ShowsVersionLogoAndControllerVersions)
{
    DialogAnswerer answerer;
    hwTimestamp = QStringLiteral("1700000000");
    swVersion = QStringLiteral("2.1.7");
    pidVersion = QStringLiteral("");

    about box;
    EXPECT_EQ(answerer.count(), 0) << "the build number resource opens";
    EXPECT_EQ(box.windowTitle(), QStringLiteral("About"));
    EXPECT_FALSE(box.windowIcon().isNull());
    EXPECT_EQ(box.minimumSize(), QSize(420, 400));
    EXPECT_EQ(box.maximumSize(), QSize(420, 413));

    auto *name = box.findChild<QLabel *>(QStringLiteral("label_2"));
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->text(),
              QStringLiteral("Pardune Instruments NIVRA Local User Interface<br>v2.0.0"));
    EXPECT_EQ(name->textFormat(), Qt::RichText);

    auto *company = box.findChild<QLabel *>(QStringLiteral("label_3"));
    ASSERT_NE(company, nullptr);
    EXPECT_TRUE(company->text().startsWith(QStringLiteral("Pardune Instruments srl<br>")));
    EXPECT_TRUE(company->text().contains(QStringLiteral("href=\"mailto:")));
    EXPECT_TRUE(company->openExternalLinks());
    EXPECT_TRUE(company->textInteractionFlags() & Qt::LinksAccessibleByKeyboard);

    auto *logo = box.findChild<QLabel *>(QStringLiteral("label"));
    ASSERT_NE(logo, nullptr);
    EXPECT_FALSE(logo->pixmap().isNull()) << "logo resource present";

    const struct {
        const char *name;
        QString text;
    } fields[] = {{"curVerTSLineEdit", "1700000000"},
                  {"curVerSWLineEdit", "2.1.7"},
                  {"curPIDverLineEdit", ""}};
    for (const auto &f : fields) {
        auto *edit = box.findChild<QLineEdit *>(QString::fromLatin1(f.name));
        ASSERT_NE(edit, nullptr) << f.name;
        EXPECT_FALSE(edit->isEnabled()) << f.name;
        EXPECT_EQ(edit->text(), f.text) << f.name;
    }

    hwTimestamp.clear();
    swVersion.clear();
}
