#pragma once

// The current-folder value of the file list and the folder combo: a folder named by an
// absolute id list or by a special folder.

#include "shell/namespace/IdList.h"
#include "shell/namespace/ShellNamespace.h"

#include <functional>
#include <string>

class TPTShellLocator
{
public:
    enum Kind
    {
        kindIdList = 0,
        kindCSIDL = 1
    };

    TPTShellLocator() = default;
    TPTShellLocator(const TPTShellLocator&) = delete;
    TPTShellLocator& operator=(const TPTShellLocator&) = delete;

    Kind GetKind() const { return m_kind; }
    // The absolute id list; null stands for the desktop. A special folder is looked up once.
    PCIdList GetIdList();
    void SetIdList(PCIdList idList);
    TCSIDL GetCSIDL() const { return m_csidl; }
    void SetCSIDL(TCSIDL csidl);
    // A path that cannot be parsed selects the desktop.
    void SetPathName(const std::string& path);
    std::string GetPathName();
    bool IsEqual(TPTShellLocator* other);
    // Null clears a held id list.
    void Assign(TPTShellLocator* other);
    void Clear() { SetIdList(nullptr); }

    // Called after every effective change.
    void SetOnChange(std::function<void()> onChange) { m_onChange = std::move(onChange); }

    // The stored form ("Pidl"): kind byte, then the special folder byte or a 32-bit
    // little-endian length and the id list bytes.
    bool HasStoredForm() const;
    std::string WriteStoredForm() const;
    bool ReadStoredForm(const std::string& bytes);

private:
    void Changed();

    Kind m_kind = kindIdList;
    IdListPtr m_idList;
    bool m_idListFetched = false;
    TCSIDL m_csidl = csidlNone;
    std::function<void()> m_onChange;
};
