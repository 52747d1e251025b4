#pragma once

#include <QByteArray>
#include <QList>
#include <QPageSize>
#include <QString>
#include <QStringList>

// PDFs made at test time: one page per entry, each line of an entry drawn as one
// line of text near the top of the page (empty entry: a page without text). Pages
// are A4 unless sizes gives the size of each page.
QByteArray makePdf(const QStringList &pages, const QList<QPageSize> &sizes = {});

// The same PDF encrypted (AES-256) so that it opens only with password.
QByteArray encryptPdf(const QByteArray &pdf, const QString &password);
