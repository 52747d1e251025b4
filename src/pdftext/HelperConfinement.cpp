#include "HelperConfinement.h"

#include "PdfTextProtocol.h"

#include <sys/prctl.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace vk {

pid_t parentPidArgument(int argc, char **argv)
{
    const size_t prefix = std::strlen(kParentPidOption);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], kParentPidOption, prefix) != 0)
            continue;
        char *end = nullptr;
        const long pid = std::strtol(argv[i] + prefix, &end, 10);
        return (end && *end == '\0' && pid > 0) ? pid_t(pid) : 0;
    }
    return 0;
}

bool dieWithParent(pid_t expectedParent)
{
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0)
        return false;
    // The parent may have ended between fork and the line above: then no signal
    // comes, and this process already belongs to another.
    return expectedParent == 0 ? getppid() != 1 : getppid() == expectedParent;
}

bool limitAddressSpace(rlim_t bytes)
{
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) != 0)
        return false;
    limit.rlim_cur = std::min(bytes, limit.rlim_max);
    return setrlimit(RLIMIT_AS, &limit) == 0;
}

} // namespace vk
