#include "PdfProtection.h"

#include <QFile>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <exception>

PdfInspection inspectPdf(const QString &path, const QString &password)
{
    PdfInspection result;
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(QFile::encodeName(path).constData(), password.toUtf8().constData());
        result.encrypted = pdf.isEncrypted();
        if (QPDFPageDocumentHelper(pdf).getAllPages().empty()) {
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

QString encryptPdf(const QString &source, const QString &target, const QString &password)
{
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        // QPDFWriter keeps the name pointer until it has written, so the
        // encoded names must outlive the writer.
        const QByteArray sourceName = QFile::encodeName(source);
        const QByteArray targetName = QFile::encodeName(target);
        pdf.processFile(sourceName.constData());
        QPDFWriter writer(pdf, targetName.constData());
        const QByteArray pw = password.toUtf8();
        writer.setR6EncryptionParameters(pw.constData(), pw.constData(), true, true, true, true,
                                         true, true, qpdf_r3p_full, true);
        writer.write();
    } catch (const std::exception &e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}
