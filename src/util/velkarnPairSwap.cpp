#include "velkarn.h"

#include "PairSwapCodec.h"

#include <QTime>

using namespace vk;

velkarn::velkarn()
    : _secondsSource([] { return QTime::currentTime().second(); })
{
}

void velkarn::setSecondsSource(std::function<int()> source)
{
    _secondsSource = std::move(source);
}

int velkarn::currentSeed() const
{
    return _secondsSource() & 0xFF;
}

QString velkarn::decodestr(const QString &s)
{
    if (s.isEmpty())
        return QStringLiteral("");
    const qint64 seed = hexdec(AddStrB2A(substr(s, 1, 1), substr(s, 0, 1)));
    _crcstatus = 1;
    return pairSwapDecodeBody(QStringView(s).mid(qMin<qsizetype>(2, s.size())), int(seed));
}

QString velkarn::encodestr(const QString &s) const
{
    if (s.isEmpty())
        return QStringLiteral("");
    return pairSwapEncode(s, currentSeed());
}
