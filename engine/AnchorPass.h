#pragma once

#include "engine/HTMLFile.h"

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
    // tag and heading are the run's buffers (kTagRoom + 1 and kHeadingRoom + 1 bytes). pump runs
    // at every tag, as in the split pass; busy is asked after every tag.
    AnchorPass(HTMLFile& source, int breakOn, char* tag, char* heading, std::function<void()> pump,
               std::function<bool()> busy);

    // Reads from just after the body tag to the end of the body (or of the file). Returns false
    // when busy turned false first. Throws as the split pass would on the same faults.
    bool Run(AnchorMap& anchors);
    // The pages the split will write.
    int Pages() const { return m_page; }

    // What the body scan asks at each tag.
    void BeforeTag() { m_pump(); }
    bool EndsSection(TTagKind kind);
    bool StopRequested() { return !m_busy(); }
    const std::string* PassTag(std::string_view tag);

private:
    HTMLFile& m_source;
    int m_breakOn;
    char* m_tag;
    char* m_heading;
    std::function<void()> m_pump;
    std::function<bool()> m_busy;
    AnchorMap* m_anchors = nullptr;
    int m_page = 1;
};
