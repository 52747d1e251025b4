#include "HelperConfinement.h"

#include "PdfTextProtocol.h"

#include <sys/prctl.h>

#include <algorithm>
#include <csignal>
#include <unistd.h>

namespace vk {

pid_t parentPidArgument(int argc, char **argv)
{
    return pid_t(optionNumber(argc, argv, kParentPidOption).value_or(0));
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
