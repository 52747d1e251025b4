#include "PdfOutline.h"

#include <QPdfBookmarkModel>
#include <QPdfDocument>

namespace vk {

namespace {

void readLevel(const QPdfBookmarkModel &model, const QModelIndex &parent, QList<PdfOutlineEntry> &out)
{
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        PdfOutlineEntry entry;
        entry.title = model.data(index, int(QPdfBookmarkModel::Role::Title)).toString().simplified();
        entry.level = model.data(index, int(QPdfBookmarkModel::Role::Level)).toInt();
        entry.page = model.data(index, int(QPdfBookmarkModel::Role::Page)).toInt();
        entry.point = model.data(index, int(QPdfBookmarkModel::Role::Location)).toPointF();
        out.append(entry);
        readLevel(model, index, out);
    }
}

} // namespace

QList<PdfOutlineEntry> readOutline(QPdfDocument &pdf)
{
    QList<PdfOutlineEntry> entries;
    if (pdf.status() != QPdfDocument::Status::Ready)
        return entries;
    QPdfBookmarkModel model;
    model.setDocument(&pdf);
    readLevel(model, QModelIndex(), entries);
    for (PdfOutlineEntry &entry : entries) {
        if (entry.page >= pdf.pageCount())
            entry.page = -1;
    }
    return entries;
}

QList<int> outlineParents(const QList<PdfOutlineEntry> &entries)
{
    QList<int> parents;
    parents.reserve(entries.size());
    QList<int> open; // the entries still taking children, outermost first
    for (int i = 0; i < entries.size(); ++i) {
        while (!open.isEmpty() && entries.at(open.constLast()).level >= entries.at(i).level)
            open.removeLast();
        parents.append(open.isEmpty() ? -1 : open.constLast());
        open.append(i);
    }
    return parents;
}

} // namespace vk
