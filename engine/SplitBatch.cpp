#include "engine/SplitBatch.h"

#include "support/FlagScope.h"

namespace {

constexpr const char* kSplitCaption = "Split!";
constexpr const char* kStopCaption = "Stop!";

} // namespace

bool SplitBatch::IsFileItem(int index) const
{
    return m_host.ItemSelected(index) && !m_host.ItemSizeText(index).empty();
}

bool SplitBatch::FileItemFrom(int index) const
{
    for (int i = index; i < m_host.ItemCount(); ++i) {
        if (IsFileItem(i))
            return true;
    }
    return false;
}

void SplitBatch::Stop()
{
    if (!m_host.Busy())
        return;
    m_host.SetSplitCaption(kSplitCaption);
    m_host.SetBusy(false);
    m_host.AddStatusLine("User pressed Stop button. Cancelling operation...");
}

SplitBatchResult SplitBatch::Run()
{
    // A click while a split runs arrives through that split's message pump. Once stopped,
    // the split may still be finishing its files; no second batch may start inside it.
    if (m_running || m_host.Busy()) {
        Stop();
        return {};
    }
    FlagScope running(m_running);
    m_host.ClearStatus();
    m_host.SetSplitCaption(kStopCaption);
    m_host.SetBusy(true);

    // All the batch's state lives in this call, so the nested Stop cannot disturb it.
    SplitBatchResult result;
    bool pumpFirst = false;
    int index = 0;
    while (index < m_host.ItemCount()) {
        if (!IsFileItem(index)) {
            ++index;
            continue;
        }
        if (pumpFirst) {
            // A Stop given after the previous document's last tag may still wait in the
            // queue: let it in before another document is begun. The pump may change the
            // list, so this index is looked at again afterwards.
            pumpFirst = false;
            m_host.ProcessMessages();
            if (!m_host.Busy()) {
                result.Stopped = true;
                break;
            }
            continue;
        }
        const std::string path = m_host.ItemPath(index);
        m_host.DocumentStarting(path);
        const SplitOutcome outcome = SplitFile(path, m_host);
        ++result.Split;
        ++index;
        if (outcome == SplitOutcome::Failed)
            ++result.Failed;
        if (outcome == SplitOutcome::Stopped) {
            result.Stopped = true;
            break;
        }
        if (!m_host.Busy()) {
            // Stopped after this document was complete: the batch ends all the same, and
            // counts as stopped when that kept another document from being split.
            result.Stopped = FileItemFrom(index);
            break;
        }
        pumpFirst = true;
    }

    m_host.SetSplitCaption(kSplitCaption);
    m_host.SetBusy(false);
    if (result.Split == 0)
        m_host.ShowMessage("Select an HTML file first", "Error");
    return result;
}

SplitOutcome SplitBatch::RunSingle(const std::string& path)
{
    if (m_running || m_host.Busy())
        return SplitOutcome::Stopped;
    FlagScope running(m_running);
    m_host.SetBusy(true);
    m_host.DocumentStarting(path);
    const SplitOutcome outcome = SplitFile(path, m_host);
    m_host.SetBusy(false);
    return outcome;
}
