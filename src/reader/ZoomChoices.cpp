#include "ZoomChoices.h"

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>

namespace vk {

QStringList zoomChoices()
{
    return {QStringLiteral("0.50"), QStringLiteral("0.75"), QStringLiteral("1.0"),
            QStringLiteral("1.25"), QStringLiteral("1.50"), QStringLiteral("2.0"),
            QStringLiteral("4.0")};
}

float leadingFloatValue(const QString &text)
{
    static const QRegularExpression number(
        QStringLiteral("^\\s*([+-]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][+-]?\\d+)?)"));
    const QRegularExpressionMatch match = number.match(text);
    if (!match.hasMatch())
        return 0.0f;
    bool ok = false;
    const float value = QLocale::c().toFloat(match.captured(1), &ok);
    return ok ? value : 0.0f;
}

int steppedZoomIndex(int current, int step, int count)
{
    if (count <= 0)
        return -1;
    const int from = current < 0 ? kDefaultZoomIndex : current;
    return std::clamp(from + step, 0, count - 1);
}

} // namespace vk
