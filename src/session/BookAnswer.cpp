#include "BookAnswer.h"

#include "velkarn.h"

namespace vk {

BookList parseBookAnswer(velkarn &v, const QString &text)
{
    const QString separator = QStringLiteral("^^");
    BookList books;
    if (v.substr(text, 0, 7) != QLatin1String("*START*"))
        return books;

    qint64 p = 7;
    for (;;) {
        const qint64 s1 = v.Findstringfrom(text, separator, qint32(p + 1));
        const QString name = v.substr(text, p + 2, s1 - (p + 2));
        const qint64 s2 = v.Findstringfrom(text, separator, qint32(s1 + 1));
        const QString location = v.decodestr(v.substr(text, s1 + 2, s2 - (s1 + 2)));
        const qint64 s3 = v.Findstringfrom(text, separator, qint32(s2 + 1));
        QString password = v.decodestr(v.substr(text, s2 + 2, s3 - (s2 + 2)));
        if (password == QLatin1String("none"))
            password = QString();
        books.names.append(name);
        books.locations.append(location);
        books.passwords.append(password);

        if (v.substr(text, s3 + 5, 3) != QLatin1String(".+."))
            break;
        // A missing separator restarts the searches at the beginning of the text,
        // which would read earlier records again without end: the list ends
        // wherever the next record would not lie beyond this one.
        if (s3 + 8 <= p)
            break;
        p = s3 + 8;
        if (v.substr(text, p, 5) == QLatin1String("*END*"))
            break;
    }
    return books;
}

} // namespace vk
