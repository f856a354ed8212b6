#pragma once

// An owner-drawn combo box whose entries carry an image and an indent, with the select-end,
// close-up and delete-item events of the native control.

#include <QAbstractItemDelegate>
#include <QAbstractListModel>
#include <QComboBox>
#include <QString>
#include <memory>
#include <vector>

class TPTCustomImageCombo;
class TPTImageComboItem;

// What an entry carries besides its looks; owned by the entry.
class TPTComboItemData
{
public:
    virtual ~TPTComboItemData() = default;
};

// A combo box that reports the end of a selection: accepted (a choice in the drop-down list or
// by keys), cancelled (the list closed without a choice), and the list closing.
class TPTCustomCombobox : public QComboBox
{
    Q_OBJECT
public:
    explicit TPTCustomCombobox(QWidget* parent = nullptr);

    void showPopup() override;
    void hidePopup() override;
    bool DroppedDown() const { return m_droppedDown; }

signals:
    void OnSelEndOk(TPTCustomCombobox* sender);
    void OnSelEndCancel(TPTCustomCombobox* sender);
    void OnCloseUp(TPTCustomCombobox* sender);
    // Before an entry is freed.
    void OnDeleteItem(TPTCustomCombobox* sender, TPTImageComboItem* aItem);

protected:
    // The user accepted the entry at index; fires OnSelEndOk.
    virtual void SelEndOk(int index);
    // Before the drop-down list opens.
    virtual void DropDown() {}

private:
    bool m_droppedDown = false;
    bool m_chosen = false;
};

// One entry: its image, overlay, indent and caption. A caption of "" and an image of -1 are
// not known yet and are fetched when the entry is first drawn.
class TPTImageComboItem
{
public:
    TPTImageComboItem(TPTCustomImageCombo* owner, int index, const QString& caption, int imageIndex,
                      int indent);

    TPTCustomImageCombo* Owner() const { return m_owner; }
    int Index() const { return m_index; }
    int Indent() const { return m_indent; }
    void SetIndent(int indent);
    int ImageIndex() const { return m_imageIndex; }
    void SetImageIndex(int imageIndex);
    int OverlayIndex() const { return m_overlayIndex; }
    void SetOverlayIndex(int overlayIndex);
    const QString& Caption() const { return m_caption; }
    void SetCaption(const QString& caption);
    TPTComboItemData* Data() const { return m_data.get(); }
    void SetData(std::unique_ptr<TPTComboItemData> data) { m_data = std::move(data); }

private:
    friend class TPTCustomImageCombo;

    TPTCustomImageCombo* m_owner;
    int m_index;
    int m_indent;
    int m_imageIndex;
    int m_overlayIndex = -1;
    QString m_caption;
    std::unique_ptr<TPTComboItemData> m_data;
};

// The entries as the combo box and its drop-down list see them. The display text is the
// caption once it is known; asking for it never fetches one.
class TPTImageComboModel : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit TPTImageComboModel(TPTCustomImageCombo* combo);
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    friend class TPTCustomImageCombo;
    TPTCustomImageCombo* m_combo;
};

class TPTCustomImageCombo : public TPTCustomCombobox
{
    Q_OBJECT
    Q_PROPERTY(int IndentPixels READ IndentPixels WRITE SetIndentPixels)
public:
    explicit TPTCustomImageCombo(QWidget* parent = nullptr);
    ~TPTCustomImageCombo() override;

    int IndentPixels() const { return m_indentPixels; }
    void SetIndentPixels(int pixels);
    // The larger of the font's height + 2 and the image height.
    int ItemHeight() const;

    int ItemCount() const { return static_cast<int>(m_items.size()); }
    TPTImageComboItem* Item(int index) const;
    // Appends an entry; returns its index.
    int AddItem(const QString& caption, int imageIndex, int indent);
    // Removes every entry, firing OnDeleteItem for each before it is freed.
    void ClearItems();
    // The selected entry; -1 for none.
    int ItemIndex() const;
    void SetItemIndex(int index);

    // Changes to the entries between these show up once, at the end.
    void BeginUpdate();
    void EndUpdate();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Draws entry index into rect: at its indent, or at indent 0 in the closed combo's field.
    void DrawItem(QPainter& painter, const QRect& rect, int index, bool selected, bool inField);

protected:
    // Fills in what an entry still lacks before it is drawn.
    virtual void GetItemData(TPTImageComboItem& item);
    // The image for an entry's image index and overlay.
    virtual QIcon ItemIcon(const TPTImageComboItem& item) const;
    virtual QSize ImageSize() const { return QSize(16, 16); }
    void paintEvent(QPaintEvent* event) override;

private:
    friend class TPTImageComboItem;
    friend class TPTImageComboModel;

    void ItemChanged(TPTImageComboItem* item);

    std::vector<std::unique_ptr<TPTImageComboItem>> m_items;
    TPTImageComboModel* m_model;
    int m_indentPixels = 12;
    int m_updateCount = 0;
    int m_pendingIndex = -1;
    bool m_drawing = false;
};

// Paints the drop-down list's entries through the combo.
class TPTImageComboDelegate : public QAbstractItemDelegate
{
    Q_OBJECT
public:
    explicit TPTImageComboDelegate(TPTCustomImageCombo* combo);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    TPTCustomImageCombo* m_combo;
};
