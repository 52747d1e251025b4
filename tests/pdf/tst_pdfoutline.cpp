#include "PdfOutline.h"

#include <QTest>

using namespace vk;

namespace {

QByteArray pdfOf(const QList<QByteArray> &objects)
{
    QByteArray pdf = "%PDF-1.4\n";
    QByteArray xref = "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (int i = 0; i < objects.size(); ++i) {
        xref += QByteArray::number(pdf.size()).rightJustified(10, '0') + " 00000 n \n";
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects.at(i) + "\nendobj\n";
    }
    const QByteArray start = QByteArray::number(pdf.size());
    return pdf + xref + "trailer\n<< /Size " + QByteArray::number(objects.size() + 1)
           + " /Root 1 0 R >>\nstartxref\n" + start + "\n%%EOF\n";
}

} // namespace

class TestPdfOutline : public QObject
{
    Q_OBJECT
private slots:
    // Pages are numbered from the page tree's counts where they allow it; an
    // empty node counted beside a fuller one must not shift or lose a page.
    void entriesLeadToTheirPagesInANestedPageTree()
    {
        const QByteArray page = "<< /Type /Page /MediaBox [0 0 600 800] /Parent ";
        const QList<QByteArray> objects = {
            "<< /Type /Catalog /Pages 2 0 R /Outlines 7 0 R >>",
            "<< /Type /Pages /Kids [3 0 R 6 0 R] /Count 3 >>",
            "<< /Type /Pages /Parent 2 0 R /Kids [4 0 R 5 0 R] /Count 2 >>",
            "<< /Type /Pages /Parent 3 0 R /Kids [] /Count 0 >>",
            "<< /Type /Pages /Parent 3 0 R /Kids [11 0 R 12 0 R] /Count 2 >>",
            page + "2 0 R >>",
            "<< /Type /Outlines /First 8 0 R /Last 10 0 R /Count 3 >>",
            "<< /Title (First) /Parent 7 0 R /Next 9 0 R /Dest [11 0 R /XYZ 0 700 0] >>",
            "<< /Title (Second) /Parent 7 0 R /Prev 8 0 R /Next 10 0 R /Dest [12 0 R /Fit] >>",
            "<< /Title (Third) /Parent 7 0 R /Prev 9 0 R /Dest [6 0 R /FitH 200] >>",
            page + "5 0 R >>",
            page + "5 0 R >>",
        };
        const QList<PdfOutlineEntry> entries = readOutline(pdfOf(objects), QString(), QString());
        QCOMPARE(entries.size(), 3);
        QCOMPARE(entries.at(0).page, 0);
        QCOMPARE(entries.at(0).point, QPointF(0, 100));
        QCOMPARE(entries.at(1).page, 1);
        QCOMPARE(entries.at(2).page, 2);
        QCOMPARE(entries.at(2).point, QPointF(0, 600));
    }
};

QTEST_GUILESS_MAIN(TestPdfOutline)
#include "tst_pdfoutline.moc"
