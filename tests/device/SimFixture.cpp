#include "SimFixture.h"

#include <string>

#include "AcquisitionSettings.h"
#include "LibraryHooks.h"
#include "Logger.h"
#include "NivraSim.h"

void SimFixture::SetUp()
{
    nivraSimReset(1);
    nivraSimUseManualClock(1);
    LibraryHooks::reset();
    Logging::Logger::instance().setLevel(Logging::InfoLevel);
    SAMP_FREQ = 1000;
    pidBaseClock = 100000;
    bpmSelX = 0;
    bpmSelY = 0;
    bpmSelI0 = 0;
}

void SimFixture::TearDown()
{
    nivraSimClearFaults();
    LibraryHooks::reset();
    Logging::Logger::instance().setLevel(Logging::InfoLevel);
}

QStringList SimFixture::callLog()
{
    char probe[1];
    const std::size_t length = nivraSimCallLog(probe, sizeof probe);
    std::string text(length + 1, '\0');
    nivraSimCallLog(text.data(), text.size());
    text.resize(length);
    return QString::fromStdString(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList SimFixture::callsTo(const char *function)
{
    const QString prefix = QLatin1String(function) + QLatin1Char('(');
    QStringList result;
    for (const QString &line : callLog()) {
        if (line.startsWith(prefix))
            result.append(line.section(QStringLiteral(" -> "), 0, 0));
    }
    return result;
}
