#pragma once

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QPageSize>
#include <QString>
#include <QStringList>

// PDF documents made at test time, so that suites opening, rendering or searching
// documents know exactly what each page holds.
namespace PdfFixtures {

struct Page
{
    // Drawn one line per '\n'-separated line: the first 60 pt from the top and
    // 50 pt from the left, each next line 24 pt lower. Empty: a page without text.
    QString text;
    QPageSize size = QPageSize(QPageSize::A4);
    // When valid, the whole page is painted in this colour before its text.
    QColor fill;
};

// A PDF with these pages, text in DejaVu Sans of fontPixels (1 px = 1 pt).
QByteArray makePdf(const QList<Page> &pages, int fontPixels = 14);

// One page of the given size per text.
QByteArray makePdf(const QStringList &texts, const QPageSize &size = QPageSize(QPageSize::A4),
                   int fontPixels = 14);

// pageCount US Letter pages (612 x 792 pt) without text, each filled with
// pageColor() of its index, so that a rendered pixel tells which page it shows.
QByteArray colouredPdf(int pageCount);

// The fill colour of page `page` (from 0) of colouredPdf(): neighbours differ.
QColor pageColor(int page);

// The same document encrypted with AES-256: it opens only with password (the
// owner password is password + "-owner"). Empty when pdf cannot be parsed.
QByteArray encryptPdf(const QByteArray &pdf, const QString &password);

// A one-page PDF padded with random bytes to about `bytes`, so that sending
// it spans many buffers.
QByteArray paddedPdf(int bytes);

// Writes bytes to path; false when the file cannot be written completely.
bool writeFile(const QString &path, const QByteArray &bytes);

} // namespace PdfFixtures
