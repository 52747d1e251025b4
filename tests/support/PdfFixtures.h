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
    // Line i (split at '\n') has its baseline 60 + 24 i pt from the top, 50 pt from the left.
    QString text;
    QPageSize size = QPageSize(QPageSize::A4);
    QColor fill; // when valid, painted over the whole page under the text
};

// A PDF with these pages, text in DejaVu Sans of fontPixels (1 px = 1 pt).
QByteArray makePdf(const QList<Page> &pages, int fontPixels = 14);

// One page of the given size per text.
QByteArray makePdf(const QStringList &texts, const QPageSize &size = QPageSize(QPageSize::A4),
                   int fontPixels = 14);

// US Letter pages filled with pageColor(i), which neighbours differ in, and no text.
QByteArray colouredPdf(int pageCount);
QColor pageColor(int page);

// AES-256 with this user password (the owner's adds "-owner"); empty when pdf is unreadable.
QByteArray encryptPdf(const QByteArray &pdf, const QString &password);

// A PDF of these objects, numbered from 1 in order; the first is the catalog.
QByteArray pdfOfObjects(const QList<QByteArray> &objects);

// One page padded with random bytes to about `bytes`, so that sending it spans many buffers.
QByteArray paddedPdf(int bytes);

// False when the file cannot be written completely.
bool writeFile(const QString &path, const QByteArray &bytes);

} // namespace PdfFixtures
