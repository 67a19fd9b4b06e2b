#pragma once
// The login dialog: the controller checks the user name and password and grants a
// user level (0 "cruise", 1 "user", 2 "admin"); the dialog stores it in userLevel,
// shows it and announces it with userLevelChanged. No name or password is kept.

#include <QDialog>

namespace Ui {
class DialogLogin;
}

class DialogLogin : public QDialog
{
    Q_OBJECT

public:
    // parent: the main window, which connects the user-level signals
    explicit DialogLogin(QWidget *parent = nullptr);
    ~DialogLogin() override;

    // Asks the main window to make its user-level connections: calls the main window's
    // invokable member connectUserLevelSignals() by name (declare it Q_INVOKABLE).
    void connectToMainWindow();
    // Empties both line edits and puts the cursor in the user-name field.
    void clearFields();
    // Shows the name of userLevel and emits userLevelChanged(userLevel).
    void showLevel();

signals:
    void userLevelChanged(int userLevel);

public slots:
    void checkPasswd();

private:
    // Shows the name of userLevel, announcing nothing.
    void showLevelName();

    Ui::DialogLogin *ui;
    QWidget *mainWindow;
};
