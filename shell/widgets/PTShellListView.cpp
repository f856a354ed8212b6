// How the list shows its items: the view styles, the report view with its header, and the
// size of the items in the list views.

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

void TPTCustomShellList::SetViewStyle(TViewStyle style)
{
    if (style == m_viewStyle)
        return;
    m_viewStyle = style;
    ApplyViewStyle();
}

void TPTCustomShellList::ApplyViewStyle()
{
    auto* layout = static_cast<QStackedLayout*>(this->layout());
    if (m_viewStyle == vsReport) {
        QTreeView* view = ReportView();
        layout->setCurrentWidget(view);
        setFocusProxy(view);
        return;
    }
    m_listView->setGridSize(QSize());
    switch (m_viewStyle) {
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
    ApplyDragDrop(m_listView);
    m_listView->setResizeMode(QListView::Adjust);
    // Large icons wrap their names to the room each one needs; one size for all would give
    // every item the first item's width.
    m_listView->setUniformItemSizes(m_viewStyle != vsIcon);
    layout->setCurrentWidget(m_listView);
    setFocusProxy(m_listView);
    UpdateItemSize();
}

QTreeView* TPTCustomShellList::ReportView()
{
    if (m_reportView)
        return m_reportView;
    m_reportView = shelllist::NewShellReportView(this);
    m_reportView->setModel(m_model);
    m_reportView->setSelectionModel(m_selection);
    m_reportView->setRootIsDecorated(false);
    m_reportView->setItemsExpandable(false);
    m_reportView->setUniformRowHeights(true);
    m_reportView->setAllColumnsShowFocus(true);
    m_reportView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ShareAccessibleTexts();
    m_reportView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_reportView->setSelectionMode(m_multiSelect ? QAbstractItemView::ExtendedSelection
                                                 : QAbstractItemView::SingleSelection);
    m_reportView->setContextMenuPolicy(Qt::CustomContextMenu);
    m_reportView->header()->setSectionsClickable(true);
    m_reportView->header()->setStretchLastSection(false);
    m_reportView->installEventFilter(this);
    m_reportView->viewport()->installEventFilter(this);
    connect(m_reportView, &QWidget::customContextMenuRequested, this,
            &TPTCustomShellList::ShowContextMenu);
    connect(m_reportView->itemDelegate(), &QAbstractItemDelegate::closeEditor, this,
            &TPTCustomShellList::EditorClosed);
    ApplyDragDrop(m_reportView);
    connect(m_reportView->header(), &QHeaderView::sectionClicked, this,
            &TPTCustomShellList::ColumnClicked);
    static_cast<QStackedLayout*>(layout())->addWidget(m_reportView);
    for (int i = 0; i < m_model->columnCount(); ++i)
        m_reportView->setColumnWidth(i, m_model->Columns()[static_cast<std::size_t>(i)].width);
    SetHeaderSortDisplayMode(m_headerSortDisplayMode);
    return m_reportView;
}

void TPTCustomShellList::SetHeaderSortDisplayMode(TPTHeaderSortDisplayMode mode)
{
    m_headerSortDisplayMode = mode;
    if (!m_reportView)
        return;
    QHeaderView* header = m_reportView->header();
    header->setSortIndicatorShown(mode != ptlvNone && m_sortColumn != 0);
    if (m_sortColumn != 0)
        header->setSortIndicator(std::abs(m_sortColumn) - 1,
                                 m_sortColumn > 0 ? Qt::AscendingOrder : Qt::DescendingOrder);
}

QStringList TPTCustomShellList::ColumnCaptions() const
{
    QStringList captions;
    for (const auto& column : m_model->Columns())
        captions << column.caption;
    return captions;
}

// Columns wide enough for the longest names; only the longest few are measured.
void TPTCustomShellList::UpdateItemSize(int firstNewRow)
{
    if (m_viewStyle == vsReport)
        return;
    QFontMetrics metrics(m_listView->font());
    if (m_viewStyle == vsIcon) {
        // Room for a short name on one line and a longer one on two, as icon views give.
        QSize grid(std::max(76, metrics.averageCharWidth() * 13),
                   32 + 8 + 2 * metrics.lineSpacing() + 6);
        if (m_listView->gridSize() != grid)
            m_listView->setGridSize(grid);
        return;
    }
    int count = ItemCount();
    if (firstNewRow > 0 && m_listView->gridSize().isValid()) {
        // Items were added: the columns only ever grow for them.
        int width = m_listView->gridSize().width();
        for (int row = firstNewRow; row < count; ++row)
            width = std::max(
                width,
                std::min(16 + 10 + metrics.horizontalAdvance(m_model->Item(row)->GetDisplayName()) +
                             8,
                         420));
        if (width != m_listView->gridSize().width())
            m_listView->setGridSize(QSize(width, m_listView->gridSize().height()));
        return;
    }
    std::vector<std::pair<int, int>> lengths; // byte length, row
    lengths.reserve(static_cast<std::size_t>(count));
    for (int row = 0; row < count; ++row)
        lengths.emplace_back(static_cast<int>(IdListLen(m_model->Item(row)->GetRelativeIdList())),
                             row);
    std::size_t measured = std::min<std::size_t>(lengths.size(), 24);
    std::partial_sort(lengths.begin(), lengths.begin() + static_cast<std::ptrdiff_t>(measured),
                      lengths.end(),
                      [](const auto& a, const auto& b) { return a.first > b.first; });
    int textWidth = metrics.horizontalAdvance(QStringLiteral("MMMMMMMM"));
    for (std::size_t i = 0; i < measured; ++i)
        textWidth =
            std::max(textWidth,
                     metrics.horizontalAdvance(m_model->Item(lengths[i].second)->GetDisplayName()));
    int width = std::min(16 + 10 + textWidth + 8, 420);
    int height = std::max(metrics.height(), 16) + 4;
    QSize grid(width, height);
    if (m_listView->gridSize() != grid)
        m_listView->setGridSize(grid);
}
