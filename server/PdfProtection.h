#pragma once

#include <QString>

struct PdfInspection
{
    bool readable = false; // a PDF with at least one page that opened with the password given
    bool encrypted = false;
    bool wrongPassword = false;
    QString error;
};

// Opens the file with libqpdf, with `password` when it is encrypted.
PdfInspection inspectPdf(const QString &path, const QString &password);

// Writes `target` as `source` encrypted with AES-256, `password` being both
// the user and the owner password. Returns an error text, empty on success.
QString encryptPdf(const QString &source, const QString &target, const QString &password);
