#include "shell/namespace/IdList.h"

#include "shell/namespace/ShellNamespace.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

class MallocAllocator : public TShellAllocator
{
public:
    void* Alloc(std::size_t size) override { return std::malloc(size ? size : 1); }
    void* Realloc(void* block, std::size_t size) override
    {
        return std::realloc(block, size ? size : 1);
    }
    void Free(void* block) override { std::free(block); }
};

std::uint16_t ReadSize(PCIdList p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

void WriteSize(PIdList p, std::size_t size)
{
    p[0] = static_cast<std::uint8_t>(size & 0xFF);
    p[1] = static_cast<std::uint8_t>((size >> 8) & 0xFF);
}

// Length without the terminator. A size field below 2 ends the list: it could never advance.
std::size_t ItemsLength(PCIdList idList)
{
    std::size_t length = 0;
    for (PCIdList p = idList;;) {
        std::uint16_t size = ReadSize(p);
        if (size < 2)
            return length;
        length += size;
        p += size;
    }
}

PIdList Allocate(TShellAllocator* allocator, std::size_t size)
{
    auto* p = static_cast<PIdList>((allocator ? allocator : ShellIMalloc())->Alloc(size));
    if (!p)
        throw std::bad_alloc();
    return p;
}

} // namespace

TShellAllocator* ShellIMalloc()
{
    static MallocAllocator allocator;
    return &allocator;
}

void* ShellMemAlloc(std::size_t size)
{
    return ShellIMalloc()->Alloc(size);
}
void* ShellMemRealloc(void* block, std::size_t size)
{
    return ShellIMalloc()->Realloc(block, size);
}
void ShellMemFree(void* block)
{
    if (block)
        ShellIMalloc()->Free(block);
}

std::size_t IdListLen(PCIdList idList)
{
    return idList ? ItemsLength(idList) + 2 : 0;
}

int IdListCount(PCIdList idList)
{
    int count = 0;
    for (PCIdList p = idList; p && ReadSize(p) >= 2; p += ReadSize(p))
        ++count;
    return count;
}

PIdList CopyIdList(TShellAllocator* allocator, PCIdList idList)
{
    std::size_t length = idList ? ItemsLength(idList) : 0;
    PIdList copy = Allocate(allocator, length + 2);
    if (length)
        std::memcpy(copy, idList, length);
    WriteSize(copy + length, 0);
    return copy;
}

PIdList ConcatIdLists(TShellAllocator* allocator, PCIdList a, PCIdList b)
{
    std::size_t lengthA = a ? ItemsLength(a) : 0;
    std::size_t lengthB = b ? ItemsLength(b) : 0;
    PIdList result = Allocate(allocator, lengthA + lengthB + 2);
    if (lengthA)
        std::memcpy(result, a, lengthA);
    if (lengthB)
        std::memcpy(result + lengthA, b, lengthB);
    WriteSize(result + lengthA + lengthB, 0);
    return result;
}

int CompareAbsIdLists(PCIdList a, PCIdList b)
{
    if (!a && !b)
        return 0;
    if (!a || !b)
        return -1;
    bool emptyA = ItemsLength(a) == 0;
    bool emptyB = ItemsLength(b) == 0;
    if (emptyA && emptyB)
        return 0;
    if (emptyA || emptyB)
        return -1;
    TShellFolderPtr desktop = ShellGetDesktopFolder();
    if (!desktop)
        return kCompareFailed;
    HResult hr = desktop->CompareIDs(0, a, b);
    if (Failed(hr))
        return kCompareFailed;
    return CompareResultCode(hr);
}

IdListPtr MakeIdList(const std::vector<std::string_view>& items)
{
    std::size_t total = 2;
    for (std::string_view item : items) {
        if (item.size() + 2 > 0xFFFF)
            throw std::length_error("id list item too long");
        total += item.size() + 2;
    }
    IdListPtr result(Allocate(nullptr, total));
    PIdList p = result.get();
    for (std::string_view item : items) {
        WriteSize(p, item.size() + 2);
        if (!item.empty())
            std::memcpy(p + 2, item.data(), item.size());
        p += item.size() + 2;
    }
    WriteSize(p, 0);
    return result;
}

IdListPtr MakeSingleIdList(std::string_view itemData)
{
    return MakeIdList({itemData});
}

IdListPtr CopyIdListPtr(PCIdList idList)
{
    return IdListPtr(CopyIdList(nullptr, idList));
}

IdListPtr ConcatIdListPtr(PCIdList a, PCIdList b)
{
    return IdListPtr(ConcatIdLists(nullptr, a, b));
}

std::string_view IdListItemData(PCIdList idList)
{
    if (!idList)
        return {};
    std::uint16_t size = ReadSize(idList);
    if (size < 2)
        return {};
    return {reinterpret_cast<const char*>(idList + 2), static_cast<std::size_t>(size - 2)};
}

PCIdList IdListNext(PCIdList idList)
{
    if (!idList || ReadSize(idList) < 2)
        return nullptr;
    PCIdList next = idList + ReadSize(idList);
    return ReadSize(next) < 2 ? nullptr : next;
}

int CompareIdListBytes(PCIdList a, PCIdList b)
{
    std::size_t lengthA = IdListLen(a);
    std::size_t lengthB = IdListLen(b);
    std::size_t common = std::min(lengthA, lengthB);
    for (std::size_t i = 0; i < common; ++i) {
        if (a[i] != b[i])
            return static_cast<int>(a[i]) - static_cast<int>(b[i]);
    }
    return static_cast<int>(lengthA) - static_cast<int>(lengthB);
}

// --- TPTIdListArray

TPTIdListArray::TPTIdListArray(PCIdList idList) : m_idList(idList)
{
    for (PCIdList p = idList; p && ReadSize(p) >= 2; p += ReadSize(p))
        m_items.push_back(p);
}

PCIdList TPTIdListArray::GetItem(int index)
{
    if (index < 0 || index >= GetCount())
        return nullptr;
    std::uint16_t size = ReadSize(m_items[index]);
    IdListPtr item(Allocate(nullptr, size + 2));
    std::memcpy(item.get(), m_items[index], size);
    WriteSize(item.get() + size, 0);
    m_result = std::move(item);
    return m_result.get();
}

PCIdList TPTIdListArray::GoUp(int levels)
{
    int count = GetCount();
    if (!m_idList || levels > count || levels < 0)
        return nullptr;
    int keep = count - levels;
    std::size_t length =
        keep < count ? static_cast<std::size_t>(m_items[keep] - m_idList) : ItemsLength(m_idList);
    IdListPtr result(Allocate(nullptr, length + 2));
    if (length)
        std::memcpy(result.get(), m_idList, length);
    WriteSize(result.get() + length, 0);
    m_result = std::move(result);
    return m_result.get();
}

// --- TPTPidlList

TPTPidlList::~TPTPidlList()
{
    Clear();
}

void TPTPidlList::FreeIdList(PIdList idList)
{
    if (m_allocator && idList)
        m_allocator->Free(idList);
}

int TPTPidlList::Compare(PCIdList a, PCIdList b) const
{
    if (m_folder) {
        HResult hr = m_folder->CompareIDs(0, a, b);
        return Failed(hr) ? 0 : CompareResultCode(hr);
    }
    return CompareIdListBytes(a, b);
}

int TPTPidlList::AddObject(PIdList idList, void* object)
{
    int index = GetCount();
    if (m_sorted) {
        if (BinarySearch(idList, index)) {
            switch (m_duplicates) {
            case TPTDuplicates::dupIgnore:
                return index;
            case TPTDuplicates::dupError:
                throw TPTPidlListError("TPTPidlList: Duplicate PIDL");
            case TPTDuplicates::dupAccept:
                break;
            }
        }
    }
    m_entries.insert(m_entries.begin() + index, Entry{idList, object});
    return index;
}

void TPTPidlList::InsertObject(int index, PIdList idList, void* object)
{
    if (index < 0 || index > GetCount())
        throw std::out_of_range("TPTPidlList: index out of range");
    m_entries.insert(m_entries.begin() + index, Entry{idList, object});
}

void TPTPidlList::Delete(int index)
{
    if (index < 0 || index >= GetCount())
        throw std::out_of_range("TPTPidlList: index out of range");
    FreeIdList(m_entries[index].idList);
    m_entries.erase(m_entries.begin() + index);
}

void TPTPidlList::Clear()
{
    for (Entry& entry : m_entries)
        FreeIdList(entry.idList);
    m_entries.clear();
}

int TPTPidlList::IndexOf(PCIdList idList) const
{
    if (!m_sorted)
        return LinearSearch(idList);
    int index = 0;
    return BinarySearch(idList, index) ? index : -1;
}

bool TPTPidlList::BinarySearch(PCIdList idList, int& index) const
{
    int low = 0;
    int high = GetCount() - 1;
    bool found = false;
    while (low <= high) {
        int middle = (low + high) / 2;
        int order = Compare(m_entries[middle].idList, idList);
        if (order < 0) {
            low = middle + 1;
        } else {
            high = middle - 1;
            if (order == 0)
                found = true;
        }
    }
    index = low;
    return found;
}

int TPTPidlList::LinearSearch(PCIdList idList) const
{
    for (int i = 0; i < GetCount(); ++i) {
        if (Compare(m_entries[i].idList, idList) == 0)
            return i;
    }
    return -1;
}

void TPTPidlList::Sort()
{
    std::stable_sort(m_entries.begin(), m_entries.end(), [this](const Entry& a, const Entry& b) {
        return Compare(a.idList, b.idList) < 0;
    });
}

void TPTPidlList::SetSorted(bool sorted)
{
    if (sorted && !m_sorted)
        Sort();
    m_sorted = sorted;
}

void TPTPidlList::SetPIDL(int index, PIdList idList)
{
    Entry& entry = m_entries.at(index);
    if (entry.idList != idList)
        FreeIdList(entry.idList);
    entry.idList = idList;
}

PIdList TPTPidlList::Extract(int index)
{
    Entry& entry = m_entries.at(index);
    PIdList idList = entry.idList;
    entry.idList = nullptr;
    return idList;
}

void TPTPidlList::SetCapacity(int capacity)
{
    if (capacity > GetCount())
        m_entries.reserve(static_cast<std::size_t>(capacity));
}
