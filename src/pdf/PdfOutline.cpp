#include "PdfOutline.h"

#include "Log.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFOutlineDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

#include <QHash>

#include <exception>
#include <map>
#include <set>

namespace vk {

namespace {

// Outlines nest a few levels; a deeper one is broken or hostile.
constexpr int kMaxDepth = 32;
constexpr qsizetype kMaxEntries = 100000;

struct OutlineReader
{
    QPDF &pdf;
    std::map<QPDFObjGen, int> pageIndex;
    bool exactIndex = false;
    QList<PdfOutlineEntry> entries;

    // libqpdf's own page list reads every page object, and a LaTeX book keeps
    // its pages in as many compressed object streams, each parsed whole: a
    // second of a core for source3.pdf's 1,611 pages. A page tree node that
    // counts as many pages as it has kids holds pages only, so those are
    // numbered unread and only the inner nodes are read: 18 ms there.
    bool numberPagesQuickly(QPDFObjectHandle node, int depth, std::set<QPDFObjGen> &seen, int &next)
    {
        if (depth > kMaxDepth || !node.isDictionary() || !seen.insert(node.getObjGen()).second)
            return false;
        QPDFObjectHandle kids = node.getKey("/Kids");
        if (!kids.isArray())
            return pageIndex.emplace(node.getObjGen(), next++).second;
        const int count = kids.getArrayNItems();
        QPDFObjectHandle total = node.getKey("/Count");
        const bool pagesOnly = total.isInteger() && total.getIntValue() == count;
        for (int i = 0; i < count; ++i) {
            QPDFObjectHandle kid = kids.getArrayItem(i);
            if (pagesOnly)
                pageIndex.emplace(kid.getObjGen(), next++);
            else if (!numberPagesQuickly(kid, depth + 1, seen, next))
                return false;
        }
        return true;
    }

    void numberEveryPage()
    {
        pageIndex.clear();
        int index = 0;
        for (QPDFPageObjectHelper &page : QPDFPageDocumentHelper(pdf).getAllPages())
            pageIndex.emplace(page.getObjectHandle().getObjGen(), index++);
        exactIndex = true;
    }

    void numberPages()
    {
        std::set<QPDFObjGen> seen;
        int next = 0;
        QPDFObjectHandle root = pdf.getRoot().getKey("/Pages");
        QPDFObjectHandle total = root.isDictionary() ? root.getKey("/Count") : root;
        if (!numberPagesQuickly(root, 0, seen, next) || !total.isInteger() || total.getIntValue() != next)
            numberEveryPage();
    }

    // An empty page tree node beside a fuller one can pass for pages in the
    // quick numbering; an entry leading to a page it missed asks for the exact one.
    int indexOf(QPDFObjectHandle page)
    {
        if (!page.isDictionary())
            return -1;
        auto found = pageIndex.find(page.getObjGen());
        if (found == pageIndex.end() && !exactIndex) {
            numberEveryPage();
            found = pageIndex.find(page.getObjGen());
        }
        return found == pageIndex.end() ? -1 : found->second;
    }

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
            entry.page = indexOf(page);
            if (entry.page >= 0)
                entry.point = QPointF(0, topOf(dest, page));
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
        OutlineReader reader{pdf, {}, false, {}};
        reader.numberPages();
        QPDFOutlineDocumentHelper outlines(pdf);
        reader.read(outlines.getTopLevelOutlines(), -1, 0);
        return reader.entries;
    } catch (const std::exception &e) {
        logLine(QStringLiteral("book outline could not be read: %1").arg(QString::fromLocal8Bit(e.what()).left(200)));
        return {};
    }
}

} // namespace vk
