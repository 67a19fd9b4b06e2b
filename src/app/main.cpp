#include <QApplication>

#include "NivraLibrary.h"

int main(int argc, char *argv[])
{
    // The program is an X11 application; the platform is forced before Qt starts.
    qputenv("QT_QPA_PLATFORM", "xcb");
    auto *app = new QApplication(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("VEZIRURA_rodur_OZU"));

    const int exitCode = app->exec();

    // Never leave the function generator driving the DAC outputs.
    funcGenEnable(0);

    delete app;
    return exitCode;
}
