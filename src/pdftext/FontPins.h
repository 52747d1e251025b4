#pragma once

#include <chrono>

namespace vk {

// Which pages a text helper keeps open. QtPdf closes every page it reads and
// PDFium drops the page's fonts with it, so each later page using them would
// load and decrypt them again; a page left open keeps its fonts loaded. But
// opening a page to keep costs as much as reading one, so only the pages
// likely to bring fonts are kept: the first, the one after a page that took
// far longer than usual to read (it loaded fonts that the pages after it
// share) and every kEvery-th, for fonts that came without a noticeable delay.
class FontPins
{
public:
    static constexpr int kEvery = 30;
    static constexpr double kSlowFactor = 2.0;

    bool pinNext() const { return m_afterSlow || m_read % kEvery == 0; }
    // took: the processor time the page last read took.
    void pageRead(std::chrono::nanoseconds took);

private:
    int m_read = 0;
    bool m_afterSlow = false;
    double m_usualNs = 0;
};

} // namespace vk
