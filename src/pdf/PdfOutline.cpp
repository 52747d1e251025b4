#include "PdfOutline.h"

#include "Log.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFOutlineDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <QHash>

#include <exception>
#include <map>

namespace vk {

namespace {

// Outlines nest a few levels; a deeper one is broken or hostile.
constexpr int kMaxDepth = 32;
constexpr qsizetype kMaxEntries = 100000;

struct OutlineReader
{
    std::map<QPDFObjGen, int> pageIndex;
    QList<PdfOutlineEntry> entries;

    // The top of the destination's line on its page, in points from the top.
    static double topOf(QPDFObjectHandle dest, QPDFObjectHandle page)
    {
        if (!dest.isArray() || dest.getArrayNItems() < 2 || !dest.getArrayItem(1).isName())
            return 0;
        const std::string kind = dest.getArrayItem(1).getName();
        int at = -1;
        if (kind == "/XYZ")
            at = 3;
        else if (kind == "/FitH" || kind == "/FitBH")
            at = 2;
        else if (kind == "/FitR")
            at = 5;
        if (at < 0 || dest.getArrayNItems() <= at || !dest.getArrayItem(at).isNumber())
            return 0;
        const QPDFObjectHandle::Rectangle box =
            QPDFPageObjectHelper(page).getCropBox().getArrayAsRectangle();
        return qMax(0.0, box.ury - dest.getArrayItem(at).getNumericValue());
    }

    void read(std::vector<QPDFOutlineObjectHelper> items, int parent, int depth)
    {
        if (depth > kMaxDepth)
            return;
        for (QPDFOutlineObjectHelper &item : items) {
            if (entries.size() >= kMaxEntries)
                return;
            PdfOutlineEntry entry;
            entry.title = QString::fromStdString(item.getTitle()).simplified();
            entry.parent = parent;
            // A named destination may stand for a dictionary that holds the array.
            QPDFObjectHandle dest = item.getDest();
            if (dest.isDictionary() && dest.hasKey("/D"))
                dest = dest.getKey("/D");
            QPDFObjectHandle page = dest.isArray() && dest.getArrayNItems() > 0 ? dest.getArrayItem(0)
                                                                                 : QPDFObjectHandle::newNull();
            const auto found = page.isDictionary() ? pageIndex.find(page.getObjGen()) : pageIndex.end();
            if (found != pageIndex.end()) {
                entry.page = found->second;
                entry.point = QPointF(0, topOf(dest, page));
            }
            entries.append(entry);
            read(item.getKids(), int(entries.size()) - 1, depth + 1);
        }
    }
};

} // namespace

QList<PdfOutlineEntry> readOutline(const QByteArray &bytes, const QString &path, const QString &password)
{
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        const std::string secret = password.toStdString();
        if (!bytes.isEmpty())
            pdf.processMemoryFile("book", bytes.constData(), size_t(bytes.size()), secret.c_str());
        else
            pdf.processFile(path.toStdString().c_str(), secret.c_str());
        OutlineReader reader;
        int index = 0;
        for (QPDFPageObjectHelper &page : QPDFPageDocumentHelper(pdf).getAllPages())
            reader.pageIndex.emplace(page.getObjectHandle().getObjGen(), index++);
        QPDFOutlineDocumentHelper outlines(pdf);
        reader.read(outlines.getTopLevelOutlines(), -1, 0);
        return reader.entries;
    } catch (const std::exception &e) {
        logLine(QStringLiteral("book outline could not be read: %1").arg(QString::fromLocal8Bit(e.what()).left(200)));
        return {};
    }
}

} // namespace vk
