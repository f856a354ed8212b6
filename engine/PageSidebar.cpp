#include "engine/PageSidebar.h"

#include <algorithm>

namespace {

constexpr std::string_view kNavOpen =
    "<nav class=\"quirefold_sidebar\" aria-label=\"Contents\">\r\n";
constexpr std::string_view kBoxOpen = "<details class=\"quirefold_sidebar_box\" open>"
                                      "<summary>Contents</summary>\r\n<ul>\r\n";
constexpr std::string_view kClose = "</ul>\r\n</details>\r\n</nav>\r\n";
// Window sizes a bounded sidebar tries, widest first, until it fits kMaxBytes.
constexpr std::size_t kWindows[] = {20, 8, 3, 1, 0};

// A long heading is cut at a space, so no character (in any encoding where a space is a
// byte of its own) and no character reference is split.
std::string ShortText(std::string_view text)
{
    if (text.size() <= PageSidebar::kTextRoom)
        return std::string(text);
    std::size_t cut = text.rfind(' ', PageSidebar::kTextRoom);
    if (cut == std::string_view::npos || cut == 0)
        cut = text.find(' ', PageSidebar::kTextRoom);
    if (cut == std::string_view::npos)
        return std::string(text);
    std::string out(text.substr(0, cut));
    out += " &hellip;";
    return out;
}

} // namespace

std::string_view PageSidebar::StyleSheet()
{
    // Class selectors only, so a document's rules for nav, ul or a still apply where ours say
    // nothing; the page's margin changes only on a page that has the sidebar (:has), and only
    // where the browser knows :has, else the sidebar stays a block above the text.
    return R"css(/* The contents beside the pages of a split document. */
.quirefold_sidebar {
  box-sizing: border-box;
  font-size: 0.9rem;
  line-height: 1.35;
  margin: 0 0 1em;
  padding: 0.5em 0.75em;
  border: 1px solid #c8ccd2;
  border-radius: 4px;
  max-height: 60vh;
  overflow: auto;
}
.quirefold_sidebar ul {
  list-style: none;
  margin: 0;
  padding: 0 0 0 1.1em;
}
.quirefold_sidebar li {
  margin: 0.2em 0;
}
.quirefold_sidebar summary {
  cursor: pointer;
}
/* A branch's toggle hangs left of its text, so a wrapped heading lines up under itself
   and with the entries that have no toggle. */
.quirefold_sidebar ul summary {
  list-style-position: outside;
}
.quirefold_sidebar_box > summary {
  font-weight: bold;
}
.quirefold_sidebar a {
  overflow-wrap: anywhere;
}
.quirefold_sidebar a[aria-current="page"] {
  font-weight: bold;
}
.quirefold_sidebar_more a {
  font-style: italic;
}
@supports selector(body:has(> nav)) {
  @media screen and (min-width: 50em) {
    body:has(> .quirefold_sidebar) {
      margin-left: 20rem;
    }
    .quirefold_sidebar {
      position: fixed;
      top: 0;
      bottom: 0;
      left: 0;
      width: 18rem;
      max-height: none;
      overscroll-behavior: contain;
      margin: 0;
      border-width: 0 1px 0 0;
      border-radius: 0;
      background: Canvas;
      color: CanvasText;
    }
  }
}
/* Wide preformatted text scrolls in its own box instead of widening the page on a phone. */
:where(body:has(> .quirefold_sidebar)) pre {
  overflow-x: auto;
}
/* The search box, in the sidebar or on the search page, and its results. */
.quirefold_search {
  margin: 0 0 0.75em;
}
.quirefold_search input {
  box-sizing: border-box;
  width: 100%;
  font: inherit;
  /* Phone browsers zoom the page into a text field set smaller than 16px. */
  font-size: max(1em, 16px);
  padding: 0.25em 0.4em;
}
.quirefold_search_status:empty {
  display: none;
}
.quirefold_search_status {
  font-size: 0.85em;
  margin: 0.3em 0;
}
/* Two classes, to outweigh the sidebar's indent for its own lists. */
.quirefold_search .quirefold_results {
  list-style: none;
  margin: 0;
  padding: 0;
}
.quirefold_search .quirefold_results li {
  margin: 0.4em 0;
}
/* Room inside the focus ring that arrow keys move along, the text still in line with the box. */
.quirefold_results a {
  display: block;
  text-decoration: none;
  padding: 0.15em 0.3em;
  margin: 0 -0.3em;
  border-radius: 3px;
}
.quirefold_result_heading {
  font-weight: bold;
  text-decoration: underline;
}
.quirefold_result_page {
  font-size: 0.8em;
  opacity: 0.75;
}
.quirefold_result_excerpt {
  display: block;
  font-size: 0.85em;
  color: CanvasText;
}
.quirefold_search_page {
  max-width: 40em;
  margin: 1em auto;
  padding: 0 1em;
}
@media print {
  .quirefold_sidebar,
  .quirefold_search {
    display: none;
  }
}
)css";
}

PageSidebar::PageSidebar(std::string indexHref) : m_indexHref(std::move(indexHref)) {}

void PageSidebar::Add(int level, int page, std::string href, std::string_view text)
{
    // The parent is the nearest entry before this one with a higher level (a lower number).
    int parent = m_entries.empty() ? -1 : static_cast<int>(m_entries.size()) - 1;
    while (parent >= 0 && m_entries[static_cast<std::size_t>(parent)].Level >= level)
        parent = m_entries[static_cast<std::size_t>(parent)].Parent;
    const int self = static_cast<int>(m_entries.size());
    m_entries.push_back({level, page, parent, std::move(href), ShortText(text), {}});
    if (parent < 0)
        m_top.push_back(self);
    else
        m_entries[static_cast<std::size_t>(parent)].Children.push_back(self);
}

int PageSidebar::EntryOfPage(int page) const
{
    // Pages only grow along the entries.
    const auto it = std::lower_bound(m_entries.begin(), m_entries.end(), page,
                                     [](const Entry& e, int p) { return e.Page < p; });
    return it != m_entries.end() && it->Page == page ? static_cast<int>(it - m_entries.begin())
                                                     : -1;
}

std::string PageSidebar::For(int page) const
{
    if (m_entries.empty())
        return {};
    View view{EntryOfPage(page), {}, true, 0};
    for (int e = view.Current; e >= 0; e = m_entries[static_cast<std::size_t>(e)].Parent)
        view.Branch.push_back(e);
    if (m_entries.size() <= kWholeTreeEntries) {
        std::string whole = Build(view);
        if (whole.size() <= kMaxBytes)
            return whole;
    }
    view.Whole = false;
    std::string bounded;
    for (const std::size_t window : kWindows) {
        view.Window = window;
        bounded = Build(view);
        if (bounded.size() <= kMaxBytes)
            break;
    }
    return bounded;
}

std::string PageSidebar::Build(const View& view) const
{
    std::string out(kNavOpen);
    out += m_searchForm;
    out += kBoxOpen;
    AppendList(m_top, view, out);
    out += kClose;
    return out;
}

void PageSidebar::AppendList(const std::vector<int>& items, const View& view,
                             std::string& out) const
{
    std::size_t first = 0;
    std::size_t end = items.size();
    if (!view.Whole) {
        // Around the branch's entry in this list; from the start in a list off the branch
        // (the page's own children).
        const auto onBranch =
            std::find_first_of(items.begin(), items.end(), view.Branch.begin(), view.Branch.end());
        const std::size_t at =
            onBranch == items.end() ? 0 : static_cast<std::size_t>(onBranch - items.begin());
        const bool inList = onBranch != items.end();
        first = inList && at > view.Window ? at - view.Window : 0;
        end = std::min(items.size(), (inList ? at + 1 : 0) + view.Window);
        if (first > 0)
            AppendMore(out);
    }
    for (std::size_t i = first; i < end; ++i)
        AppendItem(items[i], view, out);
    if (end < items.size())
        AppendMore(out);
}

void PageSidebar::AppendItem(int item, const View& view, std::string& out) const
{
    const Entry& entry = m_entries[static_cast<std::size_t>(item)];
    const bool onBranch =
        std::find(view.Branch.begin(), view.Branch.end(), item) != view.Branch.end();
    const bool expand = !entry.Children.empty() && (view.Whole || onBranch);
    out += expand ? (onBranch ? "<li><details open><summary>" : "<li><details><summary>") : "<li>";
    out += "<a href=\"";
    out += entry.Href;
    out += item == view.Current ? "\" aria-current=\"page\">" : "\">";
    out += entry.Text;
    out += "</a>";
    if (expand) {
        out += "</summary>\r\n<ul>\r\n";
        AppendList(entry.Children, view, out);
        out += "</ul>\r\n</details></li>\r\n";
    } else {
        out += "</li>\r\n";
    }
}

void PageSidebar::AppendMore(std::string& out) const
{
    out += "<li class=\"quirefold_sidebar_more\"><a href=\"";
    out += m_indexHref;
    out += "\">More in the index</a></li>\r\n";
}
