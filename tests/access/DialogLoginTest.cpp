// The login dialog: its form, what reaches the controller's getLock, the level it
// stores whatever the name, the warnings, showing and announcing the level, and the
// hand-over to the main window.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMutex>
#include <QMutexLocker>
#include <QPushButton>
#include <QSignalSpy>
#include <QThread>

#include <gtest/gtest.h>

#include <cstring>
#include <dlfcn.h>
#include <memory>

#include "AcquisitionSettings.h"
#include "DialogAnswerer.h"
#include "DialogLogin.h"
#include "Logger.h"
#include "NivraSim.h"

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

// Collects Info messages; waits for a Fatal marker so that everything logged before
// has come through the logger's thread.
class InfoLog : public Logging::Destination
{
public:
    void write(const Logging::LogMessage &m) override
    {
        QMutexLocker lock(&mutex);
        texts.append(m.message());
    }
    bool isValid() override { return true; }
    QString type() const override { return QStringLiteral("login-test"); }

    QStringList settled()
    {
        LOG_FATAL() << "settled";
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 10000) {
            {
                QMutexLocker lock(&mutex);
                if (texts.contains(QStringLiteral("settled "))) {
                    QStringList result = texts;
                    result.removeAll(QStringLiteral("settled "));
                    texts.clear();
                    return result;
                }
            }
            QThread::msleep(1);
        }
        return {};
    }

    QMutex mutex;
    QStringList texts;
};

// A stand-in for the main window: offers the member the dialog calls by name.
class FakeMainWindow : public QWidget
{
    Q_OBJECT
public:
    Q_INVOKABLE void connectUserLevelSignals() { ++connectCalls; }
    int connectCalls = 0;
};

class Login : public ::testing::Test
{
protected:
    void SetUp() override
    {
        nivraSimReset(1);
        lockHook = LockHook{};
        userLevel = 0;
        dialog = std::make_unique<DialogLogin>(&window);
        dialog->show();
        spy = std::make_unique<QSignalSpy>(dialog.get(), &DialogLogin::userLevelChanged);
    }
    void TearDown() override { userLevel = 0; }

    void logIn(const QString &user, const QString &password)
    {
        dialog->findChild<QLineEdit *>("usernameLineEdit")->setText(user);
        dialog->findChild<QLineEdit *>("passwordLineEdit")->setText(password);
        dialog->findChild<QPushButton *>("logIn")->click();   // acts on released
    }
    QString shownLevel() const { return dialog->findChild<QLabel *>("currentLevel")->text(); }

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
    EXPECT_EQ(dialog->findChild<QLabel *>("usernameLabel")->text(), "Username: ");
    EXPECT_EQ(dialog->findChild<QLabel *>("passwordLabel")->text(), "Password: ");
    EXPECT_EQ(dialog->findChild<QLabel *>("label")->text(), "Current level: ");
    EXPECT_EQ(shownLevel(), "");
    EXPECT_EQ(dialog->findChild<QLineEdit *>("passwordLineEdit")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(dialog->findChild<QPushButton *>("logIn")->text(), "Log in");
    auto *form = dialog->findChild<QFormLayout *>("formLayout");
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->rowCount(), 4);
    EXPECT_NE(dialog->findChild<QLayout *>("verticalLayout"), nullptr);
    EXPECT_NE(dialog->findChild<QLayout *>("horizontalLayout"), nullptr);
}

TEST_F(Login, RightPasswordsGrantTheirLevel)
{
    auto log = std::make_unique<InfoLog>();
    InfoLog *info = log.get();
    Logging::Logger::instance().addDestination(std::move(log));

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

    EXPECT_EQ(info->settled(), (QStringList{"login level changed:  2 ", "login level changed:  1 ",
                                            "login level changed:  0 "}));
    Logging::Logger::instance().removeDestination(QStringLiteral("login-test"));
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
    // The texts stay for another try.
    EXPECT_EQ(dialog->findChild<QLineEdit *>("passwordLineEdit")->text(), "wrong");

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
}

TEST_F(Login, CruiseGrantedAnotherLevelDoesNothingVisible)
{
    lockHook.forced = true;
    lockHook.result = 1;
    logIn("cruise", "whatever");
    EXPECT_EQ(userLevel, 1);
    EXPECT_EQ(answerer.count(), 0);
    EXPECT_EQ(spy->count(), 0);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(shownLevel(), "");
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

    dialog->findChild<QLineEdit *>("usernameLineEdit")->setText("a");
    dialog->findChild<QLineEdit *>("passwordLineEdit")->setText("b");
    dialog->clearFields();
    EXPECT_TRUE(dialog->findChild<QLineEdit *>("usernameLineEdit")->text().isEmpty());
    EXPECT_TRUE(dialog->findChild<QLineEdit *>("passwordLineEdit")->text().isEmpty());
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
