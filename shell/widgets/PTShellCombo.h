#pragma once

// The folder combo box: the desktop, its folders, Computer's volumes and the chain of folders
// down to the selected one, each with its icon and indented by its depth. Linked to a file
// list, the two show the same folder: choosing here shows the folder in the list, and the
// list's navigation selects it here.

#include "shell/namespace/IdList.h"
#include "shell/namespace/PTShellLocator.h"
#include "shell/namespace/ShellNamespace.h"
#include "shell/widgets/PTImageCombo.h"
#include "shell/widgets/PTShellList.h"

#include <QString>
#include <cstdint>
#include <vector>

class TPTCustomShellCombo;

enum TPTShellComboOption
{
    // Fill when the window is created.
    ptscoAutofill,
    // List folders that are neither file-system folders nor their ancestors too.
    ptscoNonFilesystemAncestors
};
using TPTShellComboOptions = std::uint32_t;
constexpr TPTShellComboOptions PtscoFlag(TPTShellComboOption option)
{
    return 1u << option;
}
constexpr TPTShellComboOptions kDefaultShellComboOptions = 3;

// The shell side of one entry: the folder that holds it and where it lies.
class TPTShComboData : public TPTComboItemData
{
public:
    // No id lists: the desktop itself.
    TPTShComboData(TPTCustomShellCombo* owner, TShellFolderPtr parentFolder, PCIdList parentIdList,
                   PCIdList relativeIdList);

    TPTCustomShellCombo* Owner() const { return m_owner; }
    const TShellFolderPtr& ParentFolder() const { return m_parentFolder; }
    PCIdList ParentIdList() const { return m_parentIdList.get(); }
    PCIdList RelativeIdList() const { return m_relativeIdList.get(); }
    // Null for the desktop.
    PCIdList AbsoluteIdList() const { return m_absoluteIdList.get(); }
    // The entry's own folder, bound on first use; throws TPTShellError when it cannot be.
    TShellFolderPtr GetThisIShf();

private:
    TPTCustomShellCombo* m_owner;
    TShellFolderPtr m_parentFolder;
    IdListPtr m_parentIdList;
    IdListPtr m_relativeIdList;
    IdListPtr m_absoluteIdList;
    TShellFolderPtr m_ownFolder;
};

// Sorts relative id lists of one folder in the folder's own order. One sort at a time: a
// comparison that sorts again throws TPTShellError "Recursive call to SortPidls".
void SortPidls(TShellFolder& folder, std::vector<PCIdList>& items);

class TPTCustomShellCombo : public TPTCustomImageCombo, public TPTShellListLink
{
    Q_OBJECT
    Q_PROPERTY(bool AutoDropDownCount READ AutoDropDownCount WRITE SetAutoDropDownCount)
    Q_PROPERTY(int DropDownCount READ DropDownCount WRITE SetDropDownCount)
    Q_PROPERTY(int Options READ Options WRITE SetOptions)
public:
    explicit TPTCustomShellCombo(QWidget* parent = nullptr);
    ~TPTCustomShellCombo() override;

    // The folder shown; changing it shows the folder in the linked list and refills.
    TPTShellLocator& SelectedFolder() { return m_selectedFolder; }
    TPTShellLocator& GetSelectedFolder() { return m_selectedFolder; }
    void SetSelectedFolder(TPTShellLocator* other) { m_selectedFolder.Assign(other); }

    TPTShellComboOptions Options() const { return m_options; }
    void SetOptions(int options) { m_options = static_cast<TPTShellComboOptions>(options); }
    bool HasOption(TPTShellComboOption option) const { return m_options & PtscoFlag(option); }
    bool AutoDropDownCount() const { return m_autoDropDownCount; }
    void SetAutoDropDownCount(bool on) { m_autoDropDownCount = on; }
    int DropDownCount() const { return m_dropDownCount; }
    void SetDropDownCount(int count);

    TPTCustomShellList* ShellList() const { return m_shellList; }
    void SetShellList(TPTCustomShellList* list);

    // The window exists: fills become possible. Showing the combo calls it.
    void HandleNeeded();
    bool HandleAllocated() const { return m_handleAllocated; }

    // Rebuilds every entry from SelectedFolder. Throws TPTShellError when a folder on the way
    // cannot be had; the entries added until then stay.
    void FillItems();
    // Selects the folder levels above the selected one.
    void GoUp(int levels);
    // With linked, the linked list runs its pending change refresh now.
    void Synchronize(bool linked);
    TPTShComboData* GetShComboData(int index) const;
    // Raised while the combo fills or hands a folder change on.
    int UpdatingCount() const { return m_updating; }

signals:
    // A failure met while the combo handled an event of its own; unconnected, a message box.
    void OnError(TPTCustomShellCombo* sender, const QString& message);

protected:
    // Add the entries of one folder level; see FillItems.
    void FillCombo(const TShellFolderPtr& folder, PCIdList folderIdList, TPTIdListArray& path,
                   int level);
    // Whether a child may be listed; every one may here.
    virtual bool CanAdd(TShellFolder& folder, PCIdList folderIdList, int level,
                        std::uint32_t attributes, PCIdList relative);

    void SelEndOk(int index) override;
    void DropDown() override;
    void GetItemData(TPTImageComboItem& item) override;
    QIcon ItemIcon(const TPTImageComboItem& item) const override;
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // What the linked list tells the combo.
    void ShellListFolderChanged(PCIdList absolute) override;
    void ShellListGoUp(int levels) override;
    void ShellListSynchronize() override;
    void ShellListDestroyed(TPTCustomShellList* list) override;

    void SelectedFolderChanged();
    void AddPathBelow(const TShellFolderPtr& folder, PCIdList childAbsolute, PCIdList child,
                      TPTIdListArray& path, int level);
    int AddShellItem(const TShellFolderPtr& folder, PCIdList folderIdList, PCIdList child,
                     std::uint32_t attributes, int indent, const QString& caption, int imageIndex);
    void DeferredFill();
    void ReportError(const QString& message);
    template <typename F> void Guarded(F&& action);

    TPTShellLocator m_selectedFolder;
    TPTShellComboOptions m_options = kDefaultShellComboOptions;
    bool m_autoDropDownCount = true;
    int m_dropDownCount = 8;
    TPTCustomShellList* m_shellList = nullptr;
    int m_updating = 0;
    bool m_handleAllocated = false;
    bool m_filled = false;
    int m_selectedDuringFill = -1;
};

// The folder combo as the forms use it.
class TPTShellCombo : public TPTCustomShellCombo
{
    Q_OBJECT
public:
    using TPTCustomShellCombo::TPTCustomShellCombo;
};
