#include "TextHeavyBook.h"

#include "PdfFixtures.h"

#include <QStringList>

namespace {
constexpr int kLines = 32; // a full A4 page at the fixture maker's line spacing
constexpr int kWordsPerLine = 11;
constexpr int kFontPixels = 9;
}

bool writeTextHeavyBook(const QString &path, int pageCount)
{
    QList<PdfFixtures::Page> pages;
    pages.reserve(pageCount);
    quint32 seed = 12345;
    for (int p = 0; p < pageCount; ++p) {
        QStringList lines;
        for (int l = 0; l < kLines; ++l) {
            QStringList words;
            for (int w = 0; w < kWordsPerLine; ++w) {
                seed = seed * 1103515245u + 12345u;
                words.append(QStringLiteral("w%1").arg(seed >> 8, 0, 36));
            }
            lines.append(words.join(u' '));
        }
        pages.append({lines.join(u'\n'), QPageSize(QPageSize::A4), {}});
    }
    return PdfFixtures::writeFile(path, PdfFixtures::makePdf(pages, kFontPixels));
}
