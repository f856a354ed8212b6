#pragma once

// Item id lists: a byte sequence of items, each starting with its own 16-bit little-endian
// size (the size field included), ended by a 16-bit zero. An absolute id list is relative to
// the desktop; the empty id list (just the terminator) is the desktop itself, and a null id
// list is read as the desktop.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class TShellFolder;

using PIdList = std::uint8_t*;
using PCIdList = const std::uint8_t*;

// The allocator id lists are made with. One process-wide instance stands for the shell's.
class TShellAllocator
{
public:
    virtual ~TShellAllocator() = default;
    virtual void* Alloc(std::size_t size) = 0;
    virtual void* Realloc(void* block, std::size_t size) = 0;
    virtual void Free(void* block) = 0;
};

TShellAllocator* ShellIMalloc();
void* ShellMemAlloc(std::size_t size);
void* ShellMemRealloc(void* block, std::size_t size);
void ShellMemFree(void* block);

struct ShellMemDeleter
{
    void operator()(std::uint8_t* p) const { ShellMemFree(p); }
};
using IdListPtr = std::unique_ptr<std::uint8_t, ShellMemDeleter>;

// Total length in bytes including the terminator; 0 for null.
std::size_t IdListLen(PCIdList idList);
// Number of items; 0 for null and for the empty id list.
int IdListCount(PCIdList idList);
// A new copy made with the allocator (the shell's when none); null copies to the empty id list.
PIdList CopyIdList(TShellAllocator* allocator, PCIdList idList);
// A new id list a followed by b; null parts count as empty.
PIdList ConcatIdLists(TShellAllocator* allocator, PCIdList a, PCIdList b);
// 0 if both null or both empty; -1 if only one is null or only one is empty; otherwise the
// signed low 16 bits of the desktop's CompareIDs(column 0); 0x7FFFFFFF when it cannot compare.
int CompareAbsIdLists(PCIdList a, PCIdList b);
constexpr int kCompareFailed = 0x7FFFFFFF;

// Helpers for building and reading id lists.
IdListPtr MakeIdList(const std::vector<std::string_view>& items);
IdListPtr MakeSingleIdList(std::string_view itemData);
IdListPtr CopyIdListPtr(PCIdList idList);
IdListPtr ConcatIdListPtr(PCIdList a, PCIdList b);
// The data of the first item of an id list (empty for null or the terminator).
std::string_view IdListItemData(PCIdList idList);
// The id list from the second item on (null when there is none).
PCIdList IdListNext(PCIdList idList);
// Byte-wise comparison over the shorter total length, then by length.
int CompareIdListBytes(PCIdList a, PCIdList b);

// A view over one absolute id list presenting its items as an array. Results of GetItem and
// GoUp live in one buffer owned by the array, replaced by each such call.
class TPTIdListArray
{
public:
    explicit TPTIdListArray(PCIdList idList);
    int GetCount() const { return static_cast<int>(m_items.size()); }
    // Single-item id list of item i; null when i is out of range.
    PCIdList GetItem(int index);
    // Id list of the first count - levels items; null when levels > count or the list is null.
    PCIdList GoUp(int levels);

private:
    PCIdList m_idList;
    std::vector<PCIdList> m_items;
    IdListPtr m_result;
};

class TPTPidlListError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

enum class TPTDuplicates
{
    dupIgnore,
    dupAccept,
    dupError
};

// A list of id lists with an object per entry; optionally sorted (searched by halving),
// compared by a folder's CompareIDs or byte-wise, and owning its id lists.
class TPTPidlList
{
public:
    TPTPidlList() = default;
    ~TPTPidlList();
    TPTPidlList(const TPTPidlList&) = delete;
    TPTPidlList& operator=(const TPTPidlList&) = delete;

    int Add(PIdList idList) { return AddObject(idList, nullptr); }
    int AddObject(PIdList idList, void* object);
    void Insert(int index, PIdList idList) { InsertObject(index, idList, nullptr); }
    void InsertObject(int index, PIdList idList, void* object);
    void Delete(int index);
    void Clear();
    int IndexOf(PCIdList idList) const;
    // Whether found; index is the match or the place to insert.
    bool BinarySearch(PCIdList idList, int& index) const;
    int LinearSearch(PCIdList idList) const;
    void Sort();
    void SetSorted(bool sorted);
    bool Sorted() const { return m_sorted; }

    PIdList GetPIDL(int index) const { return m_entries.at(index).idList; }
    void SetPIDL(int index, PIdList idList);
    // Hands an entry's id list to the caller; the entry keeps null.
    PIdList Extract(int index);
    void* GetObject(int index) const { return m_entries.at(index).object; }
    void SetObject(int index, void* object) { m_entries.at(index).object = object; }
    int GetCount() const { return static_cast<int>(m_entries.size()); }
    int GetCapacity() const { return static_cast<int>(m_entries.capacity()); }
    void SetCapacity(int capacity);

    void SetDuplicates(TPTDuplicates duplicates) { m_duplicates = duplicates; }
    TPTDuplicates Duplicates() const { return m_duplicates; }
    void SetCompareFolder(std::shared_ptr<TShellFolder> folder) { m_folder = std::move(folder); }
    // With an allocator the list owns its id lists and frees them with it.
    void SetAllocator(TShellAllocator* allocator) { m_allocator = allocator; }

    int Compare(PCIdList a, PCIdList b) const;

private:
    struct Entry
    {
        PIdList idList;
        void* object;
    };
    void FreeIdList(PIdList idList);

    std::vector<Entry> m_entries;
    bool m_sorted = false;
    TPTDuplicates m_duplicates = TPTDuplicates::dupError;
    std::shared_ptr<TShellFolder> m_folder;
    TShellAllocator* m_allocator = nullptr;
};
