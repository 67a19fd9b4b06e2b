#pragma once
// Shared by the acquisition tests: record building and a fixture that puts the
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
        savedRate = SAMP_FREQ;
        savedBufSize = DISP_BUF_SIZE;
        for (int b = 0; b < 2; ++b) {
            savedScaleX[b] = BPM_SCALE_X[b];
            savedScaleY[b] = BPM_SCALE_Y[b];
            savedDistX[b] = BPM_DIST_X[b];
            savedDistY[b] = BPM_DIST_Y[b];
        }
    }
    void TearDown() override
    {
        SAMP_FREQ = savedRate;
        DISP_BUF_SIZE = savedBufSize;
        for (int b = 0; b < 2; ++b) {
            BPM_SCALE_X[b] = savedScaleX[b];
            BPM_SCALE_Y[b] = savedScaleY[b];
            BPM_DIST_X[b] = savedDistX[b];
            BPM_DIST_Y[b] = savedDistY[b];
        }
    }

private:
    int savedRate = 0;
    int savedBufSize = 0;
    double savedScaleX[2] = {}, savedScaleY[2] = {}, savedDistX[2] = {}, savedDistY[2] = {};
};
