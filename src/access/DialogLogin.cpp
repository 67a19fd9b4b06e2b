#include "DialogLogin.h"

#include "ui_DialogLogin.h"

#include <QByteArray>
#include <QMessageBox>
#include <QMetaObject>
#include <QtGlobal>

#include <algorithm>
#include <cstring>

#include "AcquisitionSettings.h"
#include "Logger.h"
#include "NivraLibrary.h"

namespace {

// The controller takes NUL-terminated Latin-1 texts in 32-byte buffers: anything
// beyond 31 characters is cut off.
void copyLatin1(const QString &text, char (&buffer)[32])
{
    const QByteArray bytes = text.toLatin1();
    const auto length = std::min<qsizetype>(bytes.size(), sizeof buffer - 1);
    std::memset(buffer, 0, sizeof buffer);
    std::memcpy(buffer, bytes.constData(), static_cast<std::size_t>(length));
}

void warnWrongPassword()
{
    QMessageBox::warning(nullptr, QStringLiteral("Wrong password"),
                         QStringLiteral("Password entered does not match.\n\n"), QMessageBox::Ok);
}

void warnWrongUsername()
{
    QMessageBox::warning(nullptr, QStringLiteral("Wrong username"),
                         QStringLiteral("Username entered does not match.\n\n"), QMessageBox::Ok);
}

} // namespace

DialogLogin::DialogLogin(QWidget *parent)
    : QDialog(parent), ui(new Ui::DialogLogin), mainWindow(parent)
{
    ui->setupUi(this);
    connect(ui->logIn, &QPushButton::released, this, &DialogLogin::checkPasswd);
}

DialogLogin::~DialogLogin()
{
    delete ui;
}

void DialogLogin::connectToMainWindow()
{
    if (!mainWindow)
        return;
    // By name, so that this dialog does not depend on the main window's class.
    if (!QMetaObject::invokeMethod(mainWindow, "connectUserLevelSignals", Qt::DirectConnection))
        qWarning("DialogLogin: the main window offers no connectUserLevelSignals()");
}

void DialogLogin::clearFields()
{
    ui->usernameLineEdit->clear();
    ui->passwordLineEdit->clear();
    // Typing starts with the name again, wherever the last attempt left the cursor.
    ui->usernameLineEdit->setFocus();
}

void DialogLogin::showLevelName()
{
    QString name;
    switch (userLevel) {
    case 0: name = QStringLiteral("cruise"); break;
    case 1: name = QStringLiteral("user"); break;
    case 2: name = QStringLiteral("admin"); break;
    default: break;
    }
    ui->currentLevel->setText(name);
}

void DialogLogin::showLevel()
{
    showLevelName();
    emit userLevelChanged(userLevel);
}

void DialogLogin::checkPasswd()
{
    const QString user = ui->usernameLineEdit->text();
    char userBuffer[32];
    char passwordBuffer[32];
    copyLatin1(user, userBuffer);
    copyLatin1(ui->passwordLineEdit->text(), passwordBuffer);

    const int level = getLock(userBuffer, passwordBuffer);
    LOG_INFO() << "login level changed: " << level;
    // The controller's answer holds whatever name was typed, and a refusal may have
    // taken a level away: the dialog shows the level in force either way.
    userLevel = level;
    showLevelName();

    if (user == QLatin1String("cruise")) {
        if (userLevel == 0) {
            showLevel();
            close();
        }
    } else if (user == QLatin1String("admin")) {
        if (userLevel == 2) {
            showLevel();
            close();
        } else {
            warnWrongPassword();
        }
    } else if (user == QLatin1String("user")) {
        if (userLevel == 1) {
            showLevel();
            close();
        } else {
            warnWrongPassword();
        }
    } else {
        warnWrongUsername();
    }
}
