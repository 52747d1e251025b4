#include "LoginAnswer.h"

#include "velkarn.h"

namespace vk {

LoginAnswer parseLoginAnswer(velkarn &v, const QString &text, const QString &typedPassword)
{
    const QString separator = QStringLiteral("^^");
    LoginAnswer answer;
    answer.useronline = v.substr(text, 0, 1);
    answer.useractive = v.substr(text, 1, 1);
    answer.resactive = v.substr(text, 2, 1);

    // A missing separator is -1: the lengths that depend on it go negative and
    // their cuts come out empty.
    const qint64 s1 = v.Findstring(text, separator);
    answer.company = v.substr(text, 3, s1 - 3);
    const qint64 s2 = v.Findstringfrom(text, separator, qint32(s1 + 1));
    answer.category = v.substr(text, s1 + 2, s2 - s1 - 2);
    answer.passwordenc = v.substr(text, s2 + 2, qint64(text.size()) - s2 - 2);

    const QString decoded = v.decodestr(answer.passwordenc);
    answer.accepted = typedPassword == decoded
        && answer.useronline == QLatin1String("N")
        && answer.useractive == QLatin1String("Y")
        && answer.resactive == QLatin1String("Y");
    return answer;
}

} // namespace vk
