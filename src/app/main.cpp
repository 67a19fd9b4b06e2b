// Entry point: builds the system in a fixed order, runs the event loop, and on the
// way out switches the function generator off and stops the device-link thread.
//
// The order matters: the per-BPM calibration is in place before anything draws, the
// device link runs before the panels read its status, and the device defaults are
// sent before the main window loads its state from the controller.
#include <QApplication>
#include <QFile>
#include <QThread>
#include <QTimer>

#include <cstring>

#include "AcquisitionSettings.h"
#include "ConfigIni.h"
#include "DialogLogin.h"
#include "Logger.h"
#include "MailboxComm.h"
#include "MainWindow.h"
#include "NivraLibrary.h"
#include "ShutdownReport.h"
#include "StartUp.h"
#include "TerminationSignals.h"
#include "Updater.h"

int main(int argc, char *argv[])
{
    // 1-2. The program is an X11 application; the platform is forced before Qt starts.
    qputenv("QT_QPA_PLATFORM", "xcb");
    auto *app = new QApplication(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("VEZIRURA_rodur_OZU"));

    // 3-4. Configuration and the per-BPM calibration (a missing key reads 0).
    configIni = new ConfigIni();
    StartUp::loadBpmCalibration();

    // 5. The acquisition engine, deleted with the application object.
    updater = new Updater(app);

    // 6. The device link on its own thread: started -> refreshData, then the set-up.
    auto *deviceThread = new QThread();
    mailboxComm = new MailboxComm();
    mailboxComm->setupThread(deviceThread);
    mailboxComm->moveToThread(deviceThread);
    QObject::connect(deviceThread, &QThread::started, mailboxComm, &MailboxComm::doSetupOnNewThread);
    deviceThread->start();
    QObject::connect(app, &QGuiApplication::lastWindowClosed, deviceThread, &QThread::quit);

    // 7. Device defaults, from this thread while the device link already polls.
    StartUp::sendDeviceDefaults();

    // 8. The main window.
    auto *mainWindow = new MainWindow();
    mainWindow->setWindowState(Qt::WindowMaximized);
    mainWindow->show();

    // A termination signal leaves as File > Exit does, with 128 + the signal's number
    // (the shell's code for a death by that signal: 143 for SIGTERM), so that a
    // supervisor still sees why the program ended.
    int signalExitCode = 0;
    auto *terminationSignals = new TerminationSignals([mainWindow, &signalExitCode](int signal) {
        signalExitCode = 128 + signal;
        mainWindow->leave(signalExitCode);
    });

    // 9. Style sheet; without it the default style stays, silently.
    auto *styleFile = new QFile(QStringLiteral(":/qss/style.qss"));
    if (styleFile->open(QIODevice::ReadOnly))
        app->setStyleSheet(QString::fromLatin1(styleFile->readAll()));

    // 10. The login dialog, which lets the main window connect the user-level signals.
    dialogLogin = new DialogLogin(mainWindow);
    dialogLogin->connectToMainWindow();

    // 11. The acquisition timer; the engine knows it so that it can stop it while
    // its fatal message is open.
    auto *acquisitionTimer = new QTimer();
    acquisitionTimer->setInterval(1000);
    QObject::connect(acquisitionTimer, &QTimer::timeout, updater, &Updater::updateGraphs);
    updater->setTimer(acquisitionTimer);
    acquisitionTimer->start();

    // 12. Logging: "--trace" alone lowers the level to Trace; the log window gets
    // every message above Trace, starting with those written before it was
    // connected (device failures during start-up).
    Logging::Logger &logger = Logging::Logger::instance();
    if (argc == 2 && std::strcmp(argv[1], "--trace") == 0)
        logger.setLevel(Logging::TraceLevel);
    logger.addDestination(Logging::makeFunctorDestination(
                              mainWindow->logWindow(), SLOT(addLogMessage(Logging::LogMessage))),
                          Logging::EarlierLines::HandOver);
    LOG_INFO() << "Started logger";

    // 13. The event loop. When it returns a running sweep has ended (aboutToQuit).
    int exitCode = app->exec();
    ShutdownReport::beginLeaving();   // also after the engine's fatal quit

    // Never leave the function generator driving the DAC outputs. When this fails,
    // an earlier failure to switch it off still stands; when it works, it is mended.
    ShutdownReport::generatorOff(funcGenEnable(0) >= 0);

    // The device link stops polling before anything it touches goes away.
    deviceThread->quit();
    deviceThread->wait();

    delete acquisitionTimer;
    delete styleFile;
    // What a failed switch left standing is told before anything else goes: on
    // stderr, in the status, and to the operator unless a signal ended the program (a
    // signal during the box ends it too).
    exitCode = ShutdownReport::tell(exitCode, signalExitCode == 0);
    if (signalExitCode != 0)
        exitCode = signalExitCode;
    delete terminationSignals;   // a signal from here on ends the program at once
    delete mainWindow;   // with its children, the login dialog among them
    dialogLogin = nullptr;
    delete deviceThread;
    delete app;          // with the acquisition engine
    updater = nullptr;
    return exitCode;
}
