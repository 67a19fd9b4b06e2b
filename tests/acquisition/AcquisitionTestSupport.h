#pragma once
// Shared by the acquisition tests: record building, and a fixture that puts the
// process-wide settings back after each test.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "AcquisitionSettings.h"
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

class AcquisitionGlobals : public ::testing::Test
{
protected:
    void SetUp() override
    {
        rate = SAMP_FREQ;
        bufSize = DISP_BUF_SIZE;
        for (int a = 0; a < 4; ++a)
            std::memcpy(saved[a], calibration[a], sizeof saved[a]);
    }
    void TearDown() override
    {
        SAMP_FREQ = rate;
        DISP_BUF_SIZE = bufSize;
        for (int a = 0; a < 4; ++a)
            std::memcpy(calibration[a], saved[a], sizeof saved[a]);
    }

private:
    double *const calibration[4] = {BPM_SCALE_X, BPM_SCALE_Y, BPM_DIST_X, BPM_DIST_Y};
    double saved[4][2] = {};
    int rate = 0, bufSize = 0;
};
