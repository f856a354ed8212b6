#pragma once

// A folder combo in a real (offscreen) window over folders made below the test's home, with
// what a user sees in it and the gestures a user makes on it.

#include "shell/namespace/IdList.h"
#include "shell/namespace/ShellNamespace.h"
#include "shell/widgets/PTShellCombo.h"
#include "tests/common/TestSupport.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace combotest {

namespace fs = std::filesystem;
// An entry as the user reads it: its name and its indent.
using Entry = std::pair<std::string, int>;
using EntryList = std::vector<Entry>;

inline fs::path Home()
{
    return fs::path(std::getenv("HOME"));
}

// Home, then the given folders below it, as the desktop names them.
inline IdListPtr HomeIdList(const std::vector<std::string_view>& below)
{
    IdListPtr home;
    EXPECT_TRUE(Succeeded(ShellGetSpecialFolderIdList(csidlPersonal, home)));
    IdListPtr rest = MakeIdList(below);
    return ConcatIdListPtr(home.get(), rest.get());
}

inline bool SameIdList(PCIdList a, PCIdList b)
{
    IdListPtr empty = MakeIdList({});
    return CompareAbsIdLists(a ? a : empty.get(), b ? b : empty.get()) == 0;
}

// Computer's entries at indent 2, in the order the combo lists them.
inline EntryList Volumes()
{
    EntryList volumes;
    IdListPtr drives;
    TShellFolderPtr computer;
    if (Failed(ShellGetSpecialFolderIdList(csidlDrives, drives)) ||
        Failed(ShellGetFolderFromIdList(drives.get(), computer)))
        return volumes;
    std::unique_ptr<TShellEnumIdList> items;
    computer->EnumObjects(shcontf::Folders, items);
    std::vector<IdListPtr> owned;
    IdListPtr item;
    while (items && items->Next(item) == kSOk)
        owned.push_back(std::move(item));
    std::vector<PCIdList> order;
    for (const IdListPtr& each : owned)
        order.push_back(each.get());
    computer->SortIdLists(0, order);
    for (PCIdList each : order)
        volumes.push_back({ShellGetFriendlyNameFromIdList(computer.get(), each, ptfnInFolder), 2});
    return volumes;
}

inline EntryList Joined(std::initializer_list<EntryList> parts)
{
    EntryList all;
    for (const EntryList& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

class ShellComboTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        combo = std::make_unique<TPTShellCombo>();
        combo->resize(300, 24);
        QObject::connect(
            combo.get(), &TPTCustomShellCombo::OnError,
            [this](TPTCustomShellCombo*, const QString& message) { errors << message; });
        QObject::connect(combo->model(), &QAbstractItemModel::modelReset, [this] { ++fills; });
        QObject::connect(combo.get(), &TPTCustomCombobox::OnSelEndOk,
                         [this](TPTCustomCombobox*) { events << "SelEndOk"; });
        QObject::connect(combo.get(), &TPTCustomCombobox::OnSelEndCancel,
                         [this](TPTCustomCombobox*) { events << "SelEndCancel"; });
        QObject::connect(combo.get(), &TPTCustomCombobox::OnCloseUp,
                         [this](TPTCustomCombobox*) { events << "CloseUp"; });
        combo->show();
        QApplication::processEvents();
    }

    void TearDown() override
    {
        combo.reset();
        // Every test has the same home: leave it as it was found.
        std::error_code ec;
        for (const fs::path& made : made)
            fs::remove_all(made, ec);
    }

    // Folders below home, removed after the test.
    void MakeFolders(const fs::path& relative)
    {
        fs::create_directories(Home() / relative);
        made.push_back(Home() / *relative.begin());
    }

    void Select(PCIdList idList) { combo->SelectedFolder().SetIdList(idList); }

    // The entries as the namespace names them: reading them here fetches nothing through the
    // combo.
    EntryList Entries() const
    {
        EntryList entries;
        for (int i = 0; i < combo->ItemCount(); ++i)
            entries.push_back({NameOf(i), combo->Item(i)->Indent()});
        return entries;
    }

    std::string NameOf(int index) const
    {
        TPTShComboData* data = combo->GetShComboData(index);
        if (!data)
            return {};
        if (!data->RelativeIdList())
            return ShellGetFriendlyNameForLastIdListElement(nullptr);
        return ShellGetFriendlyNameFromIdList(data->ParentFolder().get(), data->RelativeIdList(),
                                              ptfnInFolder);
    }

    int IndexOf(const std::string& name) const
    {
        for (int i = 0; i < combo->ItemCount(); ++i) {
            if (NameOf(i) == name)
                return i;
        }
        return -1;
    }

    bool Fetched(int index) const
    {
        TPTImageComboItem* item = combo->Item(index);
        return !item->Caption().isEmpty() || item->ImageIndex() != -1;
    }

    // Opens the drop-down list and clicks the entry, as a user picks it.
    void Choose(int index)
    {
        combo->showPopup();
        QAbstractItemView* view = combo->view();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
        view->scrollTo(view->model()->index(index, 0));
        QRect rect = view->visualRect(view->model()->index(index, 0));
        ASSERT_TRUE(view->viewport()->rect().contains(rect.center()));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
        QApplication::processEvents();
    }

    std::unique_ptr<TPTShellCombo> combo;
    QStringList errors;
    QStringList events;
    int fills = 0;
    std::vector<fs::path> made;
};

} // namespace combotest
