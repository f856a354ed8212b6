#pragma once

// How the file list shows its items: the list view for the icon and list styles, the report
// view with its header (made when first shown), the columns, and the size of the items in the
// list views. Owned by the list; the views are the list's children.

#include <QStringList>

class QAbstractItemView;
class QListView;
class QObject;
class QTreeView;
class TPTCustomShellList;

class TShellListViews
{
public:
    explicit TShellListViews(TPTCustomShellList* list) : m_list(list) {}
    TShellListViews(const TShellListViews&) = delete;
    TShellListViews& operator=(const TShellListViews&) = delete;

    // Makes the list view and shows the list's view style.
    void Create();
    // Remembers the column widths and deletes the views before the list's members go: closing
    // the window lays them out again, and they would ask the model for texts.
    void Destroy();

    // The view shown now.
    QAbstractItemView* Current() const;
    bool IsView(const QObject* object) const;
    bool IsViewport(const QObject* object) const;
    void ApplyViewStyle();
    void ApplyHeaderSort();
    void SetSelectionMode(bool multiSelect);
    void ShareAccessibleTexts();
    void ApplyDragDrop();

    // The columns of the current folder, with the widths remembered across folders and lists.
    void SetupColumns();
    // The report view takes the columns' widths.
    void ApplyColumnWidths();
    QStringList ColumnCaptions() const;
    // Columns wide enough for the longest names; with firstNewRow, only the rows added.
    void UpdateItemSize(int firstNewRow = 0);

private:
    QTreeView* ReportView();
    void RememberColumnWidths();

    TPTCustomShellList* m_list;
    QListView* m_listView = nullptr;
    QTreeView* m_reportView = nullptr;
};
