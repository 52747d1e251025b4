#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// PDFs made at test time: one page per entry, each line of an entry drawn as one
// line of text near the top of an A4 page (empty entry: a page without text).
QByteArray makePdf(const QStringList &pages);

// The same PDF encrypted (AES-256) so that it opens only with password.
QByteArray encryptPdf(const QByteArray &pdf, const QString &password);
