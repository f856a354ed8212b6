#include "shell/widgets/PTShellList.h"

#include "shell/namespace/PTDeviceChangeHandler.h"
#include "shell/namespace/ThreadHandOff.h"
#include "shell/widgets/PTShellListModel.h"
#include "shell/widgets/ShellListSupport.h"
#include "ui/ErrorBox.h"

#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMetaMethod>
#include <QTimer>
#include <algorithm>

using namespace shelllist;

TPTCustomShellList::TPTCustomShellList(QWidget* parent) : QWidget(parent)
{
    m_folder.SetOnChange([this] { HandleOnFolderChanged(); });
    m_model = new TPTShellListModel(this);
    m_selection = new QItemSelectionModel(m_model, this);
    connect(m_selection, &QItemSelectionModel::selectionChanged, this,
            &TPTCustomShellList::SelectionChanged);

    m_views.Create();

    m_changeTimer = new QTimer(this);
    m_changeTimer->setSingleShot(true);
    connect(m_changeTimer, &QTimer::timeout, this, [this] { Guarded([this] { TimerElapsed(); }); });

    SetMultiSelect(false);
    m_views.ApplyViewStyle();
    PTDeviceChangeHandler()->Add(
        this, [this](TPTDeviceChangeHandler*, const TDeviceChangeMessage& m) { DeviceChanged(m); });
}

TPTCustomShellList::~TPTCustomShellList()
{
    // Every item is announced as it goes, as a list view does when it is destroyed.
    try {
        NotifyDeleteAll();
    } catch (...) {
    }
    if (TPTDeviceChangeHandler* handler = PTDeviceChangeHandler())
        handler->Remove(this);
    if (m_linkedCombo)
        m_linkedCombo->ShellListDestroyed(this);
    if (m_linkedTree)
        m_linkedTree->ShellListDestroyed(this);
    m_contents.StopWatching();
    m_folder.SetOnChange(nullptr);
    disconnect(m_selection, nullptr, this, nullptr);
    m_views.Destroy();
    m_model->BeginReset();
    m_model->Items().clear();
    m_model->EndReset();
}

void TPTCustomShellList::ReportError(const QString& message)
{
    static const QMetaMethod signal = QMetaMethod::fromSignal(&TPTCustomShellList::OnError);
    if (isSignalConnected(signal)) {
        emit OnError(this, message);
        return;
    }
    ShowErrorBox(window(), message);
}

void TPTCustomShellList::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    HandleNeeded();
}

void TPTCustomShellList::ShareAccessibleTexts()
{
    m_views.ShareAccessibleTexts();
}

void TPTCustomShellList::HandleNeeded()
{
    if (m_handleAllocated)
        return;
    m_handleAllocated = true;
    ShareAccessibleTexts();
    if (HasOption(ptsloAutoFill) && ItemCount() == 0)
        QCoreApplication::postEvent(this, new TShellMessageEvent(AM_DEFERREDFILL, 0, 0));
}

bool TPTCustomShellList::event(QEvent* event)
{
    // The change watcher's thread posts its notices here.
    TakeOverPostedEvent(event);
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
    if (changed & (PtsloFlag(ptsloOleDrag) | PtsloFlag(ptsloOleDrop))) {
        m_views.ApplyDragDrop();
    }
    if (!m_handleAllocated)
        return;
    if (changed & PtsloFlag(ptsloDynamicRefresh)) {
        if (HasOption(ptsloDynamicRefresh)) {
            InstallChangeHandler();
            // What changed while nothing was watched is known by no name.
            m_compareAllNext = true;
        } else {
            StopWatching();
        }
    }
    if (changed & (PtsloFlag(ptsloHideFoldersWhenLinkedToTree) | PtsloFlag(ptsloShowHidden)))
        RefreshItems();
}

void TPTCustomShellList::SetFileFilter(const QString& filter)
{
    if (filter == m_fileFilter) {
        if (filter.isEmpty())
            m_nameFilter.SetText({});
        return;
    }
    m_fileFilter = filter;
    m_nameFilter.SetText(filter);
    if (HasOption(ptsloAutoFill))
        FillItems();
}

void TPTCustomShellList::SetMultiSelect(bool multiSelect)
{
    m_multiSelect = multiSelect;
    m_views.SetSelectionMode(multiSelect);
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
    return m_views.Current();
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

std::vector<int> TPTCustomShellList::SelectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : m_selection->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int TPTCustomShellList::DropHighlightItem() const
{
    return m_model->RowOf(m_model->DropItem());
}

// --- Keyboard and mouse: the keys are the commands', drags the drag and drop's

bool TPTCustomShellList::eventFilter(QObject* watched, QEvent* event)
{
    bool onView = m_views.IsView(watched);
    bool onViewport = m_views.IsViewport(watched);
    if (onView && event->type() == QEvent::KeyPress)
        return m_commands.KeyPress(static_cast<QKeyEvent*>(event));
    if (onViewport && m_dragDrop.DropTargetEvent(event))
        return true;
    if (onViewport && event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Guarded([this] { OpenSelectedItems(); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TPTCustomShellList::SetViewStyle(TViewStyle style)
{
    if (style == m_viewStyle)
        return;
    m_viewStyle = style;
    m_views.ApplyViewStyle();
}

void TPTCustomShellList::SetHeaderSortDisplayMode(TPTHeaderSortDisplayMode mode)
{
    m_headerSortDisplayMode = mode;
    m_views.ApplyHeaderSort();
}
