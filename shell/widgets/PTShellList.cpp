#include "shell/widgets/PTShellList.h"

#include "shell/namespace/PTDeviceChangeHandler.h"
#include "shell/namespace/ShellNames.h"
#include "shell/namespace/ShellShortcut.h"
#include "shell/namespace/ShellStrings.h"
#include "shell/widgets/PTShellListModel.h"
#include "shell/widgets/ShellIcons.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QMetaMethod>
#include <QPalette>
#include <QStackedLayout>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <algorithm>
#include <cstring>
#include <sys/stat.h>
#include <unordered_map>
#include <unordered_set>

namespace {

QString FromBytes(const std::string& bytes)
{
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

// Shows the busy cursor for as long as it lives.
class WaitCursor
{
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Widths of the columns, remembered across folders and lists.
std::vector<int>& RememberedColumnWidths()
{
    static std::vector<int> widths;
    return widths;
}

} // namespace

// --- TPTShListData

TPTShListData::TPTShListData(TPTCustomShellList* owner, IdListPtr relative,
                             std::uint32_t attributes)
    : m_owner(owner), m_relative(std::move(relative)), m_addedAttributes(attributes)
{
}

PCIdList TPTShListData::GetAbsoluteIdList()
{
    if (!m_absolute)
        m_absolute = ConcatIdListPtr(m_owner->CurrentFolderIdList(), m_relative.get());
    return m_absolute.get();
}

bool TPTShListData::IsLnkShortcut()
{
    return GetPathName().endsWith(QLatin1String(".lnk"), Qt::CaseInsensitive);
}

bool TPTShListData::IsValid()
{
    TShellFolderPtr folder = m_owner->CurrentFolder();
    if (!folder)
        return false;
    std::uint32_t attributes = sfgao::Validate;
    PCIdList item = m_relative.get();
    return Succeeded(folder->GetAttributesOf(std::span<const PCIdList>(&item, 1), attributes));
}

std::uint32_t TPTShListData::GetAttributes()
{
    TShellFolderPtr folder = m_owner->CurrentFolder();
    if (!folder)
        return 0;
    std::uint32_t attributes = 0x700F0037;
    PCIdList item = m_relative.get();
    if (Failed(folder->GetAttributesOf(std::span<const PCIdList>(&item, 1), attributes)))
        return 0;
    return attributes;
}

QString TPTShListData::GetDisplayName()
{
    if (!m_hasDisplayName) {
        TShellFolderPtr folder = m_owner->CurrentFolder();
        std::string name;
        if (folder && Succeeded(folder->GetDisplayNameOf(m_relative.get(), shgdn::Normal, name)))
            m_displayName = FromBytes(name);
        m_hasDisplayName = true;
    }
    return m_displayName;
}

QString TPTShListData::GetPathName()
{
    return FromBytes(ShellGetPathFromIdList(GetAbsoluteIdList()));
}

QString TPTShListData::GetFilename()
{
    return QFileInfo(GetPathName()).fileName();
}

void TPTShListData::FetchDetails()
{
    if (m_detailsFetched)
        return;
    m_detailsFetched = true;
    std::string path = ShellGetPathFromIdList(GetAbsoluteIdList());
    // Volume roots have no size or date of their own.
    bool isVolume = IdListItemData(m_relative.get()).substr(0, 2) == std::string_view("\0V", 2);
    if (path.size() > 1 && !isVolume) {
        struct stat st;
        if (::stat(path.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode))
                m_size =
                    QString::fromStdString(ShellSizeText(static_cast<std::uint64_t>(st.st_size)));
            m_modified =
                QString::fromStdString(ShellModifiedText(st.st_mtime ? st.st_mtime : st.st_ctime));
        } else if (::lstat(path.c_str(), &st) == 0) {
            // A link whose target is gone has nothing to read: no size, as its column shows.
            m_modified =
                QString::fromStdString(ShellModifiedText(st.st_mtime ? st.st_mtime : st.st_ctime));
        }
    }
    if (AddedAttributes() & sfgao::FileSystem)
        m_type = QString::fromStdString(ShellGetTypeName(GetAbsoluteIdList()));
    else
        m_type = PTLoadStr(TPTResString::SSystemFolder);
}

QString TPTShListData::GetSize()
{
    FetchDetails();
    return m_size;
}

QString TPTShListData::GetFileType()
{
    FetchDetails();
    return m_type;
}

QString TPTShListData::GetModified()
{
    FetchDetails();
    return m_modified;
}

QString TPTShListData::GetColText(int column)
{
    if (column <= 0)
        return {};
    if (auto details = m_owner->GetCurrentFolderIShellDetails()) {
        TShellDetailsInfo info;
        if (Failed(details->GetDetailsOf(m_relative.get(), column, info)))
            return {};
        return FromBytes(info.text);
    }
    switch (column) {
    case 1:
        return GetSize();
    case 2:
        return GetFileType();
    case 3:
        return GetModified();
    default:
        return {};
    }
}

void TPTShListData::SetData(IdListPtr relative)
{
    m_relative = std::move(relative);
    m_absolute.reset();
    Flush();
}

void TPTShListData::Flush()
{
    m_hasDisplayName = false;
    m_displayName.clear();
    m_detailsFetched = false;
    m_size.clear();
    m_type.clear();
    m_modified.clear();
    m_imageIndex = -1;
}

int TPTShListData::ImageIndex()
{
    if (m_imageIndex < 0)
        m_imageIndex = ShellGetIconIndex(GetAbsoluteIdList(), shgfi::SmallIcon);
    return m_imageIndex;
}

// --- TPTShellListModel

QVariant TPTShellListModel::data(const QModelIndex& index, int role) const
{
    TPTShListData* item = Item(index.row());
    if (!item)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return index.column() == 0 ? item->GetDisplayName() : item->GetColText(index.column());
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
    case Qt::ForegroundRole:
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
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
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
    int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(items.size()) - 1);
    for (auto& item : items)
        m_items.push_back(std::move(item));
    endInsertRows();
}

void TPTShellListModel::RemoveRange(int first, int last)
{
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

// --- TPTCustomShellList

TPTCustomShellList::TPTCustomShellList(QWidget* parent) : QWidget(parent)
{
    m_folder.SetOnChange([this] { HandleOnFolderChanged(); });
    m_model = new TPTShellListModel(this);
    m_selection = new QItemSelectionModel(m_model, this);
    connect(m_selection, &QItemSelectionModel::selectionChanged, this,
            &TPTCustomShellList::SelectionChanged);

    m_listView = new QListView(this);
    m_listView->setModel(m_model);
    m_listView->setSelectionModel(m_selection);
    m_listView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_listView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_listView->setUniformItemSizes(true);
    m_listView->setContextMenuPolicy(Qt::CustomContextMenu);
    m_listView->installEventFilter(this);
    m_listView->viewport()->installEventFilter(this);
    connect(m_listView, &QWidget::customContextMenuRequested, this,
            &TPTCustomShellList::ShowContextMenu);
    auto* layout = new QStackedLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_listView);
    setFocusProxy(m_listView);

    m_changeTimer = new QTimer(this);
    m_changeTimer->setSingleShot(true);
    connect(m_changeTimer, &QTimer::timeout, this, [this] { Guarded([this] { TimerElapsed(); }); });

    SetMultiSelect(false);
    ApplyViewStyle();
    PTDeviceChangeHandler()->Add(
        this, [this](TPTDeviceChangeHandler*, const TDeviceChangeMessage& m) { DeviceChanged(m); });
}

TPTCustomShellList::~TPTCustomShellList()
{
    if (TPTDeviceChangeHandler* handler = PTDeviceChangeHandler())
        handler->Remove(this);
    if (m_linkedCombo)
        m_linkedCombo->ShellListDestroyed(this);
    if (m_linkedTree)
        m_linkedTree->ShellListDestroyed(this);
    m_changeWatcher.reset();
    if (m_reportView) {
        auto& widths = RememberedColumnWidths();
        widths.clear();
        for (int i = 0; i < m_model->columnCount(); ++i)
            widths.push_back(m_reportView->columnWidth(i));
    }
    m_folder.SetOnChange(nullptr);
    disconnect(m_selection, nullptr, this, nullptr);
    // The views go first: closing the window lays them out again, and they would ask the
    // model for texts after this object's members are gone.
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(m_listView),
                                    static_cast<QAbstractItemView*>(m_reportView)}) {
        if (view) {
            view->removeEventFilter(this);
            view->viewport()->removeEventFilter(this);
        }
    }
    delete m_reportView;
    m_reportView = nullptr;
    delete m_listView;
    m_listView = nullptr;
    m_model->BeginReset();
    m_model->Items().clear();
    m_model->EndReset();
}

template <typename F> void TPTCustomShellList::Guarded(F&& action)
{
    try {
        action();
    } catch (const std::exception& error) {
        ReportError(QString::fromStdString(error.what()));
    }
}

void TPTCustomShellList::ReportError(const QString& message)
{
    static const QMetaMethod signal = QMetaMethod::fromSignal(&TPTCustomShellList::OnError);
    if (isSignalConnected(signal)) {
        emit OnError(this, message);
        return;
    }
    QString text = message;
    if (!text.isEmpty() && text.back() > QLatin1Char('.'))
        text += QLatin1Char('.');
    QMessageBox::critical(window(), QApplication::applicationName(), text);
}

void TPTCustomShellList::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    HandleNeeded();
}

void TPTCustomShellList::HandleNeeded()
{
    if (m_handleAllocated)
        return;
    m_handleAllocated = true;
    if (HasOption(ptsloAutoFill) && ItemCount() == 0)
        QCoreApplication::postEvent(this, new TShellMessageEvent(AM_DEFERREDFILL, 0, 0));
}

bool TPTCustomShellList::event(QEvent* event)
{
    if (event->type() == TShellMessageEvent::EventType()) {
        auto* message = static_cast<TShellMessageEvent*>(event);
        if (message->Message() == AM_CHANGENOTIFY)
            ChangeNotify();
        else if (message->Message() == AM_DEFERREDFILL)
            Guarded([this] { DeferredFill(); });
        return true;
    }
    return QWidget::event(event);
}

void TPTCustomShellList::DeferredFill()
{
    if (ItemCount() == 0)
        FillItems();
}

// --- Properties

void TPTCustomShellList::SetOptions(TPTShellListOptions options)
{
    TPTShellListOptions changed = options ^ m_options;
    m_options = options;
    if (!m_handleAllocated)
        return;
    if (changed & PtsloFlag(ptsloDynamicRefresh)) {
        if (HasOption(ptsloDynamicRefresh)) {
            InstallChangeHandler();
            // What changed while nothing was watched is known by no name.
            m_compareAllNext = true;
        } else if (m_changeWatcher) {
            m_changeTimer->stop();
            m_changeWatcher->RemoveAllWatches();
            m_watchSlot = -1;
        }
    }
    if (changed & (PtsloFlag(ptsloHideFoldersWhenLinkedToTree) | PtsloFlag(ptsloShowHidden)))
        RefreshItems();
}

void TPTCustomShellList::SetFileFilter(const QString& filter)
{
    if (filter == m_fileFilter) {
        if (filter.isEmpty()) {
            m_patterns.clear();
            m_hasPatterns = false;
        }
        return;
    }
    m_fileFilter = filter;
    m_patterns.clear();
    // Tokens are kept exactly as written, blanks included.
    for (const QString& token : filter.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        m_patterns.push_back(QFile::encodeName(token).toStdString());
    m_hasPatterns = true;
    if (HasOption(ptsloAutoFill))
        FillItems();
}

void TPTCustomShellList::SetMultiSelect(bool multiSelect)
{
    m_multiSelect = multiSelect;
    auto mode =
        multiSelect ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection;
    m_listView->setSelectionMode(mode);
    if (m_reportView)
        m_reportView->setSelectionMode(mode);
}

void TPTCustomShellList::SetViewStyle(TViewStyle style)
{
    if (style == m_viewStyle)
        return;
    m_viewStyle = style;
    ApplyViewStyle();
}

void TPTCustomShellList::ApplyViewStyle()
{
    auto* layout = static_cast<QStackedLayout*>(this->layout());
    if (m_viewStyle == vsReport) {
        QTreeView* view = ReportView();
        layout->setCurrentWidget(view);
        setFocusProxy(view);
        return;
    }
    m_listView->setGridSize(QSize());
    switch (m_viewStyle) {
    case vsIcon:
        m_listView->setViewMode(QListView::IconMode);
        m_listView->setIconSize(QSize(32, 32));
        m_listView->setFlow(QListView::LeftToRight);
        m_listView->setWordWrap(true);
        break;
    case vsSmallIcon:
        m_listView->setViewMode(QListView::IconMode);
        m_listView->setIconSize(QSize(16, 16));
        m_listView->setFlow(QListView::LeftToRight);
        m_listView->setWordWrap(false);
        break;
    default:
        // Small icons in columns that run top to bottom, scrolled sideways.
        m_listView->setViewMode(QListView::ListMode);
        m_listView->setIconSize(QSize(16, 16));
        m_listView->setFlow(QListView::TopToBottom);
        m_listView->setWrapping(true);
        m_listView->setWordWrap(false);
        m_listView->setTextElideMode(Qt::ElideRight);
        break;
    }
    m_listView->setMovement(QListView::Static);
    m_listView->setResizeMode(QListView::Adjust);
    // Large icons wrap their names to the room each one needs; one size for all would give
    // every item the first item's width.
    m_listView->setUniformItemSizes(m_viewStyle != vsIcon);
    layout->setCurrentWidget(m_listView);
    setFocusProxy(m_listView);
    UpdateItemSize();
}

QTreeView* TPTCustomShellList::ReportView()
{
    if (m_reportView)
        return m_reportView;
    m_reportView = new QTreeView(this);
    m_reportView->setModel(m_model);
    m_reportView->setSelectionModel(m_selection);
    m_reportView->setRootIsDecorated(false);
    m_reportView->setItemsExpandable(false);
    m_reportView->setUniformRowHeights(true);
    m_reportView->setAllColumnsShowFocus(true);
    m_reportView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_reportView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_reportView->setSelectionMode(m_multiSelect ? QAbstractItemView::ExtendedSelection
                                                 : QAbstractItemView::SingleSelection);
    m_reportView->setContextMenuPolicy(Qt::CustomContextMenu);
    m_reportView->header()->setSectionsClickable(true);
    m_reportView->header()->setStretchLastSection(false);
    m_reportView->installEventFilter(this);
    m_reportView->viewport()->installEventFilter(this);
    connect(m_reportView, &QWidget::customContextMenuRequested, this,
            &TPTCustomShellList::ShowContextMenu);
    connect(m_reportView->header(), &QHeaderView::sectionClicked, this,
            &TPTCustomShellList::ColumnClicked);
    static_cast<QStackedLayout*>(layout())->addWidget(m_reportView);
    for (int i = 0; i < m_model->columnCount(); ++i)
        m_reportView->setColumnWidth(i, m_model->Columns()[static_cast<std::size_t>(i)].width);
    SetHeaderSortDisplayMode(m_headerSortDisplayMode);
    return m_reportView;
}

void TPTCustomShellList::SetHeaderSortDisplayMode(TPTHeaderSortDisplayMode mode)
{
    m_headerSortDisplayMode = mode;
    if (!m_reportView)
        return;
    QHeaderView* header = m_reportView->header();
    header->setSortIndicatorShown(mode != ptlvNone && m_sortColumn != 0);
    if (m_sortColumn != 0)
        header->setSortIndicator(std::abs(m_sortColumn) - 1,
                                 m_sortColumn > 0 ? Qt::AscendingOrder : Qt::DescendingOrder);
}

QStringList TPTCustomShellList::ColumnCaptions() const
{
    QStringList captions;
    for (const auto& column : m_model->Columns())
        captions << column.caption;
    return captions;
}

// Columns wide enough for the longest names; only the longest few are measured.
void TPTCustomShellList::UpdateItemSize(int firstNewRow)
{
    if (m_viewStyle == vsReport)
        return;
    QFontMetrics metrics(m_listView->font());
    if (m_viewStyle == vsIcon) {
        // Room for a short name on one line and a longer one on two, as icon views give.
        QSize grid(std::max(76, metrics.averageCharWidth() * 13),
                   32 + 8 + 2 * metrics.lineSpacing() + 6);
        if (m_listView->gridSize() != grid)
            m_listView->setGridSize(grid);
        return;
    }
    int count = ItemCount();
    if (firstNewRow > 0 && m_listView->gridSize().isValid()) {
        // Items were added: the columns only ever grow for them.
        int width = m_listView->gridSize().width();
        for (int row = firstNewRow; row < count; ++row)
            width = std::max(
                width,
                std::min(16 + 10 + metrics.horizontalAdvance(m_model->Item(row)->GetDisplayName()) +
                             8,
                         420));
        if (width != m_listView->gridSize().width())
            m_listView->setGridSize(QSize(width, m_listView->gridSize().height()));
        return;
    }
    std::vector<std::pair<int, int>> lengths; // byte length, row
    lengths.reserve(static_cast<std::size_t>(count));
    for (int row = 0; row < count; ++row)
        lengths.emplace_back(static_cast<int>(IdListLen(m_model->Item(row)->GetRelativeIdList())),
                             row);
    std::size_t measured = std::min<std::size_t>(lengths.size(), 24);
    std::partial_sort(lengths.begin(), lengths.begin() + static_cast<std::ptrdiff_t>(measured),
                      lengths.end(),
                      [](const auto& a, const auto& b) { return a.first > b.first; });
    int textWidth = metrics.horizontalAdvance(QStringLiteral("MMMMMMMM"));
    for (std::size_t i = 0; i < measured; ++i)
        textWidth =
            std::max(textWidth,
                     metrics.horizontalAdvance(m_model->Item(lengths[i].second)->GetDisplayName()));
    int width = std::min(16 + 10 + textWidth + 8, 420);
    int height = std::max(metrics.height(), 16) + 4;
    QSize grid(width, height);
    if (m_listView->gridSize() != grid)
        m_listView->setGridSize(grid);
}

// --- Items

int TPTCustomShellList::ItemCount() const
{
    return m_model->rowCount();
}

bool TPTCustomShellList::IsItemSelected(int index) const
{
    return m_selection->isRowSelected(index, {});
}

void TPTCustomShellList::SetItemSelected(int index, bool selected)
{
    if (index < 0 || index >= ItemCount())
        return;
    m_selection->select(m_model->index(index, 0),
                        (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                            QItemSelectionModel::Rows);
}

int TPTCustomShellList::FocusedItem() const
{
    QModelIndex current = m_selection->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void TPTCustomShellList::SetFocusedItem(int index)
{
    if (index >= 0 && index < ItemCount())
        m_selection->setCurrentIndex(m_model->index(index, 0), QItemSelectionModel::NoUpdate);
}

QString TPTCustomShellList::ItemCaption(int index) const
{
    TPTShListData* data = m_model->Item(index);
    return data ? data->GetDisplayName() : QString();
}

QAbstractItemView* TPTCustomShellList::View() const
{
    if (m_viewStyle == vsReport && m_reportView)
        return m_reportView;
    return m_listView;
}

TPTShListData* TPTCustomShellList::GetShListData(int index) const
{
    return m_model->Item(index);
}

TPTShListData* TPTCustomShellList::GetSelectedItem() const
{
    const QModelIndexList rows = m_selection->selectedRows();
    int first = -1;
    for (const QModelIndex& index : rows)
        first = first < 0 ? index.row() : std::min(first, index.row());
    return m_model->Item(first);
}

int TPTCustomShellList::ShellSelCount() const
{
    int count = 0;
    for (const QItemSelectionRange& range : m_selection->selection())
        count += range.height();
    return count;
}

void TPTCustomShellList::SelectAll()
{
    if (ItemCount() == 0 || !m_multiSelect)
        return;
    QItemSelection all(m_model->index(0, 0), m_model->index(ItemCount() - 1, 0));
    m_selection->select(all, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void TPTCustomShellList::SelectionChanged(const QItemSelection& selected,
                                          const QItemSelection& deselected)
{
    static const QMetaMethod signal = QMetaMethod::fromSignal(&TPTCustomShellList::OnSelectItem);
    if (!isSignalConnected(signal))
        return;
    // One notice per item, as a list view sends them; ranges cover every column of a row.
    auto notify = [this](const QItemSelection& selection, bool state) {
        std::vector<int> rows;
        for (const QItemSelectionRange& range : selection) {
            if (range.left() != 0)
                continue;
            for (int row = range.top(); row <= range.bottom(); ++row)
                rows.push_back(row);
        }
        std::sort(rows.begin(), rows.end());
        rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
        for (int row : rows)
            emit OnSelectItem(this, row, state);
    };
    notify(deselected, false);
    notify(selected, true);
}

// --- Filling

void TPTCustomShellList::ClearItems()
{
    m_selection->clearSelection();
    static const QMetaMethod signal = QMetaMethod::fromSignal(&TPTCustomShellList::OnDeleteItem);
    if (isSignalConnected(signal)) {
        for (int row = ItemCount() - 1; row >= 0; --row)
            emit OnDeleteItem(this, row, m_model->Item(row));
    }
    m_model->BeginReset();
    m_model->Items().clear();
    m_model->EndReset();
}

bool TPTCustomShellList::IsEditing() const
{
    // A caption editor is a child of the view's viewport holding the focus.
    QWidget* focus = QApplication::focusWidget();
    return focus && focus != View()->viewport() && View()->viewport()->isAncestorOf(focus);
}

bool TPTCustomShellList::IsFocused() const
{
    return View()->hasFocus() ||
           (QApplication::focusWidget() && isAncestorOf(QApplication::focusWidget()));
}

void TPTCustomShellList::FillItems()
{
    if (!m_handleAllocated)
        return;
    if (m_busy || IsEditing()) {
        m_refreshPending = true;
        return;
    }
    m_refreshPending = false;
    m_compareAllNext = false;
    ++m_fillCount;
    {
        WaitCursor cursor;
        ClearItems();
        TShellFolderPtr folder;
        HResult hr = ShellGetFolderFromIdList(m_folder.GetIdList(), folder);
        if (Failed(hr)) {
            // The old folder is no longer shown: its changes must not bring refreshes (and
            // with them this error) again and again.
            m_changeTimer->stop();
            if (m_changeWatcher) {
                m_changeWatcher->RemoveAllWatches();
                m_watchSlot = -1;
            }
            throw TPTShellError(ShellErrorMessage(hr));
        }
        // Watch before reading the folder, so that no change made meanwhile is missed.
        if (HasOption(ptsloDynamicRefresh)) {
            m_currentFolder = folder;
            m_currentFolderIdList = CopyIdListPtr(m_folder.GetIdList());
            InstallChangeHandler();
        }
        FilterPreApply();
        try {
            FillList(folder, m_folder.GetIdList());
        } catch (...) {
            FilterPostApply();
            throw;
        }
        FilterPostApply();
    }
    SortList();
    UpdateItemSize();
    if (ItemCount() > 0)
        SetFocusedItem(0);
    if (m_viewStyle == vsIcon || m_viewStyle == vsSmallIcon)
        View()->scrollToTop();
    if (!HasOption(ptsloDynamicRefresh) && m_changeWatcher) {
        m_changeWatcher->RemoveAllWatches();
        m_watchSlot = -1;
    }
}

void TPTCustomShellList::FillList(const TShellFolderPtr& folder, PCIdList folderIdList)
{
    emit OnFillStart(this);
    IdListPtr previousIdList = std::move(m_currentFolderIdList);
    TShellFolderPtr previousFolder = m_currentFolder;
    m_currentFolderIdList = CopyIdListPtr(folderIdList);
    m_currentFolder = folder;
    m_details.reset();
    m_detailsFetched = false;
    auto restore = [&] {
        m_currentFolderIdList = std::move(previousIdList);
        m_currentFolder = previousFolder;
    };
    // The new folder's columns, also when it cannot be read.
    auto endUpdate = [this] {
        m_model->EndReset();
        if (m_reportView) {
            for (int i = 0; i < m_model->columnCount(); ++i)
                m_reportView->setColumnWidth(i,
                                             m_model->Columns()[static_cast<std::size_t>(i)].width);
        }
    };

    std::uint32_t flags = shcontf::Folders | shcontf::NonFolders;
    if (HasOption(ptsloShowHidden))
        flags |= shcontf::IncludeHidden;
    m_model->BeginReset();
    SetupColumns();
    std::unique_ptr<TShellEnumIdList> enumerator;
    if (Failed(folder->EnumObjects(flags, enumerator)) || !enumerator) {
        endUpdate();
        emit OnFillComplete(this);
        return;
    }
    std::vector<IdListPtr> collected;
    collected.reserve(500);
    HResult hr;
    for (;;) {
        IdListPtr item;
        hr = enumerator->Next(item);
        if (hr != kSOk)
            break;
        if (collected.size() == collected.capacity())
            collected.reserve(collected.size() + 500);
        collected.push_back(std::move(item));
    }
    if (hr != kSFalse && hr != kENoMoreItems && hr != kEFail) {
        m_model->EndReset();
        restore();
        throw TPTShellError(ShellErrorMessage(hr));
    }
    auto& items = m_model->Items();
    if (hr != kEFail) {
        items.reserve(collected.size());
        for (IdListPtr& relative : collected) {
            std::uint32_t attributes = 0;
            if (ShouldInclude(*folder, relative.get(), attributes))
                items.push_back(
                    std::make_unique<TPTShListData>(this, std::move(relative), attributes));
        }
    }
    endUpdate();
    emit OnFillComplete(this);
}

std::shared_ptr<TShellDetails> TPTCustomShellList::GetCurrentFolderIShellDetails()
{
    if (!m_detailsFetched && m_currentFolder) {
        m_details = m_currentFolder->GetDetails();
        m_detailsFetched = true;
    }
    return m_details;
}

void TPTCustomShellList::SetupColumns()
{
    auto& columns = m_model->Columns();
    auto& remembered = RememberedColumnWidths();
    if (m_reportView && !columns.empty()) {
        remembered.clear();
        for (int i = 0; i < static_cast<int>(columns.size()); ++i)
            remembered.push_back(m_reportView->columnWidth(i));
    }
    columns.clear();
    auto alignment = [](TShellDetailsInfo::Format format) {
        return format == TShellDetailsInfo::fmtRight    ? Qt::AlignRight
               : format == TShellDetailsInfo::fmtCenter ? Qt::AlignHCenter
                                                        : Qt::AlignLeft;
    };
    if (auto details = GetCurrentFolderIShellDetails()) {
        TShellDetailsInfo info;
        for (int i = 0; Succeeded(details->GetDetailsOf(nullptr, i, info)); ++i)
            columns.push_back({FromBytes(info.text), alignment(info.format), 7 * info.charWidth});
    } else {
        columns = {{PTLoadStr(TPTResString::SColumnName), Qt::AlignLeft, 200},
                   {PTLoadStr(TPTResString::SColumnSize), Qt::AlignRight, 60},
                   {PTLoadStr(TPTResString::SColumnType), Qt::AlignLeft, 100},
                   {PTLoadStr(TPTResString::SColumnModified), Qt::AlignLeft, 120}};
    }
    bool fileSystemFolder = m_currentFolder && !m_currentFolder->FileSystemPath().empty();
    if (fileSystemFolder && remembered.size() == columns.size()) {
        for (std::size_t i = 0; i < columns.size(); ++i)
            columns[i].width = remembered[i];
    }
    if (std::abs(m_sortColumn) > static_cast<int>(columns.size()))
        m_sortColumn = 1;
}

bool TPTCustomShellList::ShouldInclude(TShellFolder& folder, PCIdList relative,
                                       std::uint32_t& attributes)
{
    attributes = 0x720B0000;
    if (Failed(folder.GetAttributesOf(std::span<const PCIdList>(&relative, 1), attributes)))
        return false;
    bool candidate = HasOption(ptsloNonFilesystemAncestors) ||
                     (attributes & (sfgao::FileSystem | sfgao::FileSysAncestor));
    if (candidate && HasOption(ptsloHideFoldersWhenLinkedToTree) && m_linkedTree &&
        (attributes & sfgao::Folder) && (attributes & sfgao::FileSystem))
        candidate = false;
    return candidate && CanAdd(folder, relative, attributes);
}

bool TPTCustomShellList::CanAdd(TShellFolder& folder, PCIdList relative, std::uint32_t attributes)
{
    if (m_filterActive && !(attributes & sfgao::Folder)) {
        std::string name;
        if (Failed(folder.GetDisplayNameOf(relative, shgdn::ForParsing | shgdn::InFolder, name)))
            return false;
        std::size_t slash = name.find_last_of('/');
        std::string_view fileName = slash == std::string::npos
                                        ? std::string_view(name)
                                        : std::string_view(name).substr(slash + 1);
        if (!FilterApply(fileName, attributes))
            return false;
    }
    static const QMetaMethod signal = QMetaMethod::fromSignal(&TPTCustomShellList::OnAddItem);
    if (isSignalConnected(signal)) {
        bool allow = true;
        emit OnAddItem(this, &folder, m_currentFolderIdList.get(), relative, attributes, allow);
        return allow;
    }
    return true;
}

// Names are matched against the patterns directly, which gives what a search of the folder
// with each pattern would, without reading the folder once per pattern.
void TPTCustomShellList::FilterPreApply()
{
    m_filterActive = false;
    if (!m_currentFolder && !m_folder.GetIdList())
        return;
    std::string path = ShellGetPathFromIdList(m_folder.GetIdList());
    if (path.empty() || !m_hasPatterns || m_patterns.empty())
        return;
    if (m_fileFilter == QLatin1String("*") || m_fileFilter == QLatin1String("*.*"))
        return;
    m_filterActive = true;
}

bool TPTCustomShellList::FilterApply(std::string_view name, std::uint32_t attributes) const
{
    if (attributes & sfgao::Folder)
        return true;
    for (const std::string& pattern : m_patterns) {
        if (WildcardMatch(pattern, name))
            return true;
    }
    return false;
}

void TPTCustomShellList::FilterPostApply()
{
    m_filterActive = false;
}

// --- Sorting

void TPTCustomShellList::SortList()
{
    if (m_sortColumn == 0 || !m_currentFolder || ItemCount() < 2)
        return;
    int count = ItemCount();
    std::vector<PCIdList> order;
    order.reserve(static_cast<std::size_t>(count));
    std::unordered_map<PCIdList, int> rows;
    rows.reserve(static_cast<std::size_t>(count));
    for (int row = 0; row < count; ++row) {
        PCIdList relative = m_model->Item(row)->GetRelativeIdList();
        order.push_back(relative);
        rows.emplace(relative, row);
    }
    m_currentFolder->SortIdLists(std::abs(m_sortColumn) - 1, order);
    if (m_sortColumn < 0)
        std::reverse(order.begin(), order.end());
    std::vector<int> newToOld;
    newToOld.reserve(order.size());
    bool changed = false;
    for (PCIdList relative : order) {
        newToOld.push_back(rows[relative]);
        changed |= newToOld.back() != static_cast<int>(newToOld.size()) - 1;
    }
    if (changed)
        m_model->Reorder(newToOld);
}

void TPTCustomShellList::SetSortColumn(int column)
{
    m_sortColumn = column;
    SetHeaderSortDisplayMode(m_headerSortDisplayMode);
    SortList();
}

void TPTCustomShellList::ColumnClicked(int column)
{
    int before = m_sortColumn;
    emit OnColumnClick(this, column);
    if (m_sortColumn != before)
        return;
    if (std::abs(m_sortColumn) == column + 1)
        SetSortColumn(-m_sortColumn);
    else
        SetSortColumn(column + 1);
}

// --- Refreshing

void TPTCustomShellList::RefreshItems()
{
    if (m_busy || IsEditing()) {
        m_refreshPending = true;
        return;
    }
    if (ItemCount() == 0) {
        FillItems();
        return;
    }
    RefreshAll();
}

void TPTCustomShellList::AddNewShellItem(TShellFolder& folder, IdListPtr relative)
{
    try {
        std::uint32_t attributes = 0;
        if (!ShouldInclude(folder, relative.get(), attributes))
            return;
        std::vector<std::unique_ptr<TPTShListData>> items;
        items.push_back(std::make_unique<TPTShListData>(this, std::move(relative), attributes));
        m_model->Append(std::move(items));
    } catch (const std::exception&) {
        ReportError(QStringLiteral("Exception in AddNewShellItem"));
        throw;
    }
}

void TPTCustomShellList::RemoveRows(std::vector<int> rows)
{
    std::sort(rows.begin(), rows.end());
    static const QMetaMethod signal = QMetaMethod::fromSignal(&TPTCustomShellList::OnDeleteItem);
    bool notify = isSignalConnected(signal);
    // From the end, a run of neighbours at a time.
    for (int i = static_cast<int>(rows.size()) - 1; i >= 0;) {
        int last = rows[static_cast<std::size_t>(i)];
        int first = last;
        while (i > 0 && rows[static_cast<std::size_t>(i - 1)] == first - 1) {
            --first;
            --i;
        }
        --i;
        if (notify) {
            for (int row = last; row >= first; --row)
                emit OnDeleteItem(this, row, m_model->Item(row));
        }
        m_model->RemoveRange(first, last);
    }
}

// Compares the folder's items with the list's, keeping what is unchanged.
void TPTCustomShellList::RefreshAll()
{
    m_compareAllNext = false;
    WaitCursor cursor;
    emit OnFillStart(this);
    TShellFolderPtr folder = m_currentFolder;
    if (!folder) {
        emit OnFillComplete(this);
        return;
    }
    FilterPreApply();
    bool virtualFolder = folder->FileSystemPath().empty();
    TPTPidlList present;
    int count = ItemCount();
    present.SetCapacity(count);
    for (int row = 0; row < count; ++row) {
        TPTShListData* data = m_model->Item(row);
        present.AddObject(const_cast<PIdList>(data->GetRelativeIdList()), data);
    }
    if (virtualFolder)
        present.SetCompareFolder(folder);
    present.Sort();

    TPTPidlList found;
    found.SetAllocator(ShellIMalloc());
    if (virtualFolder)
        found.SetCompareFolder(folder);
    std::uint32_t flags = shcontf::Folders | shcontf::NonFolders;
    if (HasOption(ptsloShowHidden))
        flags |= shcontf::IncludeHidden;
    std::unique_ptr<TShellEnumIdList> enumerator;
    if (Failed(folder->EnumObjects(flags, enumerator)) || !enumerator) {
        // The folder went away or can no longer be read: nothing shown may stay, as after a
        // fill that cannot read it.
        present.Clear();
        std::vector<int> all(static_cast<std::size_t>(count));
        for (int row = 0; row < count; ++row)
            all[static_cast<std::size_t>(row)] = row;
        RemoveRows(std::move(all));
        FilterPostApply();
        emit OnFillComplete(this);
        return;
    }
    IdListPtr item;
    while (enumerator->Next(item) == kSOk)
        found.Add(item.release());
    found.Sort();

    // Both lists sorted the same way: one walk pairs up the items present in both.
    std::vector<char> keep(static_cast<std::size_t>(present.GetCount()), 0);
    std::vector<char> known(static_cast<std::size_t>(found.GetCount()), 0);
    for (int i = 0, j = 0; i < present.GetCount() && j < found.GetCount();) {
        int order = present.Compare(present.GetPIDL(i), found.GetPIDL(j));
        if (order == 0) {
            keep[static_cast<std::size_t>(i++)] = 1;
            known[static_cast<std::size_t>(j++)] = 1;
        } else if (order < 0) {
            ++i;
        } else {
            ++j;
        }
    }
    std::vector<int> gone;
    for (int i = 0; i < present.GetCount(); ++i) {
        if (!keep[static_cast<std::size_t>(i)])
            gone.push_back(m_model->RowOf(static_cast<TPTShListData*>(present.GetObject(i))));
    }
    present.Clear();
    if (!gone.empty())
        RemoveRows(std::move(gone));
    for (int j = 0; j < found.GetCount(); ++j) {
        if (known[static_cast<std::size_t>(j)])
            continue;
        IdListPtr relative(found.Extract(j));
        AddNewShellItem(*folder, std::move(relative));
    }
    FilterPostApply();
    UpdateItemSize();
    emit OnFillComplete(this);
}

// The watcher named what changed: only those names are looked at.
void TPTCustomShellList::RefreshNames(const std::vector<std::string>& names)
{
    WaitCursor cursor;
    emit OnFillStart(this);
    TShellFolderPtr folder = m_currentFolder;
    FilterPreApply();
    std::unordered_set<std::string> unique(names.begin(), names.end());
    std::vector<int> gone;
    std::vector<IdListPtr> added;
    for (const std::string& name : unique) {
        if (name.empty())
            continue;
        IdListPtr relative = MakeSingleIdList(name);
        int row = -1;
        std::size_t length = IdListLen(relative.get());
        for (int i = 0; i < ItemCount() && row < 0; ++i) {
            PCIdList present = m_model->Item(i)->GetRelativeIdList();
            // The first two bytes are the item's size: most names differ there already.
            if (present[0] == relative.get()[0] && present[1] == relative.get()[1] &&
                std::memcmp(present, relative.get(), length) == 0)
                row = i;
        }
        std::uint32_t attributes = sfgao::Validate | sfgao::Ghosted;
        PCIdList item = relative.get();
        bool exists =
            Succeeded(folder->GetAttributesOf(std::span<const PCIdList>(&item, 1), attributes));
        // The list shows what an enumeration would have given.
        if (exists && (attributes & sfgao::Ghosted) && !HasOption(ptsloShowHidden))
            exists = false;
        if (!exists && row >= 0)
            gone.push_back(row);
        else if (exists && row < 0)
            added.push_back(std::move(relative));
    }
    if (!gone.empty())
        RemoveRows(std::move(gone));
    for (IdListPtr& relative : added)
        AddNewShellItem(*folder, std::move(relative));
    FilterPostApply();
    if (!added.empty())
        UpdateItemSize(ItemCount() - static_cast<int>(added.size()));
    emit OnFillComplete(this);
}

void TPTCustomShellList::InstallChangeHandler()
{
    m_changeTimer->stop();
    if (m_changeWatcher)
        m_changeWatcher->RemoveAllWatches();
    else
        m_changeWatcher = std::make_unique<TChangeHandlerThread>(this, AM_CHANGENOTIFY);
    m_watchSlot = -1;
    std::string path = ShellGetPathFromIdList(m_folder.GetIdList());
    if (path.empty())
        return;
    int slot = -1;
    if (m_changeWatcher->AddWatch(path, filenotify::FileName | filenotify::DirName, false, &slot))
        m_watchSlot = slot;
}

void TPTCustomShellList::ChangeNotify()
{
    if (m_skipNextNotification) {
        m_skipNextNotification = false;
        return;
    }
    if (m_busy)
        return;
    m_changeTimer->start(IsFocused() ? PTSH_CHANGE_NOTIFY_FASTDELAY : PTSH_CHANGE_NOTIFY_DELAY);
}

bool TPTCustomShellList::ChangeRefreshPending() const
{
    return m_changeTimer->isActive();
}

void TPTCustomShellList::TimerElapsed()
{
    m_changeTimer->stop();
    ++m_folderChangeNesting;
    try {
        if (m_linkedTree)
            m_linkedTree->ShellListSynchronize();
        if (m_linkedCombo)
            m_linkedCombo->ShellListSynchronize();
    } catch (...) {
        --m_folderChangeNesting;
        throw;
    }
    --m_folderChangeNesting;
    std::vector<std::string> names;
    bool known =
        m_changeWatcher && m_watchSlot >= 0 && m_changeWatcher->TakeChanges(m_watchSlot, names);
    if (known && !m_compareAllNext && !m_busy && !IsEditing() && ItemCount() > 0 && m_currentFolder)
        RefreshNames(names);
    else
        RefreshItems();
}

void TPTCustomShellList::Synchronize(bool linked)
{
    if (linked) {
        if (m_linkedTree)
            m_linkedTree->ShellListSynchronize();
        if (m_linkedCombo)
            m_linkedCombo->ShellListSynchronize();
    }
    if (m_changeTimer->isActive())
        TimerElapsed();
}

void TPTCustomShellList::SetBusy(bool busy)
{
    m_busy = busy;
    if (!busy && m_refreshPending) {
        m_refreshPending = false;
        RefreshItems();
    }
}

bool TPTCustomShellList::RenameItem(int index, const QString& newName)
{
    TPTShListData* data = m_model->Item(index);
    if (!data || !m_currentFolder || m_readOnly)
        return false;
    QString text = newName.trimmed();
    IdListPtr renamed;
    m_skipNextNotification = true;
    HResult hr;
    {
        WaitCursor cursor;
        hr = m_currentFolder->SetNameOf(data->GetRelativeIdList(),
                                        QFile::encodeName(text).toStdString(),
                                        shgdn::InFolder | 0x20, &renamed);
    }
    if (Failed(hr)) {
        // Nothing changed on disk, so no notice will come to be skipped.
        m_skipNextNotification = false;
        return false;
    }
    if (renamed)
        data->SetData(std::move(renamed));
    else
        data->Flush();
    m_model->ItemChanged(index);
    if (m_refreshPending) {
        m_refreshPending = false;
        RefreshItems();
    }
    return true;
}

// --- Opening and navigating

bool TPTCustomShellList::DblClickOpen()
{
    bool handled = false;
    emit OnDblClickOpen(this, handled);
    return handled;
}

void TPTCustomShellList::OpenSelectedItems()
{
    Synchronize(true);
    std::vector<int> rows;
    for (const QModelIndex& index : m_selection->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    if (rows.size() > 1) {
        if (!DblClickOpen())
            DoDefaultCommand(rows);
    } else if (rows.size() == 1) {
        OpenItem(rows.front());
    }
}

void TPTCustomShellList::OpenItem(int index)
{
    Synchronize(true);
    TPTShListData* data = m_model->Item(index);
    if (!data) {
        DblClickOpen();
        return;
    }
    IdListPtr target;
    {
        WaitCursor cursor;
        std::uint32_t attributes = sfgao::Folder | sfgao::Link | sfgao::Validate;
        PCIdList item = data->GetRelativeIdList();
        if (m_currentFolder &&
            Succeeded(m_currentFolder->GetAttributesOf(std::span<const PCIdList>(&item, 1),
                                                       attributes)) &&
            (attributes & sfgao::Folder)) {
            // A link to a folder leads to the folder it points at.
            TLinkData link;
            std::string path = QFile::encodeName(data->GetPathName()).toStdString();
            if ((attributes & sfgao::Link) && Succeeded(ResolveShortcut(path, link, true)) &&
                link.idList)
                target = std::move(link.idList);
            else
                target = CopyIdListPtr(data->GetAbsoluteIdList());
        } else if (data->IsLnkShortcut()) {
            TLinkData link;
            std::string path = QFile::encodeName(data->GetPathName()).toStdString();
            if (Succeeded(ResolveShortcut(path, link, true)) &&
                (link.findData.attributes & FILE_ATTRIBUTE_DIRECTORY) && link.idList)
                target = std::move(link.idList);
        }
    }
    if (target) {
        NavigateTo(target.get());
        return;
    }
    if (!DblClickOpen())
        DoDefaultCommand({index});
}

void TPTCustomShellList::DoDefaultCommand(const std::vector<int>& rows)
{
    for (int row : rows) {
        TPTShListData* data = m_model->Item(row);
        if (!data)
            continue;
        QString path = data->GetPathName();
        if (path.isEmpty())
            continue;
        if (m_openHandler)
            m_openHandler(path);
        else
            QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }
}

void TPTCustomShellList::NavigateTo(PCIdList absolute)
{
    if (HasOption(ptsloDontChangeFolder))
        return;
    IdListPtr target = CopyIdListPtr(absolute);
    int fills = m_fillCount;
    ClearItems();
    if (m_linkedTree)
        m_linkedTree->ShellListFolderChanged(target.get());
    else if (m_linkedCombo)
        m_linkedCombo->ShellListFolderChanged(target.get());
    else
        m_folder.SetIdList(target.get());
    // The folder did not change (a link back to itself): show it again rather than nothing.
    if (m_fillCount == fills)
        FillItems();
}

void TPTCustomShellList::GoUp(int levels)
{
    if (HasOption(ptsloDontChangeFolder))
        return;
    if (m_linkedTree) {
        m_linkedTree->ShellListGoUp(levels);
        return;
    }
    if (m_linkedCombo) {
        m_linkedCombo->ShellListGoUp(levels);
        return;
    }
    TPTIdListArray array(m_folder.GetIdList());
    if (array.GetCount() == 0)
        return;
    m_folder.SetIdList(array.GoUp(std::min(levels, array.GetCount())));
}

void TPTCustomShellList::HandleOnFolderChanged()
{
    if (m_folderChangeNesting == 0) {
        ++m_folderChangeNesting;
        // A folder that cannot be shown is reported here: whoever set the folder (start-up,
        // the combo, a double-click) goes on with an empty list.
        try {
            Guarded([this] {
                PCIdList idList = m_folder.GetIdList();
                if (m_linkedTree)
                    m_linkedTree->ShellListFolderChanged(idList);
                else if (m_linkedCombo)
                    m_linkedCombo->ShellListFolderChanged(idList);
                FillItems();
            });
        } catch (...) {
            --m_folderChangeNesting;
            throw;
        }
        --m_folderChangeNesting;
    }
    emit OnFolderChanged(this);
}

void TPTCustomShellList::DeviceChanged(const TDeviceChangeMessage& message)
{
    if (message.wParam != DBT_DEVICEARRIVAL && message.wParam != DBT_DEVICEREMOVECOMPLETE)
        return;
    FlushDriveInfoCache();
    if (!ShellCSIDLEqualsIdList(m_folder.GetIdList(), csidlDrives))
        return;
    LockFlushDriveInfoCache();
    Guarded([this] { FillItems(); });
    UnlockFlushDriveInfoCache();
}

// --- Shell verbs: this build offers none of its own yet, so every lookup finds nothing and
// nothing is done, which is the safe answer for a verb an item does not offer.

bool TPTCustomShellList::DoCommandForAllSelected(const std::string&)
{
    return false;
}
bool TPTCustomShellList::DoCommandForItem(int, const std::string&)
{
    return false;
}
bool TPTCustomShellList::DoCommandForFolder(const std::string&)
{
    return false;
}

// --- Keyboard, mouse and menus

bool TPTCustomShellList::HandleKey(QKeyEvent* event)
{
    if (!HasOption(ptsloDefaultKeyHandling) || IsEditing())
        return false;
    Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && modifiers == Qt::NoModifier) {
        OpenSelectedItems();
        return true;
    }
    if (key == Qt::Key_Backspace && modifiers == Qt::NoModifier) {
        GoUp(1);
        return true;
    }
    enum Command
    {
        cmdSelectAll,
        cmdRefresh,
        cmdCopy,
        cmdCut,
        cmdPaste,
        cmdEdit,
        cmdDelete
    };
    static const std::pair<TPTResString, Command> table[] = {
        {TPTResString::SShKey_SelectAll, cmdSelectAll}, {TPTResString::SShKey_Refresh, cmdRefresh},
        {TPTResString::SShKey_Copy, cmdCopy},           {TPTResString::SShKey_Cut, cmdCut},
        {TPTResString::SShKey_Paste, cmdPaste},         {TPTResString::SShKey_Edit, cmdEdit},
        {TPTResString::SShKey_Delete, cmdDelete}};
    QKeyCombination pressed(modifiers, static_cast<Qt::Key>(key));
    for (int attempt = 0; attempt < 2; ++attempt) {
        for (const auto& [text, command] : table) {
            if (ShortCutFromText(PTLoadStr(text)) != pressed)
                continue;
            switch (command) {
            case cmdSelectAll:
                SelectAll();
                return true;
            case cmdRefresh:
                FillItems();
                return true;
            case cmdCopy:
                return DoCommandForAllSelected("copy");
            case cmdCut:
                return DoCommandForAllSelected("cut");
            case cmdPaste:
                if (!DoCommandForFolder("paste"))
                    return false;
                RefreshItems();
                return true;
            case cmdEdit:
                // Caption editing starts here once the list offers it.
                return false;
            case cmdDelete:
                if (!DoCommandForAllSelected("delete"))
                    return false;
                RefreshItems();
                return true;
            }
        }
        // Shift+Del deletes as Del does.
        if (pressed.key() != Qt::Key_Delete || !(modifiers & Qt::ShiftModifier))
            break;
        pressed = QKeyCombination(modifiers & ~Qt::ShiftModifier, Qt::Key_Delete);
    }
    return false;
}

bool TPTCustomShellList::eventFilter(QObject* watched, QEvent* event)
{
    bool onView = watched == m_listView || watched == m_reportView;
    bool onViewport =
        watched == m_listView->viewport() || (m_reportView && watched == m_reportView->viewport());
    if (onView && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        bool consumed = false;
        Guarded([&] { consumed = HandleKey(key); });
        // Selecting everything is the list's own command, off with the default keys; the
        // view must not do it behind the list's back.
        return consumed || key->matches(QKeySequence::SelectAll);
    }
    if (onViewport && event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Guarded([this] { OpenSelectedItems(); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TPTCustomShellList::ShowContextMenu(const QPoint& position)
{
    QAbstractItemView* view = View();
    QPoint point = position;
    int item = -1;
    int focused = FocusedItem();
    if (focused >= 0 && IsItemSelected(focused)) {
        item = focused;
    } else if (TPTShListData* first = GetSelectedItem()) {
        item = m_model->RowOf(first);
    }
    if (item >= 0) {
        QRect rect = view->visualRect(m_model->index(item, 0));
        // The centre of the item's icon.
        point = QPoint(rect.left() + 2 + view->iconSize().width() / 2, rect.center().y());
    }
    QMenu* menu = nullptr;
    emit OnItemContextMenu(this, item, point, menu);
    // The shell's own menu of the selection takes the place of the popup menu once the list
    // offers shell verbs (DoCommandForAllSelected); until then the popup menu is shown.
    if (menu)
        menu->popup(view->viewport()->mapToGlobal(point));
}
