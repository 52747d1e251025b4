#pragma once

#include "PanelView.h"
#include "PdfOutline.h"

#include <QList>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace vk {

// The book's contents over the left of the page area: its outline as a tree,
// or a line saying the book has none. Choosing an entry with the mouse or
// Return hands it on; the panel itself never moves the view.
class ContentsPanel : public Panel<QWidget>
{
    Q_OBJECT
public:
    explicit ContentsPanel(QWidget *parent = nullptr);

    // Until the outline is asked for the panel shows nothing but its frame;
    // while it is read, a line saying so.
    void clear();
    void showReading();
    void setOutline(const QList<PdfOutlineEntry> &entries);
    bool hasOutline() const { return !m_entries.isEmpty(); }

    QTreeWidget *tree() const { return m_tree; }
    QString notice() const;

Q_SIGNALS:
    void entryChosen(const vk::PdfOutlineEntry &entry);

private:
    void choose(QTreeWidgetItem *item);

    QList<PdfOutlineEntry> m_entries;
    QLabel *m_notice = nullptr;
    QTreeWidget *m_tree = nullptr;
};

} // namespace vk
