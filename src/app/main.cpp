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

#include <cstdint>
#include <cstring>

#include "AcquisitionSettings.h"
#include "ConfigIni.h"
#include "DialogLogin.h"
#include "Logger.h"
#include "MailboxComm.h"
#include "MainWindow.h"
#include "NivraLibrary.h"
#include "Updater.h"

namespace {

void loadBpmCalibration()
{
    for (int b = 0; b < 2; ++b) {
        BPM_SCALE_X[b] = configIni->readConfigScaleX(b);
        BPM_SCALE_Y[b] = configIni->readConfigScaleY(b);
        BPM_OFFSET_X[b] = configIni->readConfigOffsetX(b);
        BPM_OFFSET_Y[b] = configIni->readConfigOffsetY(b);
        BPM_DIST_X[b] = configIni->readConfigDistanceX(b);
        BPM_DIST_Y[b] = configIni->readConfigDistanceY(b);
    }
}

void sendDeviceDefaults()
{
    mailboxComm->getSystemVersion(&hwTimestamp, &swVersion, &pidVersion);

    SAMP_FREQ = 1000;
    mailboxComm->setDisplayFreq(0);

    // The X and Y ROC checks go back as the controller held them; both beam-off
    // checks start switched off. A failed read sends every flag off.
    std::uint8_t roc[6] = {0, 0, 0, 0, 0, 0};
    if (mailboxComm->getROCenable(&roc[0], &roc[1], &roc[2], &roc[3], &roc[4], &roc[5]) < 0)
        std::memset(roc, 0, sizeof roc);
    mailboxComm->setROCenable(roc[0], roc[1], 0, roc[3], roc[4], 0);

    // A failed read leaves the loop sources as they were.
    int x = 0, y = 0, i0 = 0;
    if (mailboxComm->getBPMselector(&x, &y, &i0) >= 0) {
        bpmSelX = x;
        bpmSelY = y;
        bpmSelI0 = i0;
    }
}

} // namespace

int main(int argc, char *argv[])
{
    // 1-2. The program is an X11 application; the platform is forced before Qt starts.
    qputenv("QT_QPA_PLATFORM", "xcb");
    auto *app = new QApplication(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("VEZIRURA_rodur_OZU"));

    // 3-4. Configuration and the per-BPM calibration (a missing key reads 0).
    configIni = new ConfigIni();
    loadBpmCalibration();

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
    sendDeviceDefaults();

    // 8. The main window.
    auto *mainWindow = new MainWindow();
    mainWindow->setWindowState(Qt::WindowMaximized);
    mainWindow->show();

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
    // every message above Trace.
    Logging::Logger &logger = Logging::Logger::instance();
    if (argc == 2 && std::strcmp(argv[1], "--trace") == 0)
        logger.setLevel(Logging::TraceLevel);
    logger.addDestination(Logging::makeFunctorDestination(
        mainWindow->logWindow(), SLOT(addLogMessage(Logging::LogMessage))));
    LOG_INFO() << "Started logger";

    // 13. The event loop.
    const int exitCode = app->exec();

    // Never leave the function generator driving the DAC outputs.
    funcGenEnable(0);

    // The device link stops polling before anything it touches goes away.
    deviceThread->quit();
    deviceThread->wait();

    delete acquisitionTimer;
    delete styleFile;
    delete mainWindow;   // with its children, the login dialog among them
    dialogLogin = nullptr;
    delete deviceThread;
    delete app;          // with the acquisition engine
    updater = nullptr;
    return exitCode;
}
