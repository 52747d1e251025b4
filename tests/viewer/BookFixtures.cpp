#include "BookFixtures.h"

#include <QFile>
#include <QFont>
#include <QPainter>
#include <QPdfWriter>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>

#include <exception>

namespace BookFixtures {

bool writeTextPdf(const QString &path, const QStringList &pages)
{
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A5));
    writer.setResolution(72);
    QPainter painter(&writer);
    if (!painter.isActive())
        return false;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(24);
    painter.setFont(font);
    for (int i = 0; i < pages.size(); ++i) {
        if (i > 0)
            writer.newPage();
        painter.drawText(QPointF(40, 80), pages.at(i));
    }
    return painter.end();
}

bool encryptPdf(const QString &source, const QString &target, const QString &password)
{
    try {
        // QPDFWriter keeps the file name pointer until it has written.
        const QByteArray sourceName = QFile::encodeName(source);
        const QByteArray targetName = QFile::encodeName(target);
        QPDF pdf;
        pdf.processFile(sourceName.constData());
        QPDFWriter writer(pdf, targetName.constData());
        const QByteArray user = password.toUtf8();
        const QByteArray owner = user + "-owner";
        writer.setR6EncryptionParameters(user.constData(), owner.constData(), true, true, true,
                                         true, true, true, qpdf_r3p_full, true);
        writer.write();
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

QStringList searchablePages()
{
    return {QStringLiteral("Alpha needle one"), QStringLiteral("Beta NEEDLE two"),
            QStringLiteral("Gamma Needle three haystack")};
}

} // namespace BookFixtures
