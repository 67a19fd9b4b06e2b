#pragma once
// Shared by the acquisition tests: record building.

#include <cstring>
#include <vector>

#include "DeviceRecords.h"

inline void setWord(DisplayRecord &r, int w, double v)
{
    std::memcpy(reinterpret_cast<unsigned char *>(&r) + 8 * w, &v, sizeof v);
}

inline std::vector<DisplayRecord> zeroRecords(int n)
{
    std::vector<DisplayRecord> v(n);
    std::memset(static_cast<void *>(v.data()), 0, sizeof(DisplayRecord) * v.size());
    return v;
}
