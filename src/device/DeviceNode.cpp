#include "DeviceNode.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

using OpenFn = int (*)(const char *, int);
using IoctlFn = int (*)(int, unsigned long, void *);
using ReadFn = ssize_t (*)(int, void *, std::size_t);
using CloseFn = int (*)(int);

// Resolved once: the simulator exports these next to the library functions; the
// maker's library does not, so the kernel is used there.
struct NodeBackend {
    OpenFn open = nullptr;
    IoctlFn ioctl = nullptr;
    ReadFn read = nullptr;
    CloseFn close = nullptr;

    NodeBackend()
    {
        auto o = reinterpret_cast<OpenFn>(dlsym(RTLD_DEFAULT, "nivraSimNodeOpen"));
        auto i = reinterpret_cast<IoctlFn>(dlsym(RTLD_DEFAULT, "nivraSimNodeIoctl"));
        auto r = reinterpret_cast<ReadFn>(dlsym(RTLD_DEFAULT, "nivraSimNodeRead"));
        auto c = reinterpret_cast<CloseFn>(dlsym(RTLD_DEFAULT, "nivraSimNodeClose"));
        if (o && i && r && c) {
            open = o;
            ioctl = i;
            read = r;
            close = c;
        }
    }
    bool simulated() const { return open != nullptr; }
};

const NodeBackend &backend()
{
    static const NodeBackend b;
    return b;
}

} // namespace

int DeviceNode::open(const char *path, int flags)
{
    const auto &b = backend();
    return b.simulated() ? b.open(path, flags) : ::open(path, flags);
}

int DeviceNode::ioctl(int fd, unsigned long request, void *record)
{
    const auto &b = backend();
    return b.simulated() ? b.ioctl(fd, request, record) : ::ioctl(fd, request, record);
}

ssize_t DeviceNode::read(int fd, void *buffer, std::size_t bytes)
{
    const auto &b = backend();
    return b.simulated() ? b.read(fd, buffer, bytes) : ::read(fd, buffer, bytes);
}

int DeviceNode::close(int fd)
{
    const auto &b = backend();
    return b.simulated() ? b.close(fd) : ::close(fd);
}

bool DeviceNode::simulated()
{
    return backend().simulated();
}
