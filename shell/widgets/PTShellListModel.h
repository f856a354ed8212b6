#pragma once

// The items of a shell file list as a table for Qt's views. Texts and icons are produced when a
// view asks for them, that is when the item is drawn.

#include "shell/widgets/PTShellList.h"

#include <QAbstractTableModel>
#include <memory>
#include <vector>

class TPTShellListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    struct Column
    {
        QString caption;
        Qt::Alignment alignment = Qt::AlignLeft;
        int width = 100;
    };

    explicit TPTShellListModel(TPTCustomShellList* list) : QAbstractTableModel(list), m_list(list)
    {
    }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_items.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
    }
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // The one row whose caption may be edited now, -1 for none.
    void SetEditRow(int row) { m_editRow = row; }
    int EditRow() const { return m_editRow; }
    // The item drawn as the target of a drop, null for none.
    void SetDropItem(const TPTShListData* item);
    const TPTShListData* DropItem() const { return m_dropItem; }

    TPTShListData* Item(int row) const
    {
        return row >= 0 && row < rowCount() ? m_items[static_cast<std::size_t>(row)].get()
                                            : nullptr;
    }
    int RowOf(const TPTShListData* data) const;

    // Used between the list's begin and end of an update.
    std::vector<std::unique_ptr<TPTShListData>>& Items() { return m_items; }
    std::vector<Column>& Columns() { return m_columns; }

    void BeginReset()
    {
        m_dropItem = nullptr;
        // Rows still waiting for their batch belong to what the reset replaces.
        m_waiting.clear();
        beginResetModel();
    }
    void EndReset() { endResetModel(); }
    // Adds rows at the end; while an append batch is open they wait for its end.
    void Append(std::vector<std::unique_ptr<TPTShListData>> items);

    // Rows appended while it lives are added in one insertion at End() (or when it goes, also
    // when an exception passes), as a fill adds its items: the views lay out once, and with
    // assistive technology on, the view's accessible table, which goes over every item it has
    // handed out at each insertion, does that once rather than once a row. Until then the
    // waiting rows are not in the model (rowCount, Item and RowOf do not know them).
    class TAppendBatch
    {
    public:
        explicit TAppendBatch(TPTShellListModel& model) : m_model(&model) { ++m_model->m_batches; }
        // Ends the batch if End() was not called, as when an exception passes.
        ~TAppendBatch()
        {
            try {
                End();
            } catch (...) {
                // Nothing may leave a destructor; the rows are then not shown.
            }
        }
        TAppendBatch(const TAppendBatch&) = delete;
        TAppendBatch& operator=(const TAppendBatch&) = delete;
        void End();

    private:
        TPTShellListModel* m_model;
    };
    void RemoveRange(int first, int last);
    // Puts the rows in a new order, keeping selection and focus on the same items.
    void Reorder(const std::vector<int>& newToOld);
    void ItemChanged(int row);

private:
    TPTCustomShellList* m_list;
    std::vector<std::unique_ptr<TPTShListData>> m_items;
    std::vector<Column> m_columns;
    int m_editRow = -1;
    const TPTShListData* m_dropItem = nullptr;
    int m_batches = 0;
    std::vector<std::unique_ptr<TPTShListData>> m_waiting;
};
