#pragma once

#include "engine/HTMLFile.h"
#include "engine/TagPump.h"

#include <functional>
#include <string>
#include <string_view>

class AnchorMap;

// The first pass of a run that fixes links between pages: reads the body exactly as the split
// pass will, counting split headings the same way, and notes the page each anchor lands on.
// Its memory grows with the anchors only.
class AnchorPass
{
public:
    // tag and heading are the run's buffers (kTagRoom + 1 and kHeadingRoom + 1 bytes). pump is
    // the run's, met at every tag as in the split pass.
    AnchorPass(HTMLFile& source, int breakOn, char* tag, char* heading, TagPump& pump);

    // Called at every split heading with its page, tag and content (up to its end tag).
    using HeadingSeen = std::function<void(int page, TTagKind kind, std::string_view tag,
                                           std::string_view content)>;

    // Reads from just after the body tag to the end of the body (or of the file), noting the
    // anchors in anchors (when given) and handing every split heading to seen (when given).
    // Returns false when busy turned false first. Throws as the split pass would on the same
    // faults.
    bool Run(AnchorMap* anchors, const HeadingSeen& seen = {});
    // The pages the split will write.
    int Pages() const { return m_page; }

    // What the body scan asks at each tag. Anchors are read from attribute values only
    // (AnchorMap::AddTag), so a tag without a '=' may pass unseen.
    static constexpr bool kWatchesValuesOnly = true;
    void BeforeTag() { m_pump.AtTag(); }
    bool EndsSection(TTagKind kind);
    bool StopRequested() { return m_pump.Stopped(); }
    std::size_t QuietTags() const { return m_pump.QuietTags(); }
    void PassedQuietly(std::size_t n) { m_pump.PassedQuietly(n); }
    const std::string* PassTag(std::string_view tag);

private:
    HTMLFile& m_source;
    int m_breakOn;
    char* m_tag;
    char* m_heading;
    TagPump& m_pump;
    AnchorMap* m_anchors = nullptr;
    int m_page = 1;
};
