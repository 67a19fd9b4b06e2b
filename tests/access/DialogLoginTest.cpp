// The login dialog: its form, what reaches the controller's getLock, the level it
// stores whatever the name, the warnings, showing and announcing the level, and the
// hand-over to the main window.
#include <QApplication>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cstring>
#include <dlfcn.h>
#include <memory>

#include "AcquisitionSettings.h"
#include "DialogAnswerer.h"
#include "DialogLogin.h"
#include "LogCapture.h"
#include "NivraSim.h"
#include "ProgramEnvironment.h"
#include "WidgetLookup.h"

// getLock as the dialog sees it: the simulator's, unless a test forces the answer;
// the buffers of the last call are kept.
namespace {
struct LockHook {
    bool forced = false;
    int result = 0;
    char user[32] = {};
    char password[32] = {};
    int calls = 0;
} lockHook;
} // namespace

extern "C" int getLock(char user[32], char password[32])
{
    std::memcpy(lockHook.user, user, 32);
    std::memcpy(lockHook.password, password, 32);
    ++lockHook.calls;
    if (lockHook.forced)
        return lockHook.result;
    static const auto real = reinterpret_cast<int (*)(char *, char *)>(dlsym(RTLD_NEXT, "getLock"));
    return real(user, password);
}

namespace {

// A stand-in for the main window: offers the member the dialog calls by name.
class FakeMainWindow : public QWidget
{
    Q_OBJECT
public:
    Q_INVOKABLE void connectUserLevelSignals() { ++connectCalls; }
    int connectCalls = 0;
};

class Login : public ProgramEnvironment
{
protected:
    void SetUp() override
    {
        ProgramEnvironment::SetUp();
        lockHook = LockHook{};
        dialog = std::make_unique<DialogLogin>(&window);
        dialog->show();
        spy = std::make_unique<QSignalSpy>(dialog.get(), &DialogLogin::userLevelChanged);
    }
    void TearDown() override
    {
        spy.reset();
        dialog.reset();
        ProgramEnvironment::TearDown();
    }

    void logIn(const QString &user, const QString &password)
    {
        child<QLineEdit>(dialog.get(), "usernameLineEdit")->setText(user);
        child<QLineEdit>(dialog.get(), "passwordLineEdit")->setText(password);
        child<QPushButton>(dialog.get(), "logIn")->click();   // acts on released
    }
    QString shownLevel() const { return child<QLabel>(dialog.get(), "currentLevel")->text(); }

    FakeMainWindow window;
    std::unique_ptr<DialogLogin> dialog;
    std::unique_ptr<QSignalSpy> spy;
    DialogAnswerer answerer;
};

} // namespace

TEST_F(Login, FormHasItsFieldsAndTexts)
{
    EXPECT_EQ(dialog->objectName(), "DialogLogin");
    EXPECT_EQ(dialog->windowTitle(), "Log in");
    EXPECT_EQ(child<QLabel>(dialog.get(), "usernameLabel")->text(), "Username: ");
    EXPECT_EQ(child<QLabel>(dialog.get(), "passwordLabel")->text(), "Password: ");
    EXPECT_EQ(child<QLabel>(dialog.get(), "label")->text(), "Current level: ");
    EXPECT_EQ(shownLevel(), "");
    EXPECT_EQ(child<QLineEdit>(dialog.get(), "passwordLineEdit")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(child<QPushButton>(dialog.get(), "logIn")->text(), "Log in");
    auto *form = dialog->findChild<QFormLayout *>("formLayout");
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->rowCount(), 4);
    EXPECT_NE(dialog->findChild<QLayout *>("verticalLayout"), nullptr);
    EXPECT_NE(dialog->findChild<QLayout *>("horizontalLayout"), nullptr);
}

TEST_F(Login, RightPasswordsGrantTheirLevel)
{
    LogCapture log;

    logIn("admin", "admin");
    EXPECT_EQ(userLevel, 2);
    EXPECT_EQ(shownLevel(), "admin");
    ASSERT_EQ(spy->count(), 1);
    EXPECT_EQ(spy->at(0).at(0).toInt(), 2);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_STREQ(lockHook.user, "admin");
    EXPECT_STREQ(lockHook.password, "admin");

    dialog->show();
    logIn("user", "user");
    EXPECT_EQ(userLevel, 1);
    EXPECT_EQ(shownLevel(), "user");
    EXPECT_EQ(spy->last().at(0).toInt(), 1);
    EXPECT_FALSE(dialog->isVisible());

    dialog->show();
    logIn("cruise", "anything");
    EXPECT_EQ(userLevel, 0);
    EXPECT_EQ(shownLevel(), "cruise");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(answerer.count(), 0);

    EXPECT_EQ(log.texts(), (QStringList{"login level changed:  2 ", "login level changed:  1 ",
                                        "login level changed:  0 "}));
}

TEST_F(Login, RefusalsWarnAndKeepTheDialogOpen)
{
    userLevel = 2;
    logIn("admin", "wrong");
    EXPECT_EQ(userLevel, 0);   // taken at once
    ASSERT_EQ(answerer.count(), 1);
    EXPECT_EQ(answerer.last().kind, "warning");
    EXPECT_EQ(answerer.last().title, "Wrong password");
    EXPECT_EQ(answerer.last().text, "Password entered does not match.\n\n");
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(spy->count(), 0);
    EXPECT_EQ(shownLevel(), "cruise");
    // The texts stay for another try.
    EXPECT_EQ(child<QLineEdit>(dialog.get(), "passwordLineEdit")->text(), "wrong");

    logIn("user", "admin");
    ASSERT_EQ(answerer.count(), 2);
    EXPECT_EQ(answerer.last().title, "Wrong password");

    // Names are compared whole and case-sensitively; the level is taken all the same.
    lockHook.forced = true;
    lockHook.result = 2;
    userLevel = 0;
    logIn("Admin", "admin");
    EXPECT_EQ(userLevel, 2);
    ASSERT_EQ(answerer.count(), 3);
    EXPECT_EQ(answerer.last().kind, "warning");
    EXPECT_EQ(answerer.last().title, "Wrong username");
    EXPECT_EQ(answerer.last().text, "Username entered does not match.\n\n");
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(spy->count(), 0);

    // A failed lock (negative) matches no level.
    lockHook.result = -1;
    logIn("user", "user");
    EXPECT_EQ(userLevel, -1);
    EXPECT_EQ(answerer.last().title, "Wrong password");
    EXPECT_EQ(answerer.count(), 4);
    EXPECT_EQ(shownLevel(), "");
}

TEST_F(Login, CruiseGrantedAnotherLevelOnlyShowsIt)
{
    lockHook.forced = true;
    lockHook.result = 1;
    logIn("cruise", "whatever");
    EXPECT_EQ(userLevel, 1);
    EXPECT_EQ(answerer.count(), 0);
    EXPECT_EQ(spy->count(), 0);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(shownLevel(), "user");
}

TEST_F(Login, ReopenedDialogStartsInTheUserNameField)
{
    // Reopened as the main window does it, after an attempt that ended in Password.
    logIn("admin", "wrong");
    child<QLineEdit>(dialog.get(), "passwordLineEdit")->setFocus();
    dialog->hide();
    dialog->clearFields();
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    EXPECT_EQ(QApplication::focusWidget(), child<QLineEdit>(dialog.get(), "usernameLineEdit"));
}

TEST_F(Login, TextsReachTheControllerAsLatin1CutTo31Characters)
{
    const QString password = QStringLiteral("0123456789abcdefghijklmnopqrstuvwxyzABCD");
    ASSERT_EQ(password.size(), 40);
    logIn("user", password);
    EXPECT_EQ(lockHook.calls, 1);
    EXPECT_EQ(std::strlen(lockHook.password), 31u);
    EXPECT_EQ(QByteArray(lockHook.password), password.left(31).toLatin1());
    EXPECT_EQ(lockHook.password[31], '\0');

    logIn(QStringLiteral("us\u00E9r"), "");
    EXPECT_EQ(QByteArray(lockHook.user), QByteArray("us\xE9r"));
    EXPECT_EQ(lockHook.password[0], '\0');
    EXPECT_EQ(answerer.last().title, "Wrong username");
}

TEST_F(Login, ShowLevelNamesTheLevelAndAnnouncesIt)
{
    const char *names[] = {"cruise", "user", "admin"};
    for (int level = 0; level < 3; ++level) {
        userLevel = level;
        dialog->showLevel();
        EXPECT_EQ(shownLevel(), names[level]);
        EXPECT_EQ(spy->last().at(0).toInt(), level);
    }
    userLevel = 7;
    dialog->showLevel();
    EXPECT_EQ(shownLevel(), "");
    EXPECT_EQ(spy->last().at(0).toInt(), 7);
    EXPECT_EQ(spy->count(), 4);

    child<QLineEdit>(dialog.get(), "usernameLineEdit")->setText("a");
    child<QLineEdit>(dialog.get(), "passwordLineEdit")->setText("b");
    dialog->clearFields();
    EXPECT_TRUE(child<QLineEdit>(dialog.get(), "usernameLineEdit")->text().isEmpty());
    EXPECT_TRUE(child<QLineEdit>(dialog.get(), "passwordLineEdit")->text().isEmpty());
}

TEST_F(Login, AsksTheMainWindowToConnect)
{
    dialog->connectToMainWindow();
    EXPECT_EQ(window.connectCalls, 1);

    // Without a window, or with one that offers nothing, nothing happens.
    DialogLogin orphan;
    orphan.connectToMainWindow();
    QWidget plain;
    DialogLogin withPlainParent(&plain);
    withPlainParent.connectToMainWindow();
}

#include "DialogLoginTest.moc"
