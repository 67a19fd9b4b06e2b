#include "TovashHook.h"

#include <QtGlobal>

#include <atomic>

#include <dlfcn.h>

#include "NivraLibrary.h"

namespace {

std::atomic<bool> g_set{false};
std::atomic<int> g_first{0};
std::atomic<int> g_second{0};

} // namespace

void TovashHook::answer(int first, int second)
{
    g_first = first;
    g_second = second;
    g_set = true;
}

void TovashHook::reset()
{
    g_set = false;
}

int getTovashes(int *bpm1, int *bpm2)
{
    if (g_set) {
        *bpm1 = g_first;
        *bpm2 = g_second;
        return 0;
    }
    using Fn = int (*)(int *, int *);
    static const Fn next = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "getTovashes"));
    if (!next)
        qFatal("library function getTovashes not found");
    return next(bpm1, bpm2);
}
