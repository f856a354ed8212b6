#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The contents every page carries beside its text: the split headings as the index lists
// them, nested by level, the page's own entry marked and its branch open. Built from the
// first pass, so every page knows the whole document.
class PageSidebar
{
public:
    // A page carries the whole tree up to this many entries (and kMaxBytes); beyond, only the
    // part around its own entry.
    static constexpr std::size_t kWholeTreeEntries = 300;
    static constexpr std::size_t kMaxBytes = 32 * 1024;
    // Entry texts longer than this are cut at a space.
    static constexpr std::size_t kTextRoom = 160;

    // indexHref: the index page, which lists everything a bounded sidebar leaves out.
    explicit PageSidebar(std::string indexHref);

    // Entries in document order. level 1..3; href made safe for an attribute; text the
    // heading as HeadingText gives it, in the document's own bytes.
    void Add(int level, int page, std::string href, std::string_view text);
    // Markup shown above the tree on every page (the search box).
    void SetSearchForm(std::string markup) { m_searchForm = std::move(markup); }
    std::size_t Size() const { return m_entries.size(); }

    // The <nav> for page, ending with CR LF; empty when there are no entries.
    std::string For(int page) const;

    // The style sheet the pages link (DOCquirefold.css): the sidebar beside the text on wide
    // screens, a block above it on narrow ones; a document's own style sheet, linked after it,
    // can restyle either.
    static std::string_view StyleSheet();

private:
    struct Entry
    {
        int Level;
        int Page;
        int Parent; // -1: top level
        std::string Href;
        std::string Text;
        std::vector<int> Children;
    };

    // Which entries a page shows: all, or Window entries on each side of the page's branch
    // at every level.
    struct View
    {
        int Current;             // the page's own entry; -1: it has none
        std::vector<int> Branch; // the page's entry and its ancestors
        bool Whole;
        std::size_t Window;
    };

    int EntryOfPage(int page) const;
    void AppendList(const std::vector<int>& items, const View& view, std::string& out) const;
    void AppendItem(int item, const View& view, std::string& out) const;
    void AppendMore(std::string& out) const;
    std::string Build(const View& view) const;

    std::string m_indexHref;
    std::string m_searchForm;
    std::vector<Entry> m_entries;
    std::vector<int> m_top;
};
