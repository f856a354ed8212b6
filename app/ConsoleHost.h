#pragma once

#include "engine/PrintableText.h"
#include "engine/SplitBatch.h"
#include "engine/SplitSettings.h"

#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

// The split batch's host in a terminal: the files named on the command line are the list,
// all of them selected; status lines go to a stream; Ctrl+C is Stop; the folder remembered
// is the document's own. There is no button and no pane to clear.
class ConsoleHost : public SplitBatchHost
{
public:
    using Opener = std::function<void(const std::string&)>;

    ConsoleHost(const SplitSettings& settings, std::vector<std::string> files, std::ostream& out,
                std::ostream& err, bool quiet, Opener opener);

    // What Ctrl+C does once it is noticed: the batch's Stop, as a click on the button would.
    void SetStopAction(std::function<void()> stop) { m_stop = std::move(stop); }

    void AddStatusLine(const std::string& line) override;
    void ScrollStatus() override;
    bool Busy() const override { return m_busy; }
    void ProcessMessages() override;
    // The pump only looks at the Ctrl+C flag: a few thousand tags (some 100 KB of a document)
    // may pass between two looks.
    unsigned TagsPerPump() const override { return 4096; }
    std::string CurrentFolder() const override { return m_folder; }
    void RememberFolder(const std::string& folder) override;
    void OpenResult(const std::string& path) override;
    const SplitSettings& Settings() const override { return m_settings; }

    void ClearStatus() override {}
    void SetSplitCaption(const std::string&) override {}
    void SetBusy(bool busy) override { m_busy = busy; }
    int ItemCount() const override { return static_cast<int>(m_files.size()); }
    bool ItemSelected(int) const override { return true; }
    std::string ItemSizeText(int index) const override;
    std::string ItemPath(int index) const override { return m_files.at(index); }
    void ShowMessage(const std::string& text, const std::string& caption) override;
    void DocumentStarting(const std::string& path) override;

private:
    const SplitSettings& m_settings;
    std::vector<std::string> m_files;
    std::ostream& m_out;
    std::ostream& m_err;
    bool m_quiet;
    Opener m_opener;
    std::function<void()> m_stop;
    std::string m_folder;
    bool m_busy = false;
};
