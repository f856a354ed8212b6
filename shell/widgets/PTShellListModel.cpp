#include "shell/widgets/PTShellListModel.h"

#include "shell/widgets/ShellIcons.h"

#include <QMetaMethod>
#include <QPalette>
#include <utility>

QVariant TPTShellListModel::data(const QModelIndex& index, int role) const
{
    TPTShListData* item = Item(index.row());
    if (!item)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return index.column() == 0 ? item->GetDisplayName() : item->GetColText(index.column());
    case Qt::EditRole:
        return index.column() == 0 ? m_list->EditingName(index.row()) : QVariant();
    case Qt::DecorationRole: {
        if (index.column() != 0)
            return {};
        int imageIndex = -1;
        static const QMetaMethod signal =
            QMetaMethod::fromSignal(&TPTCustomShellList::OnGetImageIndex);
        if (m_list->isSignalConnected(signal))
            emit m_list->OnGetImageIndex(m_list, index.row(), imageIndex);
        if (imageIndex < 1)
            imageIndex = item->ImageIndex();
        std::uint32_t attributes = item->AddedAttributes();
        int overlay = (attributes & sfgao::Share)  ? kOverlayShare
                      : (attributes & sfgao::Link) ? kOverlayShortcut
                                                   : -1;
        return ShellGetSystemImageList(ptsizSmall)->Icon(imageIndex, overlay);
    }
    case Qt::BackgroundRole:
        if (item == m_dropItem)
            return m_list->palette().brush(QPalette::Highlight);
        return {};
    case Qt::ForegroundRole:
        if (item == m_dropItem)
            return m_list->palette().brush(QPalette::HighlightedText);
        // Hidden items are shown dimmed, as items that are cut.
        if (item->AddedAttributes() & sfgao::Ghosted)
            return m_list->palette().brush(QPalette::Disabled, QPalette::Text);
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() < columnCount())
            return QVariant::fromValue(
                m_columns[static_cast<std::size_t>(index.column())].alignment | Qt::AlignVCenter);
        return {};
    case Qt::ToolTipRole:
        return index.column() == 0 ? item->GetDisplayName() : QVariant();
    default:
        return {};
    }
}

QVariant TPTShellListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    if (role == Qt::DisplayRole)
        return m_columns[static_cast<std::size_t>(section)].caption;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(m_columns[static_cast<std::size_t>(section)].alignment |
                                   Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags TPTShellListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Whether a drag may start is the view's setting; drops are the list's own business.
    Qt::ItemFlags flags =
        Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren | Qt::ItemIsDragEnabled;
    if (index.row() == m_editRow && index.column() == 0)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool TPTShellListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || index.column() != 0 || index.row() != m_editRow)
        return false;
    return m_list->FinishEditing(index.row(), value.toString());
}

int TPTShellListModel::RowOf(const TPTShListData* data) const
{
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i].get() == data)
            return static_cast<int>(i);
    }
    return -1;
}

void TPTShellListModel::Append(std::vector<std::unique_ptr<TPTShListData>> items)
{
    if (items.empty())
        return;
    if (m_batches > 0) {
        for (auto& item : items)
            m_waiting.push_back(std::move(item));
        return;
    }
    int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(items.size()) - 1);
    for (auto& item : items)
        m_items.push_back(std::move(item));
    endInsertRows();
}

void TPTShellListModel::TAppendBatch::End()
{
    if (!m_model)
        return;
    TPTShellListModel& model = *m_model;
    m_model = nullptr;
    if (--model.m_batches == 0)
        model.Append(std::exchange(model.m_waiting, {}));
}

void TPTShellListModel::SetDropItem(const TPTShListData* item)
{
    if (item == m_dropItem)
        return;
    int old = RowOf(m_dropItem);
    m_dropItem = item;
    if (old >= 0)
        ItemChanged(old);
    if (int row = RowOf(item); row >= 0)
        ItemChanged(row);
}

void TPTShellListModel::RemoveRange(int first, int last)
{
    for (int row = first; row <= last; ++row) {
        if (Item(row) == m_dropItem)
            m_dropItem = nullptr;
    }
    beginRemoveRows({}, first, last);
    m_items.erase(m_items.begin() + first, m_items.begin() + last + 1);
    endRemoveRows();
}

void TPTShellListModel::Reorder(const std::vector<int>& newToOld)
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> oldToNew(newToOld.size());
    std::vector<std::unique_ptr<TPTShListData>> items(m_items.size());
    for (std::size_t i = 0; i < newToOld.size(); ++i) {
        oldToNew[static_cast<std::size_t>(newToOld[i])] = static_cast<int>(i);
        items[i] = std::move(m_items[static_cast<std::size_t>(newToOld[i])]);
    }
    m_items = std::move(items);
    const QModelIndexList persistent = persistentIndexList();
    QModelIndexList moved;
    moved.reserve(persistent.size());
    for (const QModelIndex& index : persistent)
        moved.append(this->index(oldToNew[static_cast<std::size_t>(index.row())], index.column()));
    changePersistentIndexList(persistent, moved);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void TPTShellListModel::ItemChanged(int row)
{
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}
