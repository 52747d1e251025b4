#include "PdfBookFile.h"

#include <sys/mman.h>
#include <sys/stat.h>

#include <unistd.h>

namespace vk {

int createBookFile(const QByteArray &pdf)
{
    const int fd = memfd_create("velkarn-book", MFD_CLOEXEC);
    if (fd < 0)
        return -1;
    for (qsizetype written = 0; written < pdf.size();) {
        const ssize_t n = write(fd, pdf.constData() + written, size_t(pdf.size() - written));
        if (n <= 0) {
            close(fd);
            return -1;
        }
        written += n;
    }
    return fd;
}

QByteArray mapBookFile(int fd)
{
    struct stat file{};
    if (fstat(fd, &file) != 0 || file.st_size <= 0) {
        close(fd);
        return {};
    }
    void *bytes = mmap(nullptr, size_t(file.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    if (bytes == MAP_FAILED)
        return {};
    return QByteArray::fromRawData(static_cast<const char *>(bytes), qsizetype(file.st_size));
}

} // namespace vk
