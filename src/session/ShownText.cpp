#include "ShownText.h"

namespace vk {

QString shownText(const QString &text)
{
    if (text.size() <= kMaxShownChars)
        return text;
    qsizetype keep = kMaxShownChars - 1;
    if (text.at(keep - 1).isHighSurrogate())
        --keep;
    return text.left(keep) + QChar(0x2026);
}

} // namespace vk
