#include "controls/FancyButtonGlyph.h"

#include <QPainter>
#include <algorithm>
#include <memory>

namespace {

struct TGlyphCacheData
{
    std::vector<std::unique_ptr<TGlyphList>> Lists;
};

std::unique_ptr<TGlyphCacheData>& CacheInstance()
{
    static std::unique_ptr<TGlyphCacheData> cache;
    return cache;
}

QImage ToArgb(const QImage& image)
{
    return image.convertToFormat(QImage::Format_ARGB32);
}

} // namespace

int TGlyphList::Add(const QImage& picture)
{
    const auto freeSlot = std::find(m_used.begin(), m_used.end(), false);
    const int index = static_cast<int>(freeSlot - m_used.begin());
    if (freeSlot == m_used.end()) {
        m_used.push_back(true);
        m_slots.push_back(picture);
    } else {
        *freeSlot = true;
        m_slots[index] = picture;
    }
    ++m_count;
    return index;
}

void TGlyphList::Replace(int index, const QImage& picture)
{
    if (index >= 0 && index < static_cast<int>(m_slots.size()) && m_used[index])
        m_slots[index] = picture;
}

void TGlyphList::Delete(int index)
{
    if (index < 0 || index >= static_cast<int>(m_used.size()) || !m_used[index])
        return;
    m_used[index] = false;
    m_slots[index] = QImage();
    --m_count;
}

TGlyphList* TGlyphCache::GetList(QSize size)
{
    auto& cache = CacheInstance();
    if (!cache)
        cache = std::make_unique<TGlyphCacheData>();
    for (const auto& list : cache->Lists) {
        if (list->Size() == size) {
            ++list->Holders;
            return list.get();
        }
    }
    cache->Lists.push_back(std::make_unique<TGlyphList>(size));
    cache->Lists.back()->Holders = 1;
    return cache->Lists.back().get();
}

void TGlyphCache::ReturnList(TGlyphList* list)
{
    auto& cache = CacheInstance();
    if (!cache || !list)
        return;
    --list->Holders;
    if (list->Holders <= 0 && list->Count() == 0) {
        std::erase_if(cache->Lists, [list](const auto& held) { return held.get() == list; });
        if (cache->Lists.empty())
            cache.reset();
    }
}

bool TGlyphCache::Exists()
{
    return CacheInstance() != nullptr;
}

int TGlyphCache::ListCount()
{
    const auto& cache = CacheInstance();
    return cache ? static_cast<int>(cache->Lists.size()) : 0;
}

int TGlyphCache::PictureCount(QSize size)
{
    const auto& cache = CacheInstance();
    if (cache) {
        for (const auto& list : cache->Lists) {
            if (list->Size() == size)
                return list->Count();
        }
    }
    return -1;
}

void TButtonGlyph::SetGlyph(const QPixmap& glyph)
{
    Release();
    m_original = glyph;
    m_strip = glyph.isNull() ? QImage() : ToArgb(glyph.toImage());
    // Like an automatic transparent colour: the strip's bottom-left pixel.
    if (!m_strip.isNull())
        m_transparentColor = QColor(m_strip.pixel(0, m_strip.height() - 1)).toRgb();
}

void TButtonGlyph::SetNumGlyphs(int count)
{
    count = std::clamp(count, 1, StateCount);
    if (count == m_numGlyphs)
        return;
    Release();
    m_numGlyphs = count;
}

void TButtonGlyph::SetTransparentColor(const QColor& color)
{
    if (color == m_transparentColor)
        return;
    Release();
    m_transparentColor = color;
}

QSize TButtonGlyph::CellSize() const
{
    if (m_strip.isNull())
        return QSize(0, 0);
    return QSize(m_strip.width() / m_numGlyphs, m_strip.height());
}

int TButtonGlyph::CellFor(TFancyButtonState state, int count)
{
    if (state == TFancyButton::fbsDown && count < 3)
        state = TFancyButton::fbsUp;
    int cell = static_cast<int>(state);
    if (cell >= count)
        cell = 0;
    if (cell == 3)
        cell = 1;
    return cell;
}

bool TButtonGlyph::IsTransparent(QRgb pixel) const
{
    return qAlpha(pixel) < 128 || (pixel & RGB_MASK) == (m_transparentColor.rgb() & RGB_MASK);
}

QImage TButtonGlyph::Cell(int index) const
{
    const QSize size = CellSize();
    return m_strip.copy(index * size.width(), 0, size.width(), size.height());
}

QImage TButtonGlyph::MaskedCell(int index) const
{
    QImage cell = Cell(index);
    for (int y = 0; y < cell.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(cell.scanLine(y));
        for (int x = 0; x < cell.width(); ++x) {
            if ((line[x] & RGB_MASK) == (m_transparentColor.rgb() & RGB_MASK))
                line[x] = 0;
        }
    }
    return cell;
}

QImage TButtonGlyph::DisabledFromCell(int index, const QPalette& palette) const
{
    const QRgb face = palette.color(QPalette::Button).rgb();
    const QRgb highlight = palette.color(QPalette::Light).rgb();
    const QRgb shadow = palette.color(QPalette::Dark).rgb();
    QImage cell = Cell(index);
    for (int y = 0; y < cell.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(cell.scanLine(y));
        for (int x = 0; x < cell.width(); ++x) {
            const QRgb colour = line[x] & RGB_MASK;
            if (IsTransparent(line[x]))
                line[x] = face;
            else if (colour == (qRgb(255, 255, 255) & RGB_MASK))
                line[x] = highlight;
            else if (colour == (qRgb(128, 128, 128) & RGB_MASK))
                line[x] = shadow;
        }
    }
    return cell;
}

QImage TButtonGlyph::DisabledSilhouette(const QPalette& palette) const
{
    // The silhouette is every drawn pixel that is not white, as a monochrome copy against a
    // white background sees it.
    const QImage cell = Cell(0);
    QImage result(cell.size(), QImage::Format_ARGB32);
    result.fill(palette.color(QPalette::Button));
    const QRgb highlight = palette.color(QPalette::Light).rgb();
    const QRgb shadow = palette.color(QPalette::Dark).rgb();
    auto inSilhouette = [&](int x, int y) {
        const QRgb pixel = cell.pixel(x, y);
        return !IsTransparent(pixel) && (pixel & RGB_MASK) != (qRgb(255, 255, 255) & RGB_MASK);
    };
    for (int y = 0; y + 1 < cell.height(); ++y) {
        for (int x = 0; x + 1 < cell.width(); ++x) {
            if (inSilhouette(x, y))
                result.setPixel(x + 1, y + 1, highlight);
        }
    }
    for (int y = 0; y < cell.height(); ++y) {
        for (int x = 0; x < cell.width(); ++x) {
            if (inSilhouette(x, y))
                result.setPixel(x, y, shadow);
        }
    }
    return result;
}

const QImage* TButtonGlyph::CreateButtonGlyph(TFancyButtonState state, const QPalette& palette,
                                              bool force)
{
    if (state == TFancyButton::fbsDown && m_numGlyphs < 3)
        state = TFancyButton::fbsUp;
    int& index = m_indexes[static_cast<std::size_t>(state)];
    if (index != -1 && !force)
        return &m_list->Picture(index);
    if (m_strip.isNull() || CellSize().isEmpty())
        return nullptr;
    if (!m_list)
        m_list = TGlyphCache::GetList(CellSize());

    const int cell = CellFor(state, m_numGlyphs);
    QImage picture;
    if (state != TFancyButton::fbsDisabled)
        picture = MaskedCell(cell);
    else if (m_numGlyphs == 1)
        picture = DisabledSilhouette(palette);
    else
        picture = DisabledFromCell(cell, palette);

    if (index != -1)
        m_list->Replace(index, picture);
    else
        index = m_list->Add(picture);
    return &m_list->Picture(index);
}

void TButtonGlyph::RebuildDisabled(const QPalette& palette)
{
    if (m_indexes[static_cast<std::size_t>(TFancyButton::fbsDisabled)] != -1)
        CreateButtonGlyph(TFancyButton::fbsDisabled, palette, true);
}

void TButtonGlyph::Release()
{
    if (!m_list)
        return;
    for (int& index : m_indexes) {
        m_list->Delete(index);
        index = -1;
    }
    TGlyphCache::ReturnList(m_list);
    m_list = nullptr;
}
