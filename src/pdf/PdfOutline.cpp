#include "PdfOutline.h"

#include <QPdfBookmarkModel>
#include <QPdfDocument>

namespace vk {

namespace {

void readLevel(const QPdfBookmarkModel &model, const QModelIndex &parent, int parentEntry,
               QList<PdfOutlineEntry> &out)
{
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        PdfOutlineEntry entry;
        entry.title = model.data(index, int(QPdfBookmarkModel::Role::Title)).toString().simplified();
        entry.parent = parentEntry;
        entry.page = model.data(index, int(QPdfBookmarkModel::Role::Page)).toInt();
        entry.point = model.data(index, int(QPdfBookmarkModel::Role::Location)).toPointF();
        out.append(entry);
        readLevel(model, index, int(out.size()) - 1, out);
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
    readLevel(model, QModelIndex(), -1, entries);
    for (PdfOutlineEntry &entry : entries) {
        if (entry.page >= pdf.pageCount())
            entry.page = -1;
    }
    return entries;
}

} // namespace vk
