#include "shell/widgets/PTShellCombo.h"

#include "shell/namespace/NameBytes.h"
#include "shell/widgets/ShellIcons.h"
#include "ui/ErrorBox.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QMessageBox>
#include <QMetaMethod>
#include <QScreen>
#include <algorithm>
#include <span>

namespace {

// What the combo asks of each child: HASSUBFOLDER, FILESYSTEM, FOLDER, FILESYSANCESTOR,
// GHOSTED, SHARE and LINK; the path below a folder asks the same without FILESYSTEM.
constexpr std::uint32_t kChildAttributes = 0xF00B0000;
constexpr std::uint32_t kPathAttributes = 0xB00B0000;

const QEvent::Type kDeferredFillEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

QString FolderItemName(TShellFolder& folder, PCIdList item, std::uint32_t flags)
{
    std::string name;
    if (Failed(folder.GetDisplayNameOf(item, flags, name)))
        return {};
    return DisplayName(name);
}

std::uint32_t AttributesOf(TShellFolder& folder, PCIdList item, std::uint32_t asked)
{
    std::uint32_t attributes = asked;
    if (Failed(folder.GetAttributesOf(std::span<const PCIdList>(&item, 1), attributes)))
        return 0;
    return attributes;
}

int OverlayFor(std::uint32_t attributes)
{
    if (attributes & sfgao::Share)
        return kOverlayShare;
    if (attributes & sfgao::Link)
        return kOverlayShortcut;
    return -1;
}

// Null and the empty id list both name the desktop.
bool SameFolder(PCIdList a, PCIdList b)
{
    IdListPtr empty = MakeIdList({});
    return CompareAbsIdLists(a ? a : empty.get(), b ? b : empty.get()) == 0;
}

[[noreturn]] void RaiseShellError(HResult hr)
{
    throw TPTShellError(ShellErrorMessage(hr));
}

TShellFolder* g_sortFolder = nullptr;

} // namespace

void SortPidls(TShellFolder& folder, std::vector<PCIdList>& items)
{
    if (g_sortFolder)
        throw TPTShellError("Recursive call to SortPidls");
    g_sortFolder = &folder;
    try {
        folder.SortIdLists(0, items);
    } catch (...) {
        g_sortFolder = nullptr;
        throw;
    }
    g_sortFolder = nullptr;
}

// --- TPTShComboData

TPTShComboData::TPTShComboData(TPTCustomShellCombo* owner, TShellFolderPtr parentFolder,
                               PCIdList parentIdList, PCIdList relativeIdList)
    : m_owner(owner), m_parentFolder(std::move(parentFolder))
{
    if (parentIdList)
        m_parentIdList = CopyIdListPtr(parentIdList);
    if (relativeIdList) {
        m_relativeIdList = CopyIdListPtr(relativeIdList);
        m_absoluteIdList = ConcatIdListPtr(parentIdList, relativeIdList);
    }
}

TShellFolderPtr TPTShComboData::GetThisIShf()
{
    if (m_ownFolder)
        return m_ownFolder;
    if (!m_relativeIdList) {
        m_ownFolder = ShellGetDesktopFolder();
    } else {
        HResult hr = m_parentFolder->BindToObject(m_relativeIdList.get(), m_ownFolder);
        if (Failed(hr))
            RaiseShellError(hr);
    }
    return m_ownFolder;
}

// --- TPTCustomShellCombo

TPTCustomShellCombo::TPTCustomShellCombo(QWidget* parent) : TPTCustomImageCombo(parent)
{
    m_selectedFolder.SetOnChange([this] { SelectedFolderChanged(); });
}

TPTCustomShellCombo::~TPTCustomShellCombo()
{
    m_selectedFolder.SetOnChange(nullptr);
    if (m_shellList && m_shellList->LinkedCombo() == this)
        m_shellList->SetLinkedCombo(nullptr);
    ClearItems();
}

void TPTCustomShellCombo::SetDropDownCount(int count)
{
    m_dropDownCount = std::max(1, count);
    setMaxVisibleItems(m_dropDownCount);
}

void TPTCustomShellCombo::SetShellList(TPTCustomShellList* list)
{
    if (list == m_shellList)
        return;
    if (m_shellList && m_shellList->LinkedCombo() == this)
        m_shellList->SetLinkedCombo(nullptr);
    m_shellList = list;
    if (!list)
        return;
    // A list has one combo: the one it leaves goes on alone.
    if (auto* previous = dynamic_cast<TPTCustomShellCombo*>(list->LinkedCombo()))
        previous->m_shellList = nullptr;
    list->SetLinkedCombo(this);
    // The list already shows the folder the program gave it; the combo shows the same.
    ShellListFolderChanged(list->Folder().GetIdList());
}

void TPTCustomShellCombo::ShellListDestroyed(TPTCustomShellList* list)
{
    if (list == m_shellList)
        m_shellList = nullptr;
}

void TPTCustomShellCombo::ShellListFolderChanged(PCIdList absolute)
{
    IdListPtr target = CopyIdListPtr(absolute);
    Guarded([&] { m_selectedFolder.SetIdList(target.get()); });
}

void TPTCustomShellCombo::ShellListGoUp(int levels)
{
    Guarded([&] { GoUp(levels); });
}

void TPTCustomShellCombo::ShellListSynchronize()
{
    // Nothing of the combo's own waits to be refreshed.
}

void TPTCustomShellCombo::Synchronize(bool linked)
{
    if (linked && m_shellList)
        m_shellList->Synchronize(false);
}

void TPTCustomShellCombo::SelectedFolderChanged()
{
    if (m_updating > 0)
        return;
    ++m_updating;
    Guarded([this] {
        if (m_shellList)
            m_shellList->Folder().SetIdList(m_selectedFolder.GetIdList());
        FillItems();
    });
    --m_updating;
}

void TPTCustomShellCombo::SelEndOk(int index)
{
    TPTCustomImageCombo::SelEndOk(index);
    TPTShComboData* data = GetShComboData(index);
    if (!data)
        return;
    // The entry goes with the refill that follows.
    IdListPtr target = CopyIdListPtr(data->AbsoluteIdList());
    m_selectedFolder.SetIdList(target.get());
}

void TPTCustomShellCombo::GoUp(int levels)
{
    if (levels <= 0)
        return;
    int index = ItemIndex();
    TPTShComboData* data = GetShComboData(index);
    if (!data || !SameFolder(data->AbsoluteIdList(), m_selectedFolder.GetIdList())) {
        // The selected folder has no entry of its own (not filled yet, or a path that could
        // not be traced): go up by its id list, so that going up always reaches the parent.
        TPTIdListArray array(m_selectedFolder.GetIdList());
        if (array.GetCount() == 0)
            return;
        IdListPtr parent = CopyIdListPtr(array.GoUp(std::min(levels, array.GetCount())));
        m_selectedFolder.SetIdList(parent.get());
        return;
    }
    int lowest = Item(index)->Indent() - levels + 1;
    int target = index;
    while (target > 0 && Item(target)->Indent() >= lowest)
        --target;
    if (target == index)
        return;
    IdListPtr parent = CopyIdListPtr(GetShComboData(target)->AbsoluteIdList());
    m_selectedFolder.SetIdList(parent.get());
}

TPTShComboData* TPTCustomShellCombo::GetShComboData(int index) const
{
    TPTImageComboItem* item = Item(index);
    return item ? static_cast<TPTShComboData*>(item->Data()) : nullptr;
}

bool TPTCustomShellCombo::CanAdd(TShellFolder&, PCIdList, int, std::uint32_t, PCIdList)
{
    return true;
}

// --- Filling

void TPTCustomShellCombo::FillItems()
{
    if (!m_handleAllocated)
        return;
    m_filled = true;
    ++m_updating;
    BeginUpdate();
    m_selectedDuringFill = -1;
    try {
        ClearItems();
        TPTIdListArray path(m_selectedFolder.GetIdList());
        TShellFolderPtr desktop = ShellGetDesktopFolder();
        if (!desktop)
            RaiseShellError(kEFail);
        FillCombo(desktop, nullptr, path, -1);
    } catch (...) {
        // The entries added so far stay.
        SetItemIndex(m_selectedDuringFill);
        EndUpdate();
        --m_updating;
        throw;
    }
    SetItemIndex(m_selectedDuringFill >= 0 ? m_selectedDuringFill : 0);
    EndUpdate();
    --m_updating;
}

int TPTCustomShellCombo::AddShellItem(const TShellFolderPtr& folder, PCIdList folderIdList,
                                      PCIdList child, std::uint32_t attributes, int indent,
                                      const QString& caption, int imageIndex)
{
    int index = AddItem(caption, imageIndex, indent);
    TPTImageComboItem* item = Item(index);
    item->SetData(std::make_unique<TPTShComboData>(this, folder, folderIdList, child));
    item->SetOverlayIndex(OverlayFor(attributes));
    return index;
}

void TPTCustomShellCombo::FillCombo(const TShellFolderPtr& folder, PCIdList folderIdList,
                                    TPTIdListArray& path, int level)
{
    IdListPtr drives;
    HResult hr = ShellGetSpecialFolderIdList(csidlDrives, drives);
    if (Failed(hr))
        RaiseShellError(hr);

    IdListPtr folderId;
    if (level < 0) {
        int index = AddItem(DisplayName(ShellGetFriendlyNameForLastIdListElement(nullptr)),
                            ShellGetIconIndex(nullptr, shgfi::SmallIcon), 0);
        Item(index)->SetData(std::make_unique<TPTShComboData>(this, folder, nullptr, nullptr));
        level = 1;
    } else {
        folderId = CopyIdListPtr(folderIdList);
    }

    // Folders only: hidden ones are not asked for.
    std::unique_ptr<TShellEnumIdList> enumerator;
    hr = folder->EnumObjects(shcontf::Folders, enumerator);
    if (Failed(hr))
        RaiseShellError(hr);
    std::vector<IdListPtr> children;
    if (enumerator) {
        for (;;) {
            IdListPtr child;
            hr = enumerator->Next(child);
            if (hr != kSOk)
                break;
            children.push_back(std::move(child));
        }
        if (Failed(hr))
            RaiseShellError(hr);
    }
    std::vector<PCIdList> order;
    order.reserve(children.size());
    for (const IdListPtr& child : children)
        order.push_back(child.get());
    SortPidls(*folder, order);

    bool tracing = path.GetCount() >= level;
    for (PCIdList child : order) {
        std::uint32_t attributes = AttributesOf(*folder, child, kChildAttributes);
        if (!HasOption(ptscoNonFilesystemAncestors) &&
            !(attributes & (sfgao::FileSystem | sfgao::FileSysAncestor)))
            continue;
        if (!CanAdd(*folder, folderId.get(), level, attributes, child))
            continue;
        IdListPtr absolute = ConcatIdListPtr(folderId.get(), child);
        bool onPath = false;
        if (tracing) {
            HResult order = folder->CompareIDs(0, path.GetItem(level - 1), child);
            onPath = Succeeded(order) && CompareResultCode(order) == 0;
        }
        bool selected = onPath && path.GetCount() == level;
        QString caption;
        int imageIndex = -1;
        if (selected) {
            caption = FolderItemName(*folder, child, shgdn::InFolder);
            imageIndex = ShellGetIconIndex(absolute.get(), shgfi::SmallIcon | shgfi::OpenIcon);
        }
        int index =
            AddShellItem(folder, folderId.get(), child, attributes, level, caption, imageIndex);
        bool isDrives = level == 1 && CompareAbsIdLists(absolute.get(), drives.get()) == 0;
        if (onPath) {
            tracing = false;
            if (selected) {
                m_selectedDuringFill = index;
                SetItemIndex(index);
            } else if (!isDrives) {
                AddPathBelow(folder, absolute.get(), child, path, level);
            }
        }
        // Computer's volumes are always listed, and the path is traced there when it runs
        // through Computer.
        if (isDrives) {
            TShellFolderPtr drivesFolder;
            hr = folder->BindToObject(child, drivesFolder);
            if (Failed(hr))
                RaiseShellError(hr);
            FillCombo(drivesFolder, absolute.get(), path, 2);
        }
    }
}

void TPTCustomShellCombo::AddPathBelow(const TShellFolderPtr& folder, PCIdList childAbsolute,
                                       PCIdList child, TPTIdListArray& path, int level)
{
    // The rest of the path comes from the path itself, so hidden folders on it are listed.
    TShellFolderPtr current;
    HResult hr = folder->BindToObject(child, current);
    if (Failed(hr))
        RaiseShellError(hr);
    IdListPtr parentId = CopyIdListPtr(childAbsolute);
    int count = path.GetCount();
    int last = -1;
    for (int i = level; i < count; ++i) {
        IdListPtr item = CopyIdListPtr(path.GetItem(i));
        std::uint32_t attributes = AttributesOf(*current, item.get(), kPathAttributes);
        bool isLast = i == count - 1;
        QString caption;
        int imageIndex = -1;
        if (isLast) {
            caption = FolderItemName(*current, item.get(), shgdn::InFolder | shgdn::ForAddressBar);
            IdListPtr absolute = ConcatIdListPtr(parentId.get(), item.get());
            imageIndex = ShellGetIconIndex(absolute.get(), shgfi::SmallIcon | shgfi::OpenIcon);
        }
        last = AddShellItem(current, parentId.get(), item.get(), attributes, i + 1, caption,
                            imageIndex);
        // Nothing lies below the selected folder: binding to it would only fail for a folder
        // that has gone, which the list reports.
        if (isLast)
            break;
        TShellFolderPtr next;
        hr = current->BindToObject(item.get(), next);
        if (Failed(hr))
            RaiseShellError(hr);
        current = std::move(next);
        parentId = ConcatIdListPtr(parentId.get(), item.get());
    }
    if (last >= 0) {
        m_selectedDuringFill = last;
        SetItemIndex(last);
    }
}

// --- Drawing

void TPTCustomShellCombo::GetItemData(TPTImageComboItem& item)
{
    auto* data = static_cast<TPTShComboData*>(item.Data());
    if (!data)
        return;
    if (item.Caption().isEmpty()) {
        std::string name =
            data->RelativeIdList()
                ? ShellGetFriendlyNameFromIdList(data->ParentFolder().get(), data->RelativeIdList(),
                                                 ptfnInFolder)
                : ShellGetFriendlyNameForLastIdListElement(nullptr);
        item.SetCaption(DisplayName(name));
    }
    if (item.ImageIndex() == -1)
        item.SetImageIndex(ShellGetIconIndex(data->AbsoluteIdList(), shgfi::SmallIcon));
}

QIcon TPTCustomShellCombo::ItemIcon(const TPTImageComboItem& item) const
{
    return ShellGetSystemImageList(ptsizSmall)->Icon(item.ImageIndex(), item.OverlayIndex());
}

void TPTCustomShellCombo::DropDown()
{
    if (!m_autoDropDownCount) {
        setMaxVisibleItems(m_dropDownCount);
        return;
    }
    // As many entries as fit between the combo's bottom edge and the bottom of the screen.
    QScreen* where = screen();
    if (!where)
        return;
    QRect area = where->geometry();
    int y = mapToGlobal(QPoint(0, height())).y();
    int count = (area.y() + area.height() - y - 1) / ItemHeight();
    setMaxVisibleItems(std::max(1, count));
}

// --- Window and errors

void TPTCustomShellCombo::showEvent(QShowEvent* event)
{
    TPTCustomImageCombo::showEvent(event);
    HandleNeeded();
}

void TPTCustomShellCombo::HandleNeeded()
{
    if (m_handleAllocated)
        return;
    m_handleAllocated = true;
    if (HasOption(ptscoAutofill))
        QCoreApplication::postEvent(this, new QEvent(kDeferredFillEvent));
}

bool TPTCustomShellCombo::event(QEvent* event)
{
    if (event->type() == kDeferredFillEvent) {
        DeferredFill();
        return true;
    }
    return TPTCustomImageCombo::event(event);
}

void TPTCustomShellCombo::DeferredFill()
{
    // A folder change since the window was made has filled the combo already.
    if (m_filled)
        return;
    ++m_updating;
    Guarded([this] {
        FillItems();
        if (m_shellList)
            m_shellList->Folder().SetIdList(m_selectedFolder.GetIdList());
    });
    --m_updating;
}

template <typename F> void TPTCustomShellCombo::Guarded(F&& action)
{
    try {
        action();
    } catch (const std::exception& error) {
        ReportError(QString::fromStdString(error.what()));
    }
}

void TPTCustomShellCombo::ReportError(const QString& message)
{
    static const QMetaMethod signal = QMetaMethod::fromSignal(&TPTCustomShellCombo::OnError);
    if (isSignalConnected(signal)) {
        emit OnError(this, message);
        return;
    }
    ShowErrorBox(window(), message);
}
