#pragma once

// Keeping the file list in step with its folder: the watch on the folder, the timer that gathers
// the watcher's notices, refreshes of every item or of the names the watcher gave, and what a
// read found applied to the rows. Owned by the list; its timer is the list's child.

#include "shell/namespace/ShellFolderContents.h"

#include <string>
#include <vector>

class QTimer;
class TPTCustomShellList;
struct TDeviceChangeMessage;

class TShellListRefresher
{
public:
    explicit TShellListRefresher(TPTCustomShellList* list);
    TShellListRefresher(const TShellListRefresher&) = delete;
    TShellListRefresher& operator=(const TShellListRefresher&) = delete;

    // Compares the folder with the rows now, or once the list is neither busy nor editing.
    void RefreshItems();
    // Runs a pending change refresh now; with linked, the linked controls catch up first.
    void Synchronize(bool linked);
    // Watches the folder the list is set to; a refresh waiting for the timer is dropped.
    void Watch();
    void StopWatching();
    // The next change refresh compares every item, or again trusts the watcher's names.
    void SetCompareAllNext(bool compareAll) { m_compareAllNext = compareAll; }
    // A notice from the watcher: the refresh waits for the timer, so that a burst of changes
    // brings one.
    void ChangeNotify();
    bool ChangeRefreshPending() const;
    void DeviceChanged(const TDeviceChangeMessage& message);

private:
    void TimerElapsed();
    void RefreshAll();
    void RefreshNames(const std::vector<std::string>& names);
    void ApplyChanges(TFolderChanges& changes);
    // ShouldInclude for refreshes, which report a failing handler before passing it on.
    TShellFolderContents::TAccept RefreshAccept();
    void RemoveRows(std::vector<int> rows);

    TPTCustomShellList* m_list;
    QTimer* m_timer;
    bool m_compareAllNext = false;
};
