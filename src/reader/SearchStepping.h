#pragma once

#include <QtGlobal>

#include <optional>

namespace vk {

// What one press of a search step button does, given how many matches the last
// search found and which one is selected. The steps never wrap around: at an end
// the end match is selected again and the button pointing past it is disabled.
struct SearchStep
{
    qint32 findcount = 0;
    std::optional<bool> prevEnabled; // no value: the button keeps its state
    std::optional<bool> nextEnabled;
    bool selectMatch = false;        // false: there is no match, clear the selection
};

SearchStep stepForward(qsizetype matchCount, qint32 findcount);
SearchStep stepBack(qsizetype matchCount, qint32 findcount);

} // namespace vk
