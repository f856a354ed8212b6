#pragma once

#include "engine/SplitHost.h"
#include "engine/SplitSettings.h"

#include <functional>
#include <iosfwd>
#include <string>

// The split run's host in a terminal: status lines go to a stream, Ctrl+C is Stop, the
// folder remembered is the document's own.
class ConsoleHost : public SplitHost
{
public:
    using Opener = std::function<void(const std::string&)>;

    ConsoleHost(const SplitSettings& settings, std::ostream& out, bool quiet, Opener opener);

    // Prepares for the next document.
    void BeginDocument(const std::string& path);
    // Whether any document failed so far.
    bool Failed() const { return m_failed; }
    // Whether the user stopped the run.
    bool Stopped() const { return !m_busy; }

    void AddStatusLine(const std::string& line) override;
    void ScrollStatus() override;
    bool Busy() const override { return m_busy; }
    void ProcessMessages() override;
    std::string CurrentFolder() const override { return m_folder; }
    void RememberFolder(const std::string& folder) override;
    void OpenResult(const std::string& path) override;
    const SplitSettings& Settings() const override { return m_settings; }

private:
    const SplitSettings& m_settings;
    std::ostream& m_out;
    bool m_quiet;
    Opener m_opener;
    std::string m_folder;
    bool m_busy = true;
    bool m_failed = false;
};
