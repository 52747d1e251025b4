#include "PdfPageClaims.h"

#include "PdfTextProtocol.h"

#include <sys/mman.h>

#include <unistd.h>

namespace vk {

namespace {

static_assert(std::atomic<int>::is_always_lock_free, "a count shared between processes needs no lock");
constexpr size_t kSharedBytes = sizeof(std::atomic<int>);

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
    const std::optional<int> named = optionDescriptor(argc, argv, kPageClaimsOption);
    if (!named) {
        m_next = &m_own;
        return;
    }
    if (*named < 0)
        return;
    void *shared = mmap(nullptr, kSharedBytes, PROT_READ | PROT_WRITE, MAP_SHARED, *named, 0);
    close(*named);
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
