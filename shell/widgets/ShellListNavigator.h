#pragma once

// Moving the file list between folders: opening items (a folder, or a link to one, is gone
// into), going up, leaving a folder that is gone, and a new folder handed to the linked tree or
// combo before the list fills with it. Owned by the list.

#include "shell/namespace/IdList.h"

class TPTCustomShellList;

class TShellListNavigator
{
public:
    explicit TShellListNavigator(TPTCustomShellList* list) : m_list(list) {}
    TShellListNavigator(const TShellListNavigator&) = delete;
    TShellListNavigator& operator=(const TShellListNavigator&) = delete;

    void OpenSelectedItems();
    void OpenItem(int index);
    void GoUp(int levels);
    // The folder shown is no longer there: the list goes to the nearest folder above it that is
    // and says so. With asked (F5), a list that may not move says so too. False when the folder
    // is there or was never shown.
    bool LeaveGoneFolder(bool asked);
    // The list's folder was set: the linked control follows it and the list fills.
    void FolderChanged();
    // The linked controls catch up with their folders; a folder one sets meanwhile does not
    // fill the list.
    void SynchronizeLinked();

private:
    void NavigateTo(PCIdList absolute);
    bool DblClickOpen();

    TPTCustomShellList* m_list;
    int m_folderChangeNesting = 0;
};
