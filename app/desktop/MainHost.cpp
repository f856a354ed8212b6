#include "app/desktop/MainHost.h"

#include "controls/ShellOpen.h"
#include "controls/StatusMemo.h"
#include "engine/PrintableText.h"
#include "settings/SettingsIO.h"
#include "settings/SettingsStore.h"
#include "settings/options/OptionsDlg.h"
#include "shell/widgets/PTShellList.h"
#include "ui/MessageBox.h"

#include <QCoreApplication>
#include <QFile>
#include <QPushButton>

namespace {

constexpr std::string_view kFailurePrefix = "   Exception encountered: ";

// Texts of the engine are bytes in the system's 8-bit encoding.
QString FromBytes(const std::string& text)
{
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToBytes(const QString& text)
{
    return text.toLocal8Bit().toStdString();
}

// What to hand to the desktop for a file: its path, or, when the name is no valid text, a
// file URL that keeps every byte of it.
QString OpenTarget(const std::string& path)
{
    const QByteArray bytes = QByteArray::fromStdString(path);
    const QString text = QFile::decodeName(bytes);
#ifndef _WIN32
    if (QFile::encodeName(text) != bytes)
        return QString::fromLatin1("file://" + bytes.toPercentEncoding("/"));
#endif
    return text;
}

} // namespace

TMainHost::TMainHost(QWidget* window, TStatusMemo* statusPane, QPushButton* splitButton,
                     TPTCustomShellList* fileList)
    : m_window(window), m_statusPane(statusPane), m_splitButton(splitButton), m_fileList(fileList)
{
}

void TMainHost::FlushStatus()
{
    if (!m_pendingLines.isEmpty()) {
        m_statusPane->AppendLines(m_pendingLines);
        m_pendingLines.clear();
        m_scrollWanted = true;
    }
    if (m_scrollWanted) {
        m_scrollWanted = false;
        m_statusPane->MoveCaretToEnd();
        m_statusPane->EnsureCaretVisible();
    }
}

void TMainHost::AddStatusLine(const std::string& line)
{
    if (line.starts_with(kFailurePrefix))
        m_pumpNow = true;
    // One pane line per status line, also for a file name holding a line break.
    if (IsPrintableLine(line))
        m_pendingLines.append(FromBytes(line));
    else
        m_pendingLines.append(FromBytes(PrintableLine(line)));
}

void TMainHost::ScrollStatus()
{
    m_scrollWanted = true;
}

void TMainHost::ProcessMessages()
{
    if (!m_pumpNow && m_sinceLastPump.elapsed() < kPumpInterval)
        return;
    m_pumpNow = false;
    Pump();
}

void TMainHost::Pump()
{
    // Every line logged so far is in the pane before anything else runs or paints.
    FlushStatus();
    QCoreApplication::processEvents();
    m_sinceLastPump.start();
    m_settingsStale = true;
}

std::string TMainHost::CurrentFolder() const
{
    return m_fileList->Folder().GetPathName();
}

void TMainHost::RememberFolder(const std::string& folder)
{
    SettingsStore store;
    store.WriteString("MRUFolder", folder);
}

void TMainHost::OpenResult(const std::string& path)
{
    m_pumpNow = true;
    ShellOpen(OpenTarget(path));
}

const SplitSettings& TMainHost::Settings() const
{
    if (m_settingsStale) {
        m_settings = m_optionsDlg ? m_optionsDlg->CurrentSettings() : InitialSettings();
        m_settingsStale = false;
    }
    return m_settings;
}

void TMainHost::ClearStatus()
{
    m_pendingLines.clear();
    m_scrollWanted = false;
    m_statusPane->clear();
}

void TMainHost::SetSplitCaption(const std::string& caption)
{
    m_splitButton->setText(FromBytes(caption));
}

void TMainHost::SetBusy(bool busy)
{
    m_busy = busy;
    m_settingsStale = true;
    if (!busy)
        FlushStatus();
}

int TMainHost::ItemCount() const
{
    return m_fileList->ItemCount();
}

bool TMainHost::ItemSelected(int index) const
{
    return m_fileList->IsItemSelected(index);
}

std::string TMainHost::ItemSizeText(int index) const
{
    TPTShListData* data = m_fileList->GetShListData(index);
    return data ? ToBytes(data->GetSize()) : std::string();
}

std::string TMainHost::ItemPath(int index) const
{
    TPTShListData* data = m_fileList->GetShListData(index);
    // The path's own bytes: a name that is no valid text must still open.
    return data ? data->GetPathNameBytes() : std::string();
}

void TMainHost::ShowMessage(const std::string& text, const std::string& caption)
{
    FlushStatus();
    TMessageBoxData box;
    box.Title = FromBytes(caption);
    box.Text = FromBytes(text);
    box.Parent = m_window;
    TMessageBox::Show(box);
    m_settingsStale = true;
}

void TMainHost::DocumentStarting(const std::string& path)
{
    (void)path;
    m_pumpNow = !m_sinceLastPump.isValid();
    m_settingsStale = true;
}
