#include "app/ConsoleHost.h"

#include "app/StopSignal.h"
#include "engine/PathNames.h"
#include "settings/SettingsStore.h"

#include <ostream>

namespace {
constexpr std::string_view kFailurePrefix = "   Exception encountered: ";
}

ConsoleHost::ConsoleHost(const SplitSettings& settings, std::vector<std::string> files,
                         std::ostream& out, std::ostream& err, bool quiet, Opener opener)
    : m_settings(settings), m_files(std::move(files)), m_out(out), m_err(err), m_quiet(quiet),
      m_opener(std::move(opener))
{
}

std::string ConsoleHost::ItemSizeText(int) const
{
    // Every FILE named is meant to be split, so none is passed over as a folder would be in
    // the window: the run reports what it cannot split (missing, a folder, a pipe, a device)
    // with its own failure line.
    return "file";
}

void ConsoleHost::ShowMessage(const std::string& text, const std::string&)
{
    m_err << "quirefold-split: " << PrintableLine(text) << '\n';
}

void ConsoleHost::DocumentStarting(const std::string& path)
{
    std::string folder(FolderPart(path));
    // A folder is remembered without its trailing separator, except the root itself.
    if (folder.size() > 1)
        folder.pop_back();
    m_folder = folder;
}

void ConsoleHost::AddStatusLine(const std::string& line)
{
    if (!m_quiet || line.starts_with(kFailurePrefix))
        m_out << PrintableLine(line) << '\n';
}

void ConsoleHost::ScrollStatus()
{
    m_out.flush();
}

void ConsoleHost::ProcessMessages()
{
    // Ctrl+C is the click on Stop, handled where the window handles its clicks.
    if (StopRequested() && m_busy) {
        if (m_stop)
            m_stop();
        m_busy = false;
    }
}

void ConsoleHost::RememberFolder(const std::string& folder)
{
    SettingsStore store;
    store.WriteString("MRUFolder", folder);
}

void ConsoleHost::OpenResult(const std::string& path)
{
    if (m_opener)
        m_opener(path);
}
