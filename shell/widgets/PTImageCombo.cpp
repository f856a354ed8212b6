#include "shell/widgets/PTImageCombo.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <algorithm>

// --- TPTCustomCombobox

TPTCustomCombobox::TPTCustomCombobox(QWidget* parent) : QComboBox(parent)
{
    connect(this, &QComboBox::activated, this, [this](int index) {
        m_chosen = true;
        SelEndOk(index);
    });
}

void TPTCustomCombobox::SelEndOk(int)
{
    emit OnSelEndOk(this);
}

void TPTCustomCombobox::showPopup()
{
    DropDown();
    m_chosen = false;
    m_droppedDown = true;
    // The list that opens takes the focus, so a screen reader names it by the combo's texts.
    view()->setAccessibleName(accessibleName());
    view()->setAccessibleDescription(accessibleDescription());
    QComboBox::showPopup();
}

void TPTCustomCombobox::hidePopup()
{
    bool wasDroppedDown = m_droppedDown;
    m_droppedDown = false;
    QComboBox::hidePopup();
    if (!wasDroppedDown)
        return;
    // A choice made in the list is reported right after the list closes; whether there was
    // one is known only when that has happened.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_chosen)
                emit OnSelEndCancel(this);
            m_chosen = false;
            emit OnCloseUp(this);
        },
        Qt::QueuedConnection);
}

// --- TPTImageComboItem

TPTImageComboItem::TPTImageComboItem(TPTCustomImageCombo* owner, int index, const QString& caption,
                                     int imageIndex, int indent)
    : m_owner(owner), m_index(index), m_indent(indent), m_imageIndex(imageIndex), m_caption(caption)
{
}

void TPTImageComboItem::SetIndent(int indent)
{
    if (indent == m_indent)
        return;
    m_indent = indent;
    m_owner->ItemChanged(this);
}

void TPTImageComboItem::SetImageIndex(int imageIndex)
{
    if (imageIndex == m_imageIndex)
        return;
    m_imageIndex = imageIndex;
    m_owner->ItemChanged(this);
}

void TPTImageComboItem::SetOverlayIndex(int overlayIndex)
{
    if (overlayIndex == m_overlayIndex)
        return;
    m_overlayIndex = overlayIndex;
    m_owner->ItemChanged(this);
}

void TPTImageComboItem::SetCaption(const QString& caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    m_owner->ItemChanged(this);
}

// --- TPTImageComboModel

TPTImageComboModel::TPTImageComboModel(TPTCustomImageCombo* combo)
    : QAbstractListModel(combo), m_combo(combo)
{
}

int TPTImageComboModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_combo->ItemCount();
}

QVariant TPTImageComboModel::data(const QModelIndex& index, int role) const
{
    TPTImageComboItem* item = m_combo->Item(index.row());
    if (!item || index.column() != 0)
        return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return item->Caption();
    return {};
}

// --- TPTImageComboDelegate

TPTImageComboDelegate::TPTImageComboDelegate(TPTCustomImageCombo* combo)
    : QAbstractItemDelegate(combo), m_combo(combo)
{
}

void TPTImageComboDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const
{
    painter->save();
    m_combo->DrawItem(*painter, option.rect, index.row(), option.state & QStyle::State_Selected,
                      false);
    painter->restore();
}

QSize TPTImageComboDelegate::sizeHint(const QStyleOptionViewItem& option,
                                      const QModelIndex& index) const
{
    int width = 0;
    if (TPTImageComboItem* item = m_combo->Item(index.row())) {
        // Only what is known: working out a caption here would fetch every entry's.
        width = m_combo->IndentPixels() * item->Indent() + 16 + 5 +
                option.fontMetrics.horizontalAdvance(item->Caption()) + 5;
    }
    return QSize(width, m_combo->ItemHeight());
}

// --- TPTCustomImageCombo

TPTCustomImageCombo::TPTCustomImageCombo(QWidget* parent) : TPTCustomCombobox(parent)
{
    m_model = new TPTImageComboModel(this);
    setModel(m_model);
    setItemDelegate(new TPTImageComboDelegate(this));
    // A list that drops down below the box and shows as many entries as asked, as the
    // native control does, not a menu laid over it.
    setStyleSheet(QStringLiteral("combobox-popup: 0;"));
    setMaxVisibleItems(8);
}

TPTCustomImageCombo::~TPTCustomImageCombo()
{
    ClearItems();
}

void TPTCustomImageCombo::SetIndentPixels(int pixels)
{
    if (pixels == m_indentPixels)
        return;
    m_indentPixels = pixels;
    update();
    view()->viewport()->update();
}

int TPTCustomImageCombo::ItemHeight() const
{
    return std::max(fontMetrics().height() + 2, ImageSize().height());
}

TPTImageComboItem* TPTCustomImageCombo::Item(int index) const
{
    if (index < 0 || index >= ItemCount())
        return nullptr;
    return m_items[static_cast<std::size_t>(index)].get();
}

int TPTCustomImageCombo::AddItem(const QString& caption, int imageIndex, int indent)
{
    BeginUpdate();
    int index = ItemCount();
    m_items.push_back(
        std::make_unique<TPTImageComboItem>(this, index, caption, imageIndex, indent));
    EndUpdate();
    return index;
}

void TPTCustomImageCombo::ClearItems()
{
    if (m_items.empty())
        return;
    BeginUpdate();
    m_pendingIndex = -1;
    for (auto& item : m_items) {
        emit OnDeleteItem(this, item.get());
        item.reset();
    }
    m_items.clear();
    EndUpdate();
}

int TPTCustomImageCombo::ItemIndex() const
{
    return m_updateCount > 0 ? m_pendingIndex : currentIndex();
}

void TPTCustomImageCombo::SetItemIndex(int index)
{
    if (index < 0 || index >= ItemCount())
        index = -1;
    if (m_updateCount > 0)
        m_pendingIndex = index;
    else
        setCurrentIndex(index);
}

void TPTCustomImageCombo::BeginUpdate()
{
    if (m_updateCount++ > 0)
        return;
    m_pendingIndex = currentIndex();
    m_model->beginResetModel();
}

void TPTCustomImageCombo::EndUpdate()
{
    if (--m_updateCount > 0)
        return;
    m_model->endResetModel();
    setCurrentIndex(m_pendingIndex < ItemCount() ? m_pendingIndex : -1);
    update();
}

void TPTCustomImageCombo::ItemChanged(TPTImageComboItem*)
{
    // While drawing, the entry is being completed for the very paint under way.
    if (m_updateCount > 0 || m_drawing)
        return;
    update();
    view()->viewport()->update();
}

QSize TPTCustomImageCombo::sizeHint() const
{
    // Not from the captions: most of them are not known until they are drawn.
    QStyleOptionComboBox option;
    initStyleOption(&option);
    QSize contents(ImageSize().width() + 5 + fontMetrics().horizontalAdvance(QLatin1Char('x')) * 20,
                   ItemHeight());
    return style()->sizeFromContents(QStyle::CT_ComboBox, &option, contents, this);
}

QSize TPTCustomImageCombo::minimumSizeHint() const
{
    QStyleOptionComboBox option;
    initStyleOption(&option);
    QSize contents(ImageSize().width() + 5 + fontMetrics().horizontalAdvance(QLatin1Char('x')) * 4,
                   ItemHeight());
    return style()->sizeFromContents(QStyle::CT_ComboBox, &option, contents, this);
}

void TPTCustomImageCombo::GetItemData(TPTImageComboItem&) {}

QIcon TPTCustomImageCombo::ItemIcon(const TPTImageComboItem&) const
{
    return {};
}

void TPTCustomImageCombo::DrawItem(QPainter& painter, const QRect& rect, int index, bool selected,
                                   bool inField)
{
    const QPalette& colours = palette();
    painter.fillRect(rect, colours.color(QPalette::Base));
    TPTImageComboItem* item = Item(index);
    if (!item)
        return;
    m_drawing = true;
    try {
        GetItemData(*item);
    } catch (...) {
        // A name or icon that cannot be had leaves the entry as it is.
    }
    m_drawing = false;
    int indent = inField ? 0 : item->Indent();
    QSize imageSize = ImageSize();
    QIcon icon = ItemIcon(*item);
    if (!icon.isNull()) {
        QIcon::Mode mode =
            !isEnabled() ? QIcon::Disabled : (selected ? QIcon::Selected : QIcon::Normal);
        QPixmap pixmap = icon.pixmap(imageSize, devicePixelRatioF(), mode);
        QRect target(rect.left() + 2 + m_indentPixels * indent,
                     rect.top() + (rect.height() - imageSize.height()) / 2, imageSize.width(),
                     imageSize.height());
        painter.drawPixmap(target, pixmap);
    }
    QFontMetrics metrics(font());
    const QString& caption = item->Caption();
    QRect box(rect.left() + m_indentPixels * indent + imageSize.width() + 4 + 1, rect.top(),
              metrics.horizontalAdvance(caption) + 3, rect.height());
    QPalette::ColorGroup group = isEnabled() ? QPalette::Normal : QPalette::Disabled;
    if (selected) {
        painter.fillRect(box, colours.color(group, QPalette::Highlight));
        painter.setPen(colours.color(group, QPalette::HighlightedText));
    } else {
        painter.setPen(colours.color(group, QPalette::Text));
    }
    painter.setFont(font());
    painter.drawText(box.adjusted(1, 0, 0, 0),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, caption);
}

void TPTCustomImageCombo::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText.clear();
    option.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    int index = currentIndex();
    if (index < 0 || index >= ItemCount())
        return;
    painter.setClipRect(field);
    DrawItem(painter, field, index, hasFocus() && !DroppedDown(), true);
}
