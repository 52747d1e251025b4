#pragma once

#include <QList>
#include <QString>
#include <QStringView>

namespace vk {

// Case-insensitive matching over page text. Folding is full case folding for the
// characters that PDF text commonly holds (ß to "ss", the fi/fl ligatures to two
// letters), so a folded text can be longer than the page text it came from; the
// origin map turns folded positions back into page positions.
struct FoldedText
{
    QString text;
    // origin[k] is the page position of the character that produced folded unit k,
    // plus one final entry holding the page text's length. Empty while folding kept
    // every position, which is the case for nearly every page.
    QList<int> origin;

    int pagePosition(int foldedPosition) const
    {
        return origin.isEmpty() ? foldedPosition : origin.at(foldedPosition);
    }
    // True where a folded position starts a page character (or ends the text).
    bool isBoundary(int foldedPosition) const
    {
        return origin.isEmpty() || foldedPosition == 0 || foldedPosition >= text.size()
            || origin.at(foldedPosition) != origin.at(foldedPosition - 1);
    }
};

FoldedText foldCase(QStringView text);

struct TextMatch
{
    int start = 0;  // page position
    int length = 0; // page characters
    friend bool operator==(const TextMatch &, const TextMatch &) = default;
};

// Every non-overlapping match of an already folded pattern, in text order. A match
// that would begin or end inside the expansion of one page character is skipped.
QList<TextMatch> findFolded(const FoldedText &haystack, QStringView foldedPattern);

} // namespace vk
