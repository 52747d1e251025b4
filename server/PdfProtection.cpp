#include "PdfProtection.h"

#include <QFile>

#include <qpdf/Pl_Function.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <exception>

namespace vk {

PdfInspection inspectPdf(const QString &path, const QString &password)
{
    PdfInspection result;
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(QFile::encodeName(path).constData(), password.toUtf8().constData());
        result.encrypted = pdf.isEncrypted();
        result.pages = int(QPDFPageDocumentHelper(pdf).getAllPages().size());
        if (result.pages == 0) {
            result.error = QStringLiteral("the PDF has no pages");
            return result;
        }
        result.readable = true;
    } catch (const QPDFExc &e) {
        result.wrongPassword = e.getErrorCode() == qpdf_e_password;
        result.encrypted = result.wrongPassword;
        result.error = QString::fromUtf8(e.getMessageDetail().c_str());
    } catch (const std::exception &e) {
        result.error = QString::fromUtf8(e.what());
    }
    return result;
}

QString encryptPdf(const QString &source, const PdfSink &sink, const QString &password)
{
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(QFile::encodeName(source).constData());
        Pl_Function output("velkarn book store", nullptr, [&sink](unsigned char const *data, size_t size) {
            sink(reinterpret_cast<const char *>(data), size);
        });
        QPDFWriter writer(pdf);
        writer.setOutputPipeline(&output);
        const QByteArray pw = password.toUtf8();
        writer.setR6EncryptionParameters(pw.constData(), pw.constData(), true, true, true, true,
                                         true, true, qpdf_r3p_full, true);
        writer.write();
    } catch (const std::exception &e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

} // namespace vk
