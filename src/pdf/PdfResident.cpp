#include "PdfResident.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace vk {

qint64 residentBytes()
{
    // Plain system calls: this runs after every render.
    const int fd = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    char text[128];
    const ssize_t length = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (length <= 0)
        return -1;
    text[length] = '\0';
    long long size = 0;
    long long resident = 0;
    if (std::sscanf(text, "%lld %lld", &size, &resident) != 2)
        return -1;
    return qint64(resident) * sysconf(_SC_PAGESIZE);
}

} // namespace vk
