#include "velkarn.h"

#include "PairSwapCodec.h"

#include <QByteArray>
#include <QStringDecoder>

using namespace vk;

namespace {

// The key field's length travels as two hexadecimal digits.
constexpr qsizetype kMaxKeyFieldLength = 255;

QString checksumDigits(quint32 sum)
{
    return velkarn::dechex(sum).rightJustified(8, u'0');
}

quint32 sumOfCodes(QStringView text)
{
    quint32 sum = 0;
    for (const QChar c : text)
        sum += c.unicode();
    return sum;
}

// Reads the key string as hexadecimal pairs, one pair per byte, starting over
// after the last whole pair; an odd-length key string runs off its end and
// then yields 0 for every further byte.
class KeyWalk
{
public:
    explicit KeyWalk(const QString &key) : m_key(key) {}

    qint64 next()
    {
        const qint64 byte = velkarn::hexdec(velkarn::substr(m_key, m_position, 2));
        m_position = m_key.size() == m_position + 2 ? 0 : m_position + 2;
        return byte;
    }

private:
    const QString &m_key;
    qint64 m_position = 0;
};

// Decodes Base64 the way the dated format's senders produce it: characters
// outside the alphabet are ignored, the rest must form whole groups of four,
// and the bytes must be UTF-8. Anything else gives an empty text.
QString textOfBase64(const QString &s)
{
    QByteArray alphabet;
    alphabet.reserve(s.size());
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        if ((u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9')
            || u == u'+' || u == u'/' || u == u'=')
            alphabet.append(char(u));
    }
    if (alphabet.size() % 4 != 0)
        return QString();
    const auto decoded = QByteArray::fromBase64Encoding(alphabet, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return QString();
    QStringDecoder toUtf16(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = toUtf16(*decoded);
    return toUtf16.hasError() ? QString() : text;
}

} // namespace

QString velkarn::decodestrcrcsimple(const QString &s)
{
    if (s.isEmpty())
        return QStringLiteral("");
    const quint32 checksum = quint32(hexdec(substr(s, 0, 8)));
    const QString text = s.mid(8);
    _crcstatus = sumOfCodes(text) == checksum ? 1 : 0;
    return text;
}

QString velkarn::encodestrcrc(const QString &s) const
{
    if (s.isEmpty())
        return QStringLiteral("");
    return checksumDigits(sumOfCodes(s)) + pairSwapEncode(s, currentSeed());
}

QString velkarn::decodestrcrc(const QString &s)
{
    if (s.isEmpty())
        return QStringLiteral("");
    const quint32 checksum = quint32(hexdec(substr(s, 0, 8)));
    const qint64 seed = hexdec(AddStrB2A(substr(s, 9, 1), substr(s, 8, 1)));
    quint32 sum = 0;
    const QString text = pairSwapDecodeBody(QStringView(s).mid(qMin<qsizetype>(10, s.size())), int(seed), &sum);
    _crcstatus = sum == checksum ? 1 : 0;
    return text;
}

QString velkarn::encodestrnew(const QString &s, const QString &d) const
{
    if (s.isEmpty())
        return QStringLiteral("");
    // The key field is written in the checksummed encoding, the form the
    // dated decoder reads; a key field that its two length digits cannot
    // describe would make a text nobody can decode, so none is made.
    const QString keyField = encodestrcrc(d);
    if (keyField.size() > kMaxKeyFieldLength)
        return QString();

    const int seed = currentSeed();
    QString body;
    body.reserve(2 + 2 * s.size());
    appendSwappedHex(body, uint(seed));
    KeyWalk key(d);
    quint32 sum = 0;
    for (const QChar c : s) {
        appendSwappedHex(body, uint(key.next() + seed) ^ c.unicode());
        sum += c.unicode();
    }
    return checksumDigits(sum) + dechex(keyField.size()).rightJustified(2, u'0') + keyField + body;
}

QString velkarn::decodestrnew(const QString &encoded, quint8 base64flag)
{
    const QString s = base64flag != 0 ? textOfBase64(encoded) : encoded;
    if (s.isEmpty())
        return QStringLiteral("InvalidB");
    if (s.toUpper().contains(QLatin1String("INVALID")))
        return QStringLiteral("InvalidA");

    const quint32 checksum = quint32(hexdec(substr(s, 0, 8)));
    const qint64 keyLength = hexdec(substr(s, 8, 2));
    if (s.size() <= keyLength + 5)
        return QStringLiteral("");

    // A key field without text leaves the flag alone in decodestrcrc(), so
    // the flag is raised here first: a stale mismatch must not stick to a
    // correct text.
    _crcstatus = 1;
    const QString keyField = substr(s, 10, keyLength);
    const qint64 seed = hexdec(AddStrB2A(substr(s, 11 + keyLength, 1), substr(s, 10 + keyLength, 1)));
    const QString d = decodestrcrc(keyField);
    _decodedatestr = d;
    datestr_global = d;

    const QStringView body = QStringView(s).mid(qMin<qsizetype>(12 + keyLength, s.size()));
    const qsizetype pairs = body.size() / 2;
    QString text(pairs, Qt::Uninitialized);
    QChar *dst = text.data();
    KeyWalk key(d);
    quint32 sum = 0;
    for (qsizetype k = 0; k < pairs; ++k) {
        const quint32 x = quint32(swappedPairValue(body, 2 * k)) ^ quint32(key.next() + seed);
        // Only the low byte is the character: key byte plus seed may exceed
        // 255, and the encoder summed the character's code.
        const char16_t byte = char16_t(x & 0xFF);
        dst[k] = QChar(byte);
        sum += byte;
    }
    if (sum != checksum)
        _crcstatus = 0;
    return text;
}

QString velkarn::encodemaster(const QString &s, const QString &d) const
{
    return _storeonly != 0 ? encodestrcrc(s) : encodestrnew(s, d);
}
