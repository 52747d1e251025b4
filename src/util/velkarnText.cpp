#include "velkarn.h"

#include "PairSwapCodec.h"

using namespace vk;

QString velkarn::substr(const QString &s, qint64 start, qint64 charlen)
{
    // An unsigned comparison turns every negative start into "past the end".
    if (charlen <= 0 || quint64(start) >= quint64(s.size()))
        return QStringLiteral("");
    // A range running past the end gives the part up to the end: the portal
    // parser meets such cuts on answers that were cut short.
    return s.mid(qsizetype(start), qsizetype(qMin<qint64>(charlen, s.size() - start)));
}

qint32 velkarn::Findstring(const QString &s, const QString &pattern)
{
    if (pattern.isEmpty())
        return -1;
    return qint32(s.indexOf(pattern));
}

qint32 velkarn::Findstringfrom(const QString &s, const QString &pattern, qint32 from)
{
    if (pattern.isEmpty() || from < 0 || from >= s.size())
        return -1;
    return qint32(s.indexOf(pattern, from));
}

qint32 velkarn::Findascii(const QString &s, qint64 ascii)
{
    return Findstring(s, chr(ascii));
}

QString velkarn::AddStrB2A(const QString &first, const QString &second)
{
    return first + second;
}

qint64 velkarn::hexdec(const QString &s)
{
    // Digits beyond sixteen shift out of the 64-bit pattern, so dechex() and
    // hexdec() stay inverse over the whole range.
    quint64 value = 0;
    for (const QChar c : s)
        value = (value << 4) | quint64(hexDigitValue(c));
    return qint64(value);
}

qint64 velkarn::hexdec8bit(const QString &s)
{
    const auto digit = [&s](qsizetype i) -> qint64 {
        const char16_t c = i < s.size() ? s.at(i).toUpper().unicode() : u'0';
        return c < u'A' ? qint64(c) - 48 : qint64(c) - 55;
    };
    return digit(0) * 16 + digit(1);
}

QString velkarn::dechex(qint64 value)
{
    return QString::number(quint64(value), 16).toUpper();
}

QString velkarn::str(qint64 value)
{
    return QString::number(value);
}

QString velkarn::chr(qint64 value)
{
    return QString(QChar(char16_t(value & 0xFF)));
}

QString velkarn::chrint(qint32 value)
{
    return chr(value);
}

qint64 velkarn::asc(const QString &s)
{
    return s.isEmpty() ? 0 : qint64(s.at(0).unicode());
}

qint32 velkarn::ascint(const QString &s)
{
    return qint32(asc(s));
}
