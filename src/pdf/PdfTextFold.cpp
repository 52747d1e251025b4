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
    // Written in place: appending unit by unit and a string for each other
    // character took 11.4 ms for the text of source2e.pdf, on the GUI thread
    // while the helpers read; this takes 2.4 ms. There is always room for the
    // rest of the text folded one to one; an expansion makes room for its
    // extra units.
    QString &out = folded.text;
    out.resize(text.size());
    char16_t *to = reinterpret_cast<char16_t *>(out.data());
    qsizetype written = 0;
    QList<int> origin;
    bool shifted = false;
    const auto markShift = [&] {
        if (shifted)
            return;
        shifted = true;
        origin.reserve(text.size() + 16);
        for (int k = 0; k < written; ++k)
            origin.append(k);
    };

    for (qsizetype i = 0; i < text.size();) {
        const char16_t unit = text[i].unicode();
        if (unit < 0x80) {
            to[written++] = unit >= 'A' && unit <= 'Z' ? unit + 32 : unit;
            if (shifted)
                origin.append(int(i));
            ++i;
            continue;
        }
        char32_t c = unit;
        qsizetype width = 1;
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(unit, text[i + 1].unicode());
            width = 2;
        }
        char16_t simple[2];
        QStringView replacement = expansionOf(c);
        if (replacement.isEmpty()) {
            const char32_t f = QChar::toCaseFolded(c);
            if (QChar::requiresSurrogates(f)) {
                simple[0] = QChar::highSurrogate(f);
                simple[1] = QChar::lowSurrogate(f);
                replacement = QStringView(simple, 2);
            } else {
                simple[0] = char16_t(f);
                replacement = QStringView(simple, 1);
            }
        }
        if (replacement.size() != width)
            markShift();
        if (replacement.size() > width) {
            out.resize(out.size() + replacement.size() - width);
            to = reinterpret_cast<char16_t *>(out.data());
        }
        for (const QChar r : replacement) {
            to[written++] = r.unicode();
            if (shifted)
                origin.append(int(i));
        }
        i += width;
    }
    out.resize(written);
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
