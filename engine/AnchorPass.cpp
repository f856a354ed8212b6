#include "engine/AnchorPass.h"

#include "engine/LinkMarkup.h"
#include "engine/SplitRun.h"

#include <algorithm>

void AddTagAnchors(AnchorMap& anchors, std::string_view tag, int page,
                   std::vector<std::string>& scratch)
{
    scratch.clear();
    if (TagAnchors(tag, scratch) == 0)
        return;
    // The id comes first when a tag has both.
    const std::string id = TagId(tag);
    bool idSeen = id.empty();
    for (const std::string& anchor : scratch) {
        if (!idSeen && anchor == id) {
            anchors.AddId(anchor, page);
            idSeen = true;
        } else {
            anchors.AddName(anchor, page);
        }
    }
}

void ForEachTag(std::string_view markup, const std::function<void(std::string_view)>& visit)
{
    std::size_t lt = markup.find('<');
    while (lt != std::string_view::npos) {
        const std::size_t gt = markup.find('>', lt);
        if (gt == std::string_view::npos)
            return;
        visit(markup.substr(lt, gt - lt + 1));
        lt = markup.find('<', gt + 1);
    }
}

AnchorPass::AnchorPass(HTMLFile& source, int breakOn, char* tag, char* heading,
                       std::function<void()> pump, std::function<bool()> busy)
    : m_source(source), m_breakOn(breakOn), m_tag(tag), m_heading(heading), m_pump(std::move(pump)),
      m_busy(std::move(busy))
{
}

bool AnchorPass::EndsSection(TTagKind kind)
{
    return kind == tkBodyEnd || IsSplitHeading(kind, m_breakOn);
}

const std::string* AnchorPass::PassTag(std::string_view tag)
{
    AddTagAnchors(*m_anchors, tag, m_page, m_found);
    return nullptr;
}

bool AnchorPass::Run(AnchorMap& anchors)
{
    m_anchors = &anchors;
    DiscardTarget discard;
    TTagKind lastKind = tkOther;
    std::size_t length = 0;
    int splitHeadings = 0;
    for (;;) {
        const ScanEnd end = m_source.ScanBody(discard, m_tag, kTagRoom, length, lastKind, *this);
        if (end == ScanEnd::Stopped)
            return false;
        if (end == ScanEnd::EndOfFile || lastKind == tkBodyEnd)
            return true;
        // Page n starts at the n-th split heading; the first one still belongs to page 1.
        m_page = std::max(1, ++splitHeadings);
        AddTagAnchors(anchors, std::string_view(m_tag, length), m_page, m_found);
        const std::size_t n = m_source.ReadHeading(m_heading, kHeadingRoom, lastKind);
        ForEachTag(std::string_view(m_heading, n),
                   [&](std::string_view tag) { AddTagAnchors(anchors, tag, m_page, m_found); });
        if (!m_busy())
            return false;
    }
}
