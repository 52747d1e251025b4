#include "PageNumbers.h"

namespace vk {

QString pageLabelText(int pageIndex, int pageCount)
{
    if (pageCount <= 0)
        return {};
    const int shown = qBound(0, pageIndex, pageCount - 1) + 1;
    return QStringLiteral("Page %1 of %2").arg(shown).arg(pageCount);
}

std::optional<int> pageIndexFromInput(const QString &text, int pageCount)
{
    const QString digits = text.trimmed();
    if (digits.isEmpty() || digits.size() > 9)
        return std::nullopt;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    const int number = digits.toInt();
    if (number < 1 || number > pageCount)
        return std::nullopt;
    return number - 1;
}

QString badPageNumberText(int pageCount)
{
    if (pageCount <= 0)
        return QStringLiteral("No book open");
    if (pageCount == 1)
        return QStringLiteral("No such page: this book has only page 1");
    return QStringLiteral("No such page: this book has pages 1 to %1").arg(pageCount);
}

} // namespace vk
