#include "LibraryHooks.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QMutexLocker>

#include <dlfcn.h>

#include "NivraLibrary.h"

namespace {

struct Hooks {
    QMutex mutex;
    int failAxis = -1;
    int failResult = 0;
    int intercepted = 0;
    bool versionSet = false;
    std::uint32_t words[3] = {0, 0, 0};
    int versionResult = 0;
    std::function<int(void *)> statsFiller;
    QThread *statsThread = nullptr;
    int statsCalls = 0;
    QList<qint64> statsTimes;
};

Hooks &hooks()
{
    static Hooks h;
    return h;
}

template <typename F>
F next(const char *name)
{
    void *symbol = dlsym(RTLD_NEXT, name);
    if (!symbol)
        qFatal("library function %s not found", name);
    return reinterpret_cast<F>(symbol);
}

bool failsAxis(int axis, int *result)
{
    Hooks &h = hooks();
    QMutexLocker lock(&h.mutex);
    if (h.failAxis < 0 || axis != h.failAxis)
        return false;
    ++h.intercepted;
    *result = h.failResult;
    return true;
}

} // namespace

namespace LibraryHooks {

void reset()
{
    Hooks &h = hooks();
    QMutexLocker lock(&h.mutex);
    h.failAxis = -1;
    h.failResult = 0;
    h.intercepted = 0;
    h.versionSet = false;
    h.statsFiller = nullptr;
    h.statsThread = nullptr;
    h.statsCalls = 0;
    h.statsTimes.clear();
}

void failSetpointAxis(int axis, int result)
{
    Hooks &h = hooks();
    QMutexLocker lock(&h.mutex);
    h.failAxis = axis;
    h.failResult = result;
}

int interceptedSetpointCalls()
{
    Hooks &h = hooks();
    QMutexLocker lock(&h.mutex);
    return h.intercepted;
}

void setVersionWords(std::uint32_t w0, std::uint32_t w1, std::uint32_t w2, int result)
{
    Hooks &h = hooks();
    QMutexLocker lock(&h.mutex);
    h.versionSet = true;
    h.words[0] = w0;
    h.words[1] = w1;
    h.words[2] = w2;
    h.versionResult = result;
}

void setStatsFiller(std::function<int(void *block)> filler)
{
    Hooks &h = hooks();
    QMutexLocker lock(&h.mutex);
    h.statsFiller = std::move(filler);
}

QThread *lastStatsThread()
{
    Hooks &h = hooks();
    QMutexLocker lock(&h.mutex);
    return h.statsThread;
}

int statsCalls()
{
    Hooks &h = hooks();
    QMutexLocker lock(&h.mutex);
    return h.statsCalls;
}

QList<qint64> statsCallTimes()
{
    Hooks &h = hooks();
    QMutexLocker lock(&h.mutex);
    return h.statsTimes;
}

} // namespace LibraryHooks

extern "C" {

int setSetpoint2(int axis, double value)
{
    int result = 0;
    if (failsAxis(axis, &result))
        return result;
    static const auto real = next<int (*)(int, double)>("setSetpoint2");
    return real(axis, value);
}

int getSetpoint2(int axis, double *value)
{
    int result = 0;
    if (failsAxis(axis, &result))
        return result;
    static const auto real = next<int (*)(int, double *)>("getSetpoint2");
    return real(axis, value);
}

int getSystemVersion(std::uint32_t *w0, std::uint32_t *w1, std::uint32_t *w2)
{
    {
        Hooks &h = hooks();
        QMutexLocker lock(&h.mutex);
        if (h.versionSet) {
            *w0 = h.words[0];
            *w1 = h.words[1];
            *w2 = h.words[2];
            return h.versionResult;
        }
    }
    static const auto real =
        next<int (*)(std::uint32_t *, std::uint32_t *, std::uint32_t *)>("getSystemVersion");
    return real(w0, w1, w2);
}

int getBPMStats(void *block)
{
    std::function<int(void *)> filler;
    {
        Hooks &h = hooks();
        QMutexLocker lock(&h.mutex);
        h.statsThread = QThread::currentThread();
        ++h.statsCalls;
        static const QElapsedTimer clock = [] { QElapsedTimer c; c.start(); return c; }();
        h.statsTimes.append(clock.elapsed());
        filler = h.statsFiller;
    }
    if (filler)
        return filler(block);
    static const auto real = next<int (*)(void *)>("getBPMStats");
    return real(block);
}

} // extern "C"
