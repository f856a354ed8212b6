#include "shell/namespace/PTShellLocator.h"

PCIdList TPTShellLocator::GetIdList()
{
    if (m_kind == kindCSIDL && !m_idListFetched) {
        IdListPtr idList;
        if (Succeeded(ShellGetSpecialFolderIdList(m_csidl, idList)))
            m_idList = std::move(idList);
        m_idListFetched = true;
    }
    return m_idList.get();
}

void TPTShellLocator::Changed()
{
    if (m_onChange)
        m_onChange();
}

void TPTShellLocator::SetIdList(PCIdList idList)
{
    bool changed;
    if (m_kind == kindCSIDL) {
        changed = true;
    } else if (m_idList) {
        int order = CompareAbsIdLists(m_idList.get(), idList);
        changed = order != 0 && order != kCompareFailed;
        // A null id list and the empty one are both the desktop.
        if (!idList && IdListLen(m_idList.get()) <= 2)
            changed = false;
    } else {
        changed = idList && IdListLen(idList) > 2;
    }
    m_kind = kindIdList;
    m_csidl = csidlNone;
    m_idListFetched = false;
    if (idList && IdListLen(idList) > 2)
        m_idList = CopyIdListPtr(idList);
    else
        m_idList.reset();
    if (changed)
        Changed();
}

void TPTShellLocator::SetCSIDL(TCSIDL csidl)
{
    m_idList.reset();
    m_idListFetched = false;
    bool changed = m_kind != kindCSIDL || m_csidl != csidl;
    m_kind = kindCSIDL;
    m_csidl = csidl;
    if (changed)
        Changed();
}

void TPTShellLocator::SetPathName(const std::string& path)
{
    IdListPtr idList;
    if (Failed(ShellGetIdListFromPath(path, idList)))
        SetIdList(nullptr);
    else
        SetIdList(idList.get());
}

std::string TPTShellLocator::GetPathName()
{
    return ShellGetPathFromIdList(GetIdList());
}

bool TPTShellLocator::IsEqual(TPTShellLocator* other)
{
    if (!other || other->m_kind != m_kind)
        return false;
    if (other == this)
        return true;
    if (m_kind == kindIdList)
        return CompareAbsIdLists(GetIdList(), other->GetIdList()) == 0;
    return m_csidl == other->m_csidl;
}

void TPTShellLocator::Assign(TPTShellLocator* other)
{
    if (!other) {
        m_idList.reset();
        m_idListFetched = false;
        Changed();
        return;
    }
    if (IsEqual(other))
        return;
    m_kind = other->m_kind;
    m_csidl = other->m_csidl;
    m_idListFetched = false;
    if (m_kind == kindIdList && other->m_idList)
        m_idList = CopyIdListPtr(other->m_idList.get());
    else
        m_idList.reset();
    Changed();
}

bool TPTShellLocator::HasStoredForm() const
{
    return m_kind == kindCSIDL || m_idList != nullptr;
}

std::string TPTShellLocator::WriteStoredForm() const
{
    std::string bytes(1, static_cast<char>(m_kind));
    if (m_kind == kindCSIDL) {
        bytes += static_cast<char>(m_csidl);
        return bytes;
    }
    std::size_t length = IdListLen(m_idList.get());
    for (int shift = 0; shift < 32; shift += 8)
        bytes += static_cast<char>((length >> shift) & 0xFF);
    bytes.append(reinterpret_cast<const char*>(m_idList.get()), length);
    return bytes;
}

bool TPTShellLocator::ReadStoredForm(const std::string& bytes)
{
    if (bytes.empty())
        return false;
    auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (byteAt(0) == kindCSIDL) {
        if (bytes.size() < 2 || byteAt(1) > csidlNone)
            return false;
        SetCSIDL(static_cast<TCSIDL>(byteAt(1)));
        return true;
    }
    if (byteAt(0) != kindIdList || bytes.size() < 5)
        return false;
    std::size_t length = byteAt(1) | (byteAt(2) << 8) | (byteAt(3) << 16) |
                         (static_cast<std::size_t>(byteAt(4)) << 24);
    if (length == 0) {
        SetCSIDL(csidlDesktop);
        return true;
    }
    // The record must hold the whole id list, terminator included.
    if (length < 2 || bytes.size() - 5 < length)
        return false;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data() + 5);
    // Walk the items inside the record so that a broken one is never read past its end.
    std::size_t pos = 0;
    for (;;) {
        if (pos + 2 > length)
            return false;
        std::size_t size = data[pos] | (data[pos + 1] << 8);
        if (size < 2)
            break;
        pos += size;
    }
    if (pos + 2 != length || data[pos] != 0 || data[pos + 1] != 0)
        return false;
    SetIdList(data);
    return true;
}
