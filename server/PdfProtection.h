#pragma once

#include <QString>

#include <functional>

namespace vk {

struct PdfInspection
{
    bool readable = false; // a PDF with at least one page that opened with the password given
    bool encrypted = false;
    bool wrongPassword = false;
    int pages = 0;
    QString error;
};

// Opens the file with libqpdf, with `password` when it is encrypted.
PdfInspection inspectPdf(const QString &path, const QString &password);

// Receives the output in pieces; throws std::runtime_error to stop the writing.
using PdfSink = std::function<void(const char *data, size_t size)>;

// Writes `source` encrypted with AES-256 to `sink`, `password` being both the
// user and the owner password. Returns an error text, empty on success.
QString encryptPdf(const QString &source, const PdfSink &sink, const QString &password);

} // namespace vk
