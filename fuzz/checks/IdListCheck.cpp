#include "fuzz/checks/IdListCheck.h"

#include "fuzz/checks/ByteReader.h"
#include "shell/namespace/IdList.h"
#include "shell/namespace/PTShellLocator.h"

#include <cstring>
#include <vector>

namespace fuzzcheck {

namespace {

std::string_view Bytes(PCIdList idList)
{
    return {reinterpret_cast<const char*>(idList), IdListLen(idList)};
}

// Walks an id list item by item and checks the helpers agree with the walk.
std::string CheckWalk(PCIdList idList, const std::vector<std::string>& items)
{
    if (IdListCount(idList) != static_cast<int>(items.size()))
        return "the item count differs from the items";
    std::size_t expectedLength = 2;
    for (const std::string& item : items)
        expectedLength += item.size() + 2;
    if (IdListLen(idList) != expectedLength)
        return "the length differs from the items' sizes";

    PCIdList p = idList;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (!p || IdListItemData(p) != items[i])
            return "item " + std::to_string(i) + " reads back wrong";
        p = IdListNext(p);
    }
    if (items.empty() ? IdListNext(idList) != nullptr : p != nullptr)
        return "the walk goes on past the last item";

    TPTIdListArray array(idList);
    if (array.GetCount() != static_cast<int>(items.size()))
        return "the item array has another count";
    std::size_t offset = 0;
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < items.size(); ++i) {
        offsets.push_back(offset);
        PCIdList single = array.GetItem(static_cast<int>(i));
        if (!single || IdListCount(single) != 1 || IdListItemData(single) != items[i])
            return "the item array's item " + std::to_string(i) + " is wrong";
        offset += items[i].size() + 2;
    }
    offsets.push_back(offset);
    if (array.GetItem(static_cast<int>(items.size())) || array.GetItem(-1))
        return "the item array gives an item out of range";
    for (std::size_t levels = 0; levels <= items.size(); ++levels) {
        PCIdList up = array.GoUp(static_cast<int>(levels));
        const std::size_t keep = offsets[items.size() - levels];
        if (!up || IdListLen(up) != keep + 2 || std::memcmp(up, idList, keep) != 0)
            return "going up " + std::to_string(levels) + " levels gives the wrong list";
    }
    if (array.GoUp(static_cast<int>(items.size()) + 1))
        return "going up past the desktop gives a list";

    IdListPtr copy = CopyIdListPtr(idList);
    if (Bytes(copy.get()) != Bytes(idList) || CompareIdListBytes(copy.get(), idList) != 0)
        return "a copy differs from its original";
    IdListPtr twice = ConcatIdListPtr(idList, idList);
    if (IdListCount(twice.get()) != 2 * static_cast<int>(items.size()) ||
        IdListLen(twice.get()) != 2 * expectedLength - 2)
        return "a list joined to itself has the wrong count or length";
    return {};
}

std::string CheckStoredForm(std::string_view input)
{
    const std::string bytes(input);
    TPTShellLocator locator;
    int changes = 0;
    locator.SetOnChange([&] { ++changes; });
    if (!locator.ReadStoredForm(bytes))
        return {};

    const std::string written = locator.WriteStoredForm();
    auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (byteAt(0) == TPTShellLocator::kindCSIDL) {
        if (written != bytes.substr(0, 2))
            return "a special folder is written back differently";
    } else {
        const std::size_t length = byteAt(1) | (byteAt(2) << 8) | (byteAt(3) << 16) |
                                   (static_cast<std::size_t>(byteAt(4)) << 24);
        if (length > 2 && written != bytes.substr(0, 5 + length))
            return "an id list is written back differently";
        if (length > 2) {
            // Rebuild the items from the record, bounded by its length.
            std::vector<std::string> items;
            const std::size_t end = 5 + length;
            for (std::size_t pos = 5;;) {
                if (pos + 2 > end)
                    return "an id list whose items run past its record was accepted";
                const std::size_t size = byteAt(pos) | (byteAt(pos + 1) << 8);
                if (size < 2)
                    break;
                if (pos + size > end)
                    return "an item that runs past its record was accepted";
                items.push_back(bytes.substr(pos + 2, size - 2));
                pos += size;
            }
            if (std::string problem = CheckWalk(locator.GetIdList(), items); !problem.empty())
                return problem;
        }
    }

    // The same form read again is no change.
    const int changesBefore = changes;
    if (!locator.ReadStoredForm(bytes) || changes != changesBefore)
        return "reading the same stored form again counts as a change";
    // A locator left on the desktop by a null id list has no stored form to write.
    TPTShellLocator other;
    if (locator.HasStoredForm() &&
        (!other.ReadStoredForm(written) || other.WriteStoredForm() != written))
        return "the written form does not read back";
    // Only that it answers: the items need not exist.
    (void)locator.GetPathName();
    return {};
}

std::string CheckBuilt(std::string_view input)
{
    ByteReader in(input);
    std::vector<std::string> items(in.Byte() % 6);
    for (std::string& item : items)
        item = in.Text();
    std::vector<std::string_view> views(items.begin(), items.end());
    IdListPtr idList = MakeIdList(views);
    return CheckWalk(idList.get(), items);
}

} // namespace

std::string CheckIdList(std::string_view input)
{
    if (std::string problem = CheckStoredForm(input); !problem.empty())
        return problem;
    return CheckBuilt(input);
}

} // namespace fuzzcheck
