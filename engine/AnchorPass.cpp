#include "engine/AnchorPass.h"

#include "engine/LinkMarkup.h"
#include "engine/SplitRun.h"

#include <algorithm>

AnchorPass::AnchorPass(HTMLFile& source, int breakOn, char* tag, char* heading, TagPump& pump)
    : m_source(source), m_breakOn(breakOn), m_tag(tag), m_heading(heading), m_pump(pump)
{
}

bool AnchorPass::EndsSection(TTagKind kind)
{
    return kind == tkBodyEnd || IsSplitHeading(kind, m_breakOn);
}

const std::string* AnchorPass::PassTag(std::string_view tag)
{
    if (m_anchors)
        m_anchors->AddTag(tag, m_page);
    return nullptr;
}

bool AnchorPass::Run(AnchorMap* anchors, const HeadingSeen& seen)
{
    m_anchors = anchors;
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
        const std::string_view tag(m_tag, length);
        const std::size_t n = m_source.ReadHeading(m_heading, kHeadingRoom, lastKind);
        const std::string_view content(m_heading, n);
        if (anchors) {
            anchors->AddTag(tag, m_page);
            anchors->AddMarkup(content, m_page);
        }
        if (seen)
            seen(m_page, lastKind, tag, content);
        if (!m_pump.Busy())
            return false;
    }
}
