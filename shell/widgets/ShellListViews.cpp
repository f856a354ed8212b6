#include "shell/widgets/ShellListViews.h"

#include "shell/namespace/ShellStrings.h"
#include "shell/widgets/PTShellList.h"
#include "shell/widgets/PTShellListModel.h"
#include "shell/widgets/ShellListSupport.h"

#include <QAbstractItemDelegate>
#include <QFontMetrics>
#include <QHeaderView>
#include <QListView>
#include <QStackedLayout>
#include <QTreeView>
#include <algorithm>

using namespace shelllist;

void TShellListViews::Create()
{
    m_listView = TShellListDragDrop::NewListView(m_list);
    m_listView->setModel(m_list->m_model);
    m_listView->setSelectionModel(m_list->m_selection);
    m_listView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_listView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_listView->setUniformItemSizes(true);
    m_listView->setContextMenuPolicy(Qt::CustomContextMenu);
    m_listView->installEventFilter(m_list);
    m_listView->viewport()->installEventFilter(m_list);
    QObject::connect(
        m_listView, &QWidget::customContextMenuRequested, m_list,
        [this](const QPoint& position) { m_list->m_commands.ContextMenuAt(position, false); });
    QObject::connect(m_listView->itemDelegate(), &QAbstractItemDelegate::closeEditor, m_list,
                     [this] { m_list->m_commands.EditorClosed(); });
    auto* layout = new QStackedLayout(m_list);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_listView);
    m_list->setFocusProxy(m_listView);
}

void TShellListViews::Destroy()
{
    if (m_reportView)
        RememberColumnWidths();
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(m_listView),
                                    static_cast<QAbstractItemView*>(m_reportView)}) {
        if (view) {
            view->removeEventFilter(m_list);
            view->viewport()->removeEventFilter(m_list);
        }
    }
    delete m_reportView;
    m_reportView = nullptr;
    delete m_listView;
    m_listView = nullptr;
}

void TShellListViews::RememberColumnWidths()
{
    if (!m_reportView)
        return;
    auto& widths = RememberedColumnWidths();
    widths.clear();
    for (int i = 0; i < m_list->m_model->columnCount(); ++i)
        widths.push_back(m_reportView->columnWidth(i));
}

void TShellListViews::ApplyColumnWidths()
{
    if (!m_reportView)
        return;
    for (int i = 0; i < m_list->m_model->columnCount(); ++i)
        m_reportView->setColumnWidth(i,
                                     m_list->m_model->Columns()[static_cast<std::size_t>(i)].width);
}

QAbstractItemView* TShellListViews::Current() const
{
    if (m_list->m_viewStyle == vsReport && m_reportView)
        return m_reportView;
    return m_listView;
}

bool TShellListViews::IsView(const QObject* object) const
{
    return object == m_listView || (m_reportView && object == m_reportView);
}

bool TShellListViews::IsViewport(const QObject* object) const
{
    return object == m_listView->viewport() || (m_reportView && object == m_reportView->viewport());
}

void TShellListViews::SetSelectionMode(bool multiSelect)
{
    auto mode =
        multiSelect ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection;
    m_listView->setSelectionMode(mode);
    if (m_reportView)
        m_reportView->setSelectionMode(mode);
}

void TShellListViews::ShareAccessibleTexts()
{
    // The view inside takes the focus, so a screen reader names the list by the view's texts.
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(m_listView),
                                    static_cast<QAbstractItemView*>(m_reportView)}) {
        if (!view)
            continue;
        view->setAccessibleName(m_list->accessibleName());
        view->setAccessibleDescription(m_list->accessibleDescription());
    }
}

void TShellListViews::ApplyDragDrop()
{
    m_list->m_dragDrop.Apply(m_listView);
    if (m_reportView)
        m_list->m_dragDrop.Apply(m_reportView);
}

void TShellListViews::ApplyViewStyle()
{
    auto* layout = static_cast<QStackedLayout*>(m_list->layout());
    if (m_list->m_viewStyle == vsReport) {
        QTreeView* view = ReportView();
        layout->setCurrentWidget(view);
        m_list->setFocusProxy(view);
        return;
    }
    m_listView->setGridSize(QSize());
    switch (m_list->m_viewStyle) {
    case vsIcon:
        m_listView->setViewMode(QListView::IconMode);
        m_listView->setIconSize(QSize(32, 32));
        m_listView->setFlow(QListView::LeftToRight);
        m_listView->setWordWrap(true);
        break;
    case vsSmallIcon:
        m_listView->setViewMode(QListView::IconMode);
        m_listView->setIconSize(QSize(16, 16));
        m_listView->setFlow(QListView::LeftToRight);
        m_listView->setWordWrap(false);
        break;
    default:
        // Small icons in columns that run top to bottom, scrolled sideways.
        m_listView->setViewMode(QListView::ListMode);
        m_listView->setIconSize(QSize(16, 16));
        m_listView->setFlow(QListView::TopToBottom);
        m_listView->setWrapping(true);
        m_listView->setWordWrap(false);
        m_listView->setTextElideMode(Qt::ElideRight);
        break;
    }
    m_listView->setMovement(QListView::Static);
    // The movement setting sets the view's own drag and drop too; the list's options decide.
    m_list->m_dragDrop.Apply(m_listView);
    m_listView->setResizeMode(QListView::Adjust);
    // Large icons wrap their names to the room each one needs; one size for all would give
    // every item the first item's width.
    m_listView->setUniformItemSizes(m_list->m_viewStyle != vsIcon);
    layout->setCurrentWidget(m_listView);
    m_list->setFocusProxy(m_listView);
    UpdateItemSize();
}

QTreeView* TShellListViews::ReportView()
{
    if (m_reportView)
        return m_reportView;
    m_reportView = TShellListDragDrop::NewReportView(m_list);
    m_reportView->setModel(m_list->m_model);
    m_reportView->setSelectionModel(m_list->m_selection);
    m_reportView->setRootIsDecorated(false);
    m_reportView->setItemsExpandable(false);
    m_reportView->setUniformRowHeights(true);
    m_reportView->setAllColumnsShowFocus(true);
    m_reportView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ShareAccessibleTexts();
    m_reportView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_reportView->setSelectionMode(m_list->m_multiSelect ? QAbstractItemView::ExtendedSelection
                                                         : QAbstractItemView::SingleSelection);
    m_reportView->setContextMenuPolicy(Qt::CustomContextMenu);
    m_reportView->header()->setSectionsClickable(true);
    m_reportView->header()->setStretchLastSection(false);
    m_reportView->installEventFilter(m_list);
    m_reportView->viewport()->installEventFilter(m_list);
    QObject::connect(
        m_reportView, &QWidget::customContextMenuRequested, m_list,
        [this](const QPoint& position) { m_list->m_commands.ContextMenuAt(position, false); });
    QObject::connect(m_reportView->itemDelegate(), &QAbstractItemDelegate::closeEditor, m_list,
                     [this] { m_list->m_commands.EditorClosed(); });
    m_list->m_dragDrop.Apply(m_reportView);
    QObject::connect(m_reportView->header(), &QHeaderView::sectionClicked, m_list,
                     [this](int column) { m_list->ColumnClicked(column); });
    static_cast<QStackedLayout*>(m_list->layout())->addWidget(m_reportView);
    ApplyColumnWidths();
    ApplyHeaderSort();
    return m_reportView;
}

void TShellListViews::ApplyHeaderSort()
{
    if (!m_reportView)
        return;
    QHeaderView* header = m_reportView->header();
    int column = m_list->m_sortColumn;
    header->setSortIndicatorShown(m_list->m_headerSortDisplayMode != ptlvNone && column != 0);
    if (column != 0)
        header->setSortIndicator(std::abs(column) - 1,
                                 column > 0 ? Qt::AscendingOrder : Qt::DescendingOrder);
}

QStringList TShellListViews::ColumnCaptions() const
{
    QStringList captions;
    for (const auto& column : m_list->m_model->Columns())
        captions << column.caption;
    return captions;
}

// Columns wide enough for the longest names; only the longest few are measured.
void TShellListViews::UpdateItemSize(int firstNewRow)
{
    if (m_list->m_viewStyle == vsReport)
        return;
    QFontMetrics metrics(m_listView->font());
    if (m_list->m_viewStyle == vsIcon) {
        // Room for a short name on one line and a longer one on two, as icon views give.
        QSize grid(std::max(76, metrics.averageCharWidth() * 13),
                   32 + 8 + 2 * metrics.lineSpacing() + 6);
        if (m_listView->gridSize() != grid)
            m_listView->setGridSize(grid);
        return;
    }
    int count = m_list->ItemCount();
    if (firstNewRow > 0 && m_listView->gridSize().isValid()) {
        // Items were added: the columns only ever grow for them.
        int width = m_listView->gridSize().width();
        for (int row = firstNewRow; row < count; ++row)
            width = std::max(width, std::min(16 + 10 +
                                                 metrics.horizontalAdvance(
                                                     m_list->m_model->Item(row)->GetDisplayName()) +
                                                 8,
                                             420));
        if (width != m_listView->gridSize().width())
            m_listView->setGridSize(QSize(width, m_listView->gridSize().height()));
        return;
    }
    std::vector<std::pair<int, int>> lengths; // byte length, row
    lengths.reserve(static_cast<std::size_t>(count));
    for (int row = 0; row < count; ++row)
        lengths.emplace_back(
            static_cast<int>(IdListLen(m_list->m_model->Item(row)->GetRelativeIdList())), row);
    std::size_t measured = std::min<std::size_t>(lengths.size(), 24);
    std::partial_sort(lengths.begin(), lengths.begin() + static_cast<std::ptrdiff_t>(measured),
                      lengths.end(),
                      [](const auto& a, const auto& b) { return a.first > b.first; });
    int textWidth = metrics.horizontalAdvance(QStringLiteral("MMMMMMMM"));
    for (std::size_t i = 0; i < measured; ++i)
        textWidth = std::max(
            textWidth,
            metrics.horizontalAdvance(m_list->m_model->Item(lengths[i].second)->GetDisplayName()));
    int width = std::min(16 + 10 + textWidth + 8, 420);
    int height = std::max(metrics.height(), 16) + 4;
    QSize grid(width, height);
    if (m_listView->gridSize() != grid)
        m_listView->setGridSize(grid);
}

void TShellListViews::SetupColumns()
{
    auto& columns = m_list->m_model->Columns();
    auto& remembered = RememberedColumnWidths();
    if (!columns.empty())
        RememberColumnWidths();
    columns.clear();
    auto alignment = [](TShellDetailsInfo::Format format) {
        return format == TShellDetailsInfo::fmtRight    ? Qt::AlignRight
               : format == TShellDetailsInfo::fmtCenter ? Qt::AlignHCenter
                                                        : Qt::AlignLeft;
    };
    if (auto details = m_list->GetCurrentFolderIShellDetails()) {
        TShellDetailsInfo info;
        for (int i = 0; Succeeded(details->GetDetailsOf(nullptr, i, info)); ++i)
            columns.push_back({DisplayName(info.text), alignment(info.format), 7 * info.charWidth});
    } else {
        columns = {{PTLoadStr(TPTResString::SColumnName), Qt::AlignLeft, 200},
                   {PTLoadStr(TPTResString::SColumnSize), Qt::AlignRight, 60},
                   {PTLoadStr(TPTResString::SColumnType), Qt::AlignLeft, 100},
                   {PTLoadStr(TPTResString::SColumnModified), Qt::AlignLeft, 120}};
    }
    bool fileSystemFolder =
        m_list->m_currentFolder && !m_list->m_currentFolder->FileSystemPath().empty();
    if (fileSystemFolder && remembered.size() == columns.size()) {
        for (std::size_t i = 0; i < columns.size(); ++i)
            columns[i].width = remembered[i];
    }
    if (std::abs(m_list->m_sortColumn) > static_cast<int>(columns.size()))
        m_list->m_sortColumn = 1;
}
