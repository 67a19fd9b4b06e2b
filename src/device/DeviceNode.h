#pragma once
// The program's one seam to the driver nodes (open, ioctl, read, close). On the
// real system the calls go to the kernel; when the loaded controller library is
// the simulator, which exports node entry points of its own, they go there.

#include <sys/ioctl.h>
#include <sys/types.h>

#include <cstddef>

#include "DeviceRecords.h"

namespace DeviceNodeName {
constexpr const char *Display = "/dev/nivra_dma_displ";
constexpr const char *Meter1 = "/dev/nivra_oscalon0";
constexpr const char *Meter2 = "/dev/nivra_oscalon1";
constexpr const char *Dac = "/dev/nivra_vennick0";
} // namespace DeviceNodeName

// The size field of these requests is 8: the driver was built with a pointer type.
constexpr unsigned long METER_IOC_SNAPSHOT = _IOR('B', 0x14, MeterStatus *);
constexpr unsigned long METER_IOC_CURRENTS = _IOR('B', 0x1e, CurrentReadings *);
constexpr unsigned long DAC_IOC_SET_OUTPUTS = _IOW('B', 0x28, DacOutputs *);
static_assert(METER_IOC_SNAPSHOT == 0x80084214UL);
static_assert(METER_IOC_CURRENTS == 0x8008421eUL);
static_assert(DAC_IOC_SET_OUTPUTS == 0x40084228UL);

class DeviceNode
{
public:
    static int open(const char *path, int flags);
    static int ioctl(int fd, unsigned long request, void *record);
    static ssize_t read(int fd, void *buffer, std::size_t bytes);
    static int close(int fd);

    // True when the node calls go to the simulator library instead of the kernel.
    static bool simulated();
};
