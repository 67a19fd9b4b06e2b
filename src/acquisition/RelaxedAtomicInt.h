#pragma once
// A process-wide int that another thread may write: every read takes the latest
// whole value; nothing is ordered around it, and nothing needs to be.

#include <atomic>

class RelaxedAtomicInt
{
public:
    constexpr RelaxedAtomicInt(int initial) noexcept : m_value(initial) {}
    RelaxedAtomicInt(const RelaxedAtomicInt &) = delete;
    RelaxedAtomicInt &operator=(const RelaxedAtomicInt &) = delete;

    operator int() const noexcept { return m_value.load(std::memory_order_relaxed); }
    RelaxedAtomicInt &operator=(int v) noexcept
    {
        m_value.store(v, std::memory_order_relaxed);
        return *this;
    }

private:
    std::atomic<int> m_value;
};
