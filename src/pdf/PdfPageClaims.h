#pragma once

#include <atomic>

namespace vk {

// The pages of one book, handed out one at a time to the helpers that read it
// side by side: each takes the next page nobody has taken when it is done with
// its last, so one slowed by heavy pages or by the viewer's own threads takes
// fewer and they end together. Fixed turns (every other page each) left one
// helper reading alone at the end: two helpers alone on two cores took
// 1.13-1.23 s for source2e.pdf and 1.47-1.59 s for source3.pdf, and
// 1.11-1.17 s and 1.44-1.49 s with this count, in alternating runs. The count
// lives in a memory file the viewer creates and its helpers inherit.
class PdfPageClaims
{
public:
    // The viewer's side: a new count at page 0, closed on exec (a helper is
    // given it by clearing that in the child), or -1 when the system has none.
    static int createShared();

    // The helper's side: the count named after kPageClaimsOption, or one of its
    // own (every page is this helper's) when none is named.
    PdfPageClaims(int argc, char **argv);
    ~PdfPageClaims();
    PdfPageClaims(const PdfPageClaims &) = delete;
    PdfPageClaims &operator=(const PdfPageClaims &) = delete;

    // False when the count named cannot be used: reading pages then would read
    // some twice and miss others.
    bool isValid() const { return m_next != nullptr; }
    // The next page below endPage nobody has taken, or -1 when none is left.
    int claim(int endPage);

private:
    std::atomic<int> m_own{0};
    std::atomic<int> *m_next = nullptr;
    void *m_shared = nullptr;
};

} // namespace vk
