#include "PdfTextFold.h"

#include <QStringMatcher>

namespace vk {

namespace {

// Full case foldings that change length, limited to characters found in typeset
// Latin text. Every other character uses Qt's simple folding.
QStringView expansionOf(char32_t c)
{
    switch (c) {
    case 0x00DF: return u"ss";       // ß
    case 0x1E9E: return u"ss";       // ẞ
    case 0x0130: return u"i\u0307";  // İ
    case 0x0149: return u"\u02BCn";  // ŉ
    case 0xFB00: return u"ff";
    case 0xFB01: return u"fi";
    case 0xFB02: return u"fl";
    case 0xFB03: return u"ffi";
    case 0xFB04: return u"ffl";
    case 0xFB05: return u"st";
    case 0xFB06: return u"st";
    default: return {};
    }
}

} // namespace

FoldedText foldCase(QStringView text)
{
    FoldedText folded;
    folded.text.reserve(text.size());
    QList<int> origin;
    bool shifted = false;
    const auto markShift = [&] {
        if (shifted)
            return;
        shifted = true;
        origin.reserve(text.size() + 16);
        for (int k = 0; k < folded.text.size(); ++k)
            origin.append(k);
    };

    for (qsizetype i = 0; i < text.size();) {
        const QChar unit = text[i];
        if (unit.unicode() < 0x80) {
            const char16_t u = unit.unicode();
            folded.text.append(QChar(u >= 'A' && u <= 'Z' ? u + 32 : u));
            if (shifted)
                origin.append(int(i));
            ++i;
            continue;
        }
        char32_t c = unit.unicode();
        qsizetype width = 1;
        if (unit.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(unit, text[i + 1]);
            width = 2;
        }
        QString replacement;
        const QStringView expansion = expansionOf(c);
        if (!expansion.isEmpty()) {
            replacement = expansion.toString();
        } else {
            const char32_t f = QChar::toCaseFolded(c);
            replacement = QString::fromUcs4(&f, 1);
        }
        if (replacement.size() != width)
            markShift();
        folded.text.append(replacement);
        if (shifted)
            for (qsizetype k = 0; k < replacement.size(); ++k)
                origin.append(int(i));
        i += width;
    }
    if (shifted) {
        origin.append(int(text.size()));
        folded.origin = std::move(origin);
    }
    return folded;
}

QList<TextMatch> findFolded(const FoldedText &haystack, QStringView foldedPattern)
{
    QList<TextMatch> matches;
    if (foldedPattern.isEmpty())
        return matches;
    const QStringMatcher matcher(foldedPattern, Qt::CaseSensitive);
    const qsizetype n = foldedPattern.size();
    for (qsizetype at = matcher.indexIn(haystack.text); at >= 0;) {
        const int begin = int(at);
        const int end = int(at + n);
        if (haystack.isBoundary(begin) && haystack.isBoundary(end)) {
            const int start = haystack.pagePosition(begin);
            matches.append({start, haystack.pagePosition(end) - start});
            at = matcher.indexIn(haystack.text, end);
        } else {
            at = matcher.indexIn(haystack.text, at + 1);
        }
    }
    return matches;
}

} // namespace vk
