#include "PdfPageClaims.h"

#include "PdfTextProtocol.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace vk {

namespace {

static_assert(std::atomic<int>::is_always_lock_free, "a count shared between processes needs no lock");
constexpr size_t kSharedBytes = sizeof(std::atomic<int>);

// The descriptor after kPageClaimsOption, 0 when none is named and -1 when the
// one named is not a number.
int claimsArgument(int argc, char **argv)
{
    const size_t prefix = std::strlen(kPageClaimsOption);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], kPageClaimsOption, prefix) != 0)
            continue;
        char *end = nullptr;
        const long fd = std::strtol(argv[i] + prefix, &end, 10);
        return (end && *end == '\0' && fd > 2 && fd < 65536) ? int(fd) : -1;
    }
    return 0;
}

} // namespace

int PdfPageClaims::createShared()
{
    const int fd = memfd_create("velkarn-page-claims", MFD_CLOEXEC);
    if (fd < 0)
        return -1;
    // A new memory file reads as zeros: the count starts at page 0.
    if (ftruncate(fd, kSharedBytes) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

PdfPageClaims::PdfPageClaims(int argc, char **argv)
{
    const int fd = claimsArgument(argc, argv);
    if (fd == 0) {
        m_next = &m_own;
        return;
    }
    if (fd < 0)
        return;
    void *shared = mmap(nullptr, kSharedBytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (shared == MAP_FAILED)
        return;
    m_shared = shared;
    m_next = static_cast<std::atomic<int> *>(shared);
}

PdfPageClaims::~PdfPageClaims()
{
    if (m_shared)
        munmap(m_shared, kSharedBytes);
}

int PdfPageClaims::claim(int endPage)
{
    const int page = m_next->fetch_add(1, std::memory_order_relaxed);
    return page < endPage ? page : -1;
}

} // namespace vk
