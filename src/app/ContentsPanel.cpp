#include "ContentsPanel.h"

#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vk {

namespace {
constexpr int kEntryRole = Qt::UserRole;
}

ContentsPanel::ContentsPanel(QWidget *parent)
    : Panel<QWidget>(parent)
{
    setBackgroundColor(palette().color(QPalette::Base));
    setBorderWidth(2.0);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    m_notice = new QLabel(this);
    m_notice->setWordWrap(true);
    m_notice->setAlignment(Qt::AlignCenter);
    m_tree = new QTreeWidget(this);
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->header()->setStretchLastSection(true);
    layout->addWidget(m_notice);
    layout->addWidget(m_tree, 1);
    connect(m_tree, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) { choose(item); });
    connect(m_tree, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem *item) { choose(item); });
    clear();
}

void ContentsPanel::clear()
{
    m_entries.clear();
    m_tree->clear();
    m_tree->hide();
    m_notice->clear();
    m_notice->hide();
}

void ContentsPanel::showReading()
{
    clear();
    m_notice->setText(QStringLiteral("Reading the contents..."));
    m_notice->show();
}

void ContentsPanel::setOutline(const QList<PdfOutlineEntry> &entries)
{
    clear();
    m_entries = entries;
    if (entries.isEmpty()) {
        m_notice->setText(QStringLiteral("This book has no contents"));
        m_notice->show();
        return;
    }
    QList<QTreeWidgetItem *> items;
    items.reserve(entries.size());
    for (int i = 0; i < entries.size(); ++i) {
        const int parent = entries.at(i).parent;
        QTreeWidgetItem *item = parent >= 0 && parent < i ? new QTreeWidgetItem(items.at(parent))
                                                          : new QTreeWidgetItem(m_tree);
        item->setText(0, entries.at(i).title);
        item->setToolTip(0, entries.at(i).title);
        item->setData(0, kEntryRole, i);
        items.append(item);
    }
    m_tree->expandToDepth(0);
    m_tree->show();
}

QString ContentsPanel::notice() const
{
    return m_notice->isHidden() ? QString() : m_notice->text();
}

void ContentsPanel::choose(QTreeWidgetItem *item)
{
    const int i = item ? item->data(0, kEntryRole).toInt() : -1;
    if (i >= 0 && i < m_entries.size() && m_entries.at(i).page >= 0)
        Q_EMIT entryChosen(m_entries.at(i));
}

} // namespace vk
