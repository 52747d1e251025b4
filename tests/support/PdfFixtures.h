#pragma once

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QPageSize>
#include <QString>
#include <QStringList>

// PDF documents made at test time, so that suites know exactly what each page holds.
namespace PdfFixtures {

struct Page
{
    // One line per '\n': the first with its baseline 60 pt from the top and 50 pt
    // from the left, each next one 24 pt lower.
    QString text;
    QPageSize size = QPageSize(QPageSize::A4);
    QColor fill; // when valid, painted over the whole page under the text
};

// A PDF with these pages, text in DejaVu Sans of fontPixels (1 px = 1 pt).
QByteArray makePdf(const QList<Page> &pages, int fontPixels = 14);

// One page of the given size per text.
QByteArray makePdf(const QStringList &texts, const QPageSize &size = QPageSize(QPageSize::A4),
                   int fontPixels = 14);

// US Letter pages without text, page i filled with pageColor(i) (neighbours differ),
// so that a rendered pixel tells which page it shows.
QByteArray colouredPdf(int pageCount);
QColor pageColor(int page);

// Encrypted with AES-256 and this user password (the owner's adds "-owner");
// empty when pdf cannot be parsed.
QByteArray encryptPdf(const QByteArray &pdf, const QString &password);

// One page padded with random bytes to about `bytes`, so that sending it spans many buffers.
QByteArray paddedPdf(int bytes);

// False when the file cannot be written completely.
bool writeFile(const QString &path, const QByteArray &bytes);

} // namespace PdfFixtures
