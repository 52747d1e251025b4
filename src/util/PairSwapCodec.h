#pragma once

#include <QString>
#include <QStringView>

namespace vk {

// Building blocks of the pair-swap encoding. Each byte becomes two hex digits,
// low nibble first, after an XOR with a key byte; the key begins at the seed and
// grows by one for every byte, as an 8-bit counter that rolls over.

// Value of one hexadecimal digit of either case; anything else counts as 0.
inline int hexDigitValue(QChar c)
{
    static constexpr auto kTable = [] {
        struct Table { unsigned char value[128] = {}; } t;
        for (int d = 0; d < 10; ++d)
            t.value['0' + d] = static_cast<unsigned char>(d);
        for (int d = 0; d < 6; ++d) {
            t.value['A' + d] = static_cast<unsigned char>(10 + d);
            t.value['a' + d] = static_cast<unsigned char>(10 + d);
        }
        return t;
    }();
    const char16_t u = c.unicode();
    return u < 128 ? kTable.value[u] : 0;
}

// Appends the low 8 bits of byte as upper-case digits, low digit first.
inline void appendSwappedHex(QString &out, uint byte)
{
    static constexpr char16_t digits[] = u"0123456789ABCDEF";
    out.append(QChar(digits[byte & 0xF]));
    out.append(QChar(digits[(byte >> 4) & 0xF]));
}

// Value of the swapped digit pair that starts at position i of text.
inline int swappedPairValue(QStringView text, qsizetype i)
{
    return hexDigitValue(text[i + 1]) * 16 + hexDigitValue(text[i]);
}

// The seed header followed by every character's low byte XORed with the
// rolling key.
QString pairSwapEncode(QStringView text, int seed);

// Reads the whole swapped pairs of body (an unpaired last digit is ignored)
// with the rolling key starting at seed. Each decoded byte becomes the
// Latin-1 character of that byte and is added to *byteSum when given.
QString pairSwapDecodeBody(QStringView body, int seed, quint32 *byteSum = nullptr);

} // namespace vk
