#include "app/ConsoleHost.h"

#include "app/StopSignal.h"
#include "engine/PathNames.h"
#include "settings/SettingsStore.h"

#include <ostream>

namespace {
constexpr std::string_view kFailurePrefix = "   Exception encountered: ";
}

ConsoleHost::ConsoleHost(const SplitSettings& settings, std::ostream& out, bool quiet,
                         Opener opener)
    : m_settings(settings), m_out(out), m_quiet(quiet), m_opener(std::move(opener))
{
}

void ConsoleHost::BeginDocument(const std::string& path)
{
    std::string folder(FolderPart(path));
    // A folder is remembered without its trailing separator, except the root itself.
    if (folder.size() > 1)
        folder.pop_back();
    m_folder = folder;
}

void ConsoleHost::AddStatusLine(const std::string& line)
{
    const bool failure = line.starts_with(kFailurePrefix);
    if (failure)
        m_failed = true;
    if (!m_quiet || failure)
        m_out << line << '\n';
}

void ConsoleHost::ScrollStatus()
{
    m_out.flush();
}

void ConsoleHost::ProcessMessages()
{
    if (StopRequested())
        m_busy = false;
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
