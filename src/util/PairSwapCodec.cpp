#include "PairSwapCodec.h"

namespace vk {

namespace {

int nextKey(int key)
{
    return key < 255 ? key + 1 : 0;
}

} // namespace

QString pairSwapEncode(QStringView text, int seed)
{
    QString out;
    out.reserve(2 + 2 * text.size());
    appendSwappedHex(out, uint(seed));
    int key = seed & 0xFF;
    for (const QChar c : text) {
        appendSwappedHex(out, uint(c.unicode()) ^ uint(key));
        key = nextKey(key);
    }
    return out;
}

QString pairSwapDecodeBody(QStringView body, int seed, quint32 *byteSum)
{
    const qsizetype pairs = body.size() / 2;
    QString out(pairs, Qt::Uninitialized);
    QChar *dst = out.data();
    quint32 sum = 0;
    int key = seed;
    for (qsizetype k = 0; k < pairs; ++k) {
        const uint byte = uint(swappedPairValue(body, 2 * k) ^ key) & 0xFF;
        dst[k] = QChar(char16_t(byte));
        sum += byte;
        key = nextKey(key);
    }
    if (byteSum)
        *byteSum = sum;
    return out;
}

} // namespace vk
