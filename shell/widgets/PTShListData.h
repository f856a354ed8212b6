#pragma once

// The data of one item of the file list.

#include "shell/namespace/IdList.h"
#include "shell/namespace/ShellNamespace.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TPTCustomShellList;

// One item of the list: its id list inside the current folder and its cached texts.
class TPTShListData
{
public:
    // key: the folder contents' id of the item (TFolderItem::Key).
    TPTShListData(TPTCustomShellList* owner, IdListPtr relative, std::uint32_t attributes,
                  std::uint64_t key = 0);

    TPTCustomShellList* Owner() const { return m_owner; }
    PCIdList GetRelativeIdList() const { return m_relative.get(); }
    PCIdList GetAbsoluteIdList();
    bool IsFolder() { return GetAttributes() & sfgao::Folder; }
    bool IsFileSystem() { return GetAttributes() & sfgao::FileSystem; }
    bool GetEditable() { return GetAttributes() & sfgao::CanRename; }
    bool IsLnkShortcut();
    bool IsValid();
    // Asked of the folder each time.
    std::uint32_t GetAttributes();
    // The attributes the item had when it was added (overlay, dimmed state, sorting).
    std::uint32_t AddedAttributes() const { return m_addedAttributes; }
    std::uint64_t Key() const { return m_key; }
    // The item became another kind: new attributes, and every cached text is read again.
    void Changed(IdListPtr relative, std::uint32_t attributes)
    {
        m_addedAttributes = attributes;
        SetData(std::move(relative));
    }
    QString GetDisplayName();
    // The full path as the file system names it, byte for byte; empty for virtual items. This
    // is the path to open: a name that is no valid text still leads to its file.
    std::string GetPathNameBytes();
    // The full path and the file name as text, for showing only: bytes that are no valid
    // text are replaced.
    QString GetPathName();
    QString GetFilename();
    QString GetSize();
    QString GetFileType();
    QString GetModified();
    QString GetColText(int column);
    // Takes the id list; drops the cached absolute id list, name and details.
    void SetData(IdListPtr relative);
    void Flush();

    int ImageIndex();

private:
    void FetchDetails();

    TPTCustomShellList* m_owner;
    IdListPtr m_relative;
    IdListPtr m_absolute;
    std::uint32_t m_addedAttributes;
    std::uint64_t m_key;
    QString m_displayName;
    bool m_hasDisplayName = false;
    QString m_size, m_type, m_modified;
    bool m_detailsFetched = false;
    std::vector<std::optional<QString>> m_colTexts;
    int m_imageIndex = -1;
};
