#include "SearchStepping.h"

namespace vk {

namespace {

// Without matches both step buttons go off and nothing is selected.
SearchStep noMatchStep(qint32 findcount)
{
    SearchStep step;
    step.findcount = findcount;
    step.prevEnabled = false;
    step.nextEnabled = false;
    return step;
}

} // namespace

SearchStep stepForward(qsizetype matchCount, qint32 findcount)
{
    if (matchCount < 1)
        return noMatchStep(findcount);
    SearchStep step;
    step.selectMatch = true;
    if (findcount >= matchCount - 1) {
        step.findcount = qint32(matchCount - 1);
        step.nextEnabled = false;
    } else {
        step.findcount = findcount + 1;
        step.prevEnabled = true;
    }
    return step;
}

SearchStep stepBack(qsizetype matchCount, qint32 findcount)
{
    if (matchCount < 1)
        return noMatchStep(findcount);
    SearchStep step;
    step.selectMatch = true;
    if (findcount <= 0) {
        step.findcount = 0;
        step.prevEnabled = false;
    } else {
        step.findcount = qint32(qMin<qsizetype>(findcount, matchCount) - 1);
        step.nextEnabled = true;
    }
    return step;
}

} // namespace vk
