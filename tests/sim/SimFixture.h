#pragma once
// Shared set-up of the simulator tests: a fresh, seeded simulator on the manual
// clock, and small helpers to read its stream, its nodes and its call log.

#include <gtest/gtest.h>

#include <fcntl.h>

#include <cmath>
#include <string>
#include <vector>

#include "DeviceNode.h"
#include "DeviceRecords.h"
#include "NivraLibrary.h"
#include "NivraSim.h"

class SimTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        nivraSimReset(42);
        nivraSimUseManualClock(1);
    }
    void TearDown() override { nivraSimReset(42); }

    static std::vector<DisplayRecord> newest(int n)
    {
        std::vector<DisplayRecord> v(static_cast<std::size_t>(n));
        const int got = getBuffer(v.data(), n);
        v.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
        return v;
    }

    static std::string callLog()
    {
        const std::size_t n = nivraSimCallLog(nullptr, 0);
        std::string s(n, '\0');
        nivraSimCallLog(s.data(), n + 1);
        return s;
    }

    static std::string lastLine()
    {
        const std::string log = callLog();
        if (log.empty())
            return {};
        const std::size_t end = log.size() - 1; // trailing newline
        const std::size_t start = log.rfind('\n', end - 1);
        return log.substr(start == std::string::npos ? 0 : start + 1, end - (start == std::string::npos ? 0 : start + 1));
    }

    static int writeDac(int fd, double v0, double v1, double v2, double v3)
    {
        DacOutputs d;
        d.volts[0] = v0;
        d.volts[1] = v1;
        d.volts[2] = v2;
        d.volts[3] = v3;
        return DeviceNode::ioctl(fd, DAC_IOC_SET_OUTPUTS, &d);
    }

    static double mean(const std::vector<DisplayRecord> &r, int word)
    {
        double m = 0.0;
        for (const auto &x : r)
            m += x.word(word);
        return m / static_cast<double>(r.size());
    }

    static double stddev(const std::vector<DisplayRecord> &r, int word)
    {
        const double m = mean(r, word);
        double s = 0.0;
        for (const auto &x : r)
            s += (x.word(word) - m) * (x.word(word) - m);
        return std::sqrt(s / static_cast<double>(r.size()));
    }
};
