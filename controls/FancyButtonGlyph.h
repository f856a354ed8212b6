#pragma once

#include "controls/FancyButton.h"

#include <QColor>
#include <QImage>
#include <QPalette>
#include <QPixmap>
#include <QSize>
#include <array>
#include <functional>
#include <vector>

// The pictures of one picture size, shared by every button whose cells have that size.
class TGlyphList
{
public:
    explicit TGlyphList(QSize size) : m_size(size) {}

    QSize Size() const { return m_size; }
    // Stores the picture in the lowest free slot, growing by one slot when none is free.
    int Add(const QImage& picture);
    void Replace(int index, const QImage& picture);
    void Delete(int index);
    const QImage& Picture(int index) const { return m_slots.at(index); }
    // Pictures in use.
    int Count() const { return m_count; }

    int Holders = 0;

private:
    QSize m_size;
    std::vector<QImage> m_slots;
    std::vector<bool> m_used;
    int m_count = 0;
};

// The program's one set of picture lists, at most one per picture size. It exists only while a
// list does: the last list given back takes the cache with it.
class TGlyphCache
{
public:
    static TGlyphList* GetList(QSize size);
    // Gives a list back; a list nobody holds and with no picture left is destroyed.
    static void ReturnList(TGlyphList* list);

    static bool Exists();
    static int ListCount();
    // Pictures in the list of that size, -1 when there is no such list.
    static int PictureCount(QSize size);
};

// A button's picture strip and the pictures built from it, one per state, on demand.
class TButtonGlyph
{
public:
    static constexpr int StateCount = 5;

    TButtonGlyph() { m_indexes.fill(-1); }
    ~TButtonGlyph() { Release(); }
    TButtonGlyph(const TButtonGlyph&) = delete;
    TButtonGlyph& operator=(const TButtonGlyph&) = delete;

    const QPixmap& Glyph() const { return m_original; }
    // Copies the strip and takes its transparent colour; the caller works out NumGlyphs.
    void SetGlyph(const QPixmap& glyph);
    int NumGlyphs() const { return m_numGlyphs; }
    // Clamped to 1..5; pictures built for the old count are released.
    void SetNumGlyphs(int count);
    QColor TransparentColor() const { return m_transparentColor; }
    void SetTransparentColor(const QColor& color);
    // One cell of the strip; empty without a strip.
    QSize CellSize() const;

    // The cell of the strip that a state shows with count cells.
    static int CellFor(TFancyButtonState state, int count);

    // Builds the state's picture unless it exists (or force), and returns it; nullptr for an
    // empty strip.
    const QImage* CreateButtonGlyph(TFancyButtonState state, const QPalette& palette,
                                    bool force = false);
    // Repaints an existing disabled picture in new colours.
    void RebuildDisabled(const QPalette& palette);
    // Frees this glyph's pictures and gives the list back.
    void Release();

private:
    QImage Cell(int index) const;
    QImage MaskedCell(int index) const;
    QImage DisabledFromCell(int index, const QPalette& palette) const;
    QImage DisabledSilhouette(const QPalette& palette) const;
    bool IsTransparent(QRgb pixel) const;

    QPixmap m_original;
    QImage m_strip;
    int m_numGlyphs = 1;
    QColor m_transparentColor = QColor(128, 128, 0);
    std::array<int, StateCount> m_indexes;
    TGlyphList* m_list = nullptr;
};
