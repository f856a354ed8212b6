#include "shell/namespace/ShellFolderContents.h"

#include "shell/namespace/ShellResult.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

namespace {

std::string_view Bytes(PCIdList idList)
{
    return std::string_view(reinterpret_cast<const char*>(idList), IdListLen(idList));
}

// The attributes that make an item another kind of item.
constexpr std::uint32_t kKindAttributes = sfgao::Folder | sfgao::Link;

} // namespace

TShellFolderContents::TShellFolderContents(QObject* target, int message)
    : m_target(target), m_message(message)
{
}

TShellFolderContents::~TShellFolderContents() = default;

void TShellFolderContents::SetFolder(const TShellFolderPtr& folder)
{
    m_folder = folder;
    m_virtual = folder && folder->FileSystemPath().empty();
}

void TShellFolderContents::Clear()
{
    m_items.clear();
}

TShellFolderContents::TItems::iterator TShellFolderContents::Find(PCIdList relative)
{
    auto found = m_items.find(Bytes(relative));
    if (found != m_items.end() || !m_virtual)
        return found;
    // A virtual folder may name one item by different bytes; it has few items.
    for (auto it = m_items.begin(); it != m_items.end(); ++it) {
        HResult hr =
            m_folder->CompareIDs(0, reinterpret_cast<PCIdList>(it->first.data()), relative);
        if (Succeeded(hr) && CompareResultCode(hr) == 0)
            return it;
    }
    return m_items.end();
}

void TShellFolderContents::Add(TShellFolder& folder, IdListPtr relative, const TAccept& accept,
                               TFolderChanges& changes)
{
    std::uint32_t attributes = 0;
    if (!accept(folder, relative.get(), attributes))
        return;
    TFolderItem item{m_nextKey++, std::move(relative), attributes};
    m_items.insert_or_assign(std::string(Bytes(item.Relative.get())),
                             TListed{item.Key, attributes});
    changes.Added.push_back(std::move(item));
}

HResult TShellFolderContents::Fill(const TShellFolderPtr& folder, std::uint32_t flags,
                                   const TAccept& accept, TFolderChanges& changes)
{
    m_items.clear();
    SetFolder(folder);
    std::unique_ptr<TShellEnumIdList> enumerator;
    if (Failed(folder->EnumObjects(flags, enumerator)) || !enumerator)
        return kSOk;
    // Room for 500 to start with, then doubled: growing by a fixed step copies the whole
    // list again every 500 items, which is quadratic in a folder of tens of thousands.
    std::vector<IdListPtr> collected;
    collected.reserve(500);
    HResult hr;
    for (;;) {
        IdListPtr item;
        hr = enumerator->Next(item);
        if (hr != kSOk)
            break;
        collected.push_back(std::move(item));
    }
    if (hr != kSFalse && hr != kENoMoreItems && hr != kEFail)
        return hr;
    if (hr == kEFail)
        return kSOk;
    m_items.reserve(collected.size());
    changes.Added.reserve(collected.size());
    for (IdListPtr& relative : collected)
        Add(*folder, std::move(relative), accept, changes);
    return kSOk;
}

bool TShellFolderContents::Reread(const TShellFolderPtr& folder, std::uint32_t flags,
                                  const TAccept& accept, TFolderChanges& changes)
{
    SetFolder(folder);
    std::unique_ptr<TShellEnumIdList> enumerator;
    if (Failed(m_folder->EnumObjects(flags, enumerator)) || !enumerator) {
        // Gone or unreadable: nothing listed may stay, as after a fill that cannot read it.
        for (const auto& [bytes, listed] : m_items)
            changes.Removed.push_back(listed.Key);
        m_items.clear();
        return false;
    }
    bool fileSystem = !m_virtual;
    std::unordered_set<std::uint64_t> seen;
    seen.reserve(m_items.size());
    std::vector<IdListPtr> fresh;
    IdListPtr relative;
    while (enumerator->Next(relative) == kSOk) {
        auto listed = Find(relative.get());
        if (listed == m_items.end()) {
            fresh.push_back(std::move(relative));
            continue;
        }
        seen.insert(listed->second.Key);
        // The kind is known from the enumeration just made, so asking costs no system call.
        std::uint32_t kind = kKindAttributes;
        PCIdList item = relative.get();
        if (fileSystem &&
            Succeeded(m_folder->GetAttributesOf(std::span<const PCIdList>(&item, 1), kind)) &&
            kind != (listed->second.Attributes & kKindAttributes)) {
            listed->second.Attributes = (listed->second.Attributes & ~kKindAttributes) | kind;
            changes.Changed.push_back(
                {listed->second.Key, std::move(relative), listed->second.Attributes});
        }
    }
    for (auto it = m_items.begin(); it != m_items.end();) {
        if (seen.count(it->second.Key)) {
            ++it;
            continue;
        }
        changes.Removed.push_back(it->second.Key);
        it = m_items.erase(it);
    }
    // New items come in the folder's sorting order, as a sorted comparison gives them.
    std::sort(fresh.begin(), fresh.end(), [&](const IdListPtr& a, const IdListPtr& b) {
        if (fileSystem)
            return CompareIdListBytes(a.get(), b.get()) < 0;
        HResult hr = folder->CompareIDs(0, a.get(), b.get());
        return Succeeded(hr) && CompareResultCode(hr) < 0;
    });
    for (IdListPtr& item : fresh)
        Add(*folder, std::move(item), accept, changes);
    return true;
}

void TShellFolderContents::ReadNames(const TShellFolderPtr& folder,
                                     const std::vector<std::string>& names, bool showHidden,
                                     const TAccept& accept, TFolderChanges& changes)
{
    SetFolder(folder);
    if (!m_folder)
        return;
    std::unordered_set<std::string> unique(names.begin(), names.end());
    std::vector<IdListPtr> added;
    for (const std::string& name : unique) {
        if (name.empty())
            continue;
        IdListPtr relative = MakeSingleIdList(name);
        auto listed = m_items.find(Bytes(relative.get()));
        std::uint32_t attributes = sfgao::Validate | sfgao::Ghosted | kKindAttributes;
        PCIdList item = relative.get();
        bool exists =
            Succeeded(m_folder->GetAttributesOf(std::span<const PCIdList>(&item, 1), attributes));
        // The list shows what an enumeration would have given.
        if (exists && (attributes & sfgao::Ghosted) && !showHidden)
            exists = false;
        if (!exists && listed != m_items.end()) {
            changes.Removed.push_back(listed->second.Key);
            m_items.erase(listed);
        } else if (exists && listed == m_items.end()) {
            added.push_back(std::move(relative));
        } else if (exists && (attributes & kKindAttributes) !=
                                 (listed->second.Attributes & kKindAttributes)) {
            listed->second.Attributes =
                (listed->second.Attributes & ~kKindAttributes) | (attributes & kKindAttributes);
            changes.Changed.push_back(
                {listed->second.Key, std::move(relative), listed->second.Attributes});
        }
    }
    for (IdListPtr& relative : added)
        Add(*m_folder, std::move(relative), accept, changes);
}

void TShellFolderContents::Renamed(PCIdList before, PCIdList after)
{
    auto listed = Find(before);
    if (listed == m_items.end())
        return;
    TListed moved = listed->second;
    m_items.erase(listed);
    m_items.insert_or_assign(std::string(Bytes(after)), moved);
}

bool TShellFolderContents::Watch(const std::string& path)
{
    // A notice still to be skipped belonged to the watch that ends here.
    m_skipNext = false;
    if (m_watcher)
        m_watcher->RemoveAllWatches();
    else
        m_watcher = std::make_unique<TChangeHandlerThread>(m_target, m_message);
    m_slot = -1;
    if (path.empty())
        return false;
    int slot = -1;
    if (!m_watcher->AddWatch(path, filenotify::FileName | filenotify::DirName, false, &slot))
        return false;
    m_slot = slot;
    return true;
}

void TShellFolderContents::StopWatching()
{
    if (m_watcher)
        m_watcher->RemoveAllWatches();
    m_slot = -1;
    m_skipNext = false;
}

bool TShellFolderContents::TakeChanges(std::vector<std::string>& names)
{
    return Watching() && m_watcher->TakeChanges(m_slot, names);
}
