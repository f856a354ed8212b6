#pragma once

#include "engine/SplitBatch.h"
#include "engine/SplitSettings.h"

#include <QElapsedTimer>
#include <QStringList>
#include <string>

class QPushButton;
class QWidget;
class TOptionsDlg;
class TStatusMemo;
class TPTCustomShellList;

// The main window as the split batch sees it: status lines go to the status pane, the file
// list supplies the documents and the folder, the options dialog the settings in force.
//
// Status lines are collected and handed to the pane in one piece whenever the window gets a
// chance to paint (the message pump, the end of a split, a message box).
class TMainHost : public SplitBatchHost
{
public:
    // Milliseconds that must pass between two runs of the message pump.
    static constexpr qint64 kPumpInterval = 15;
    // Tags of a body from one call of the pump to the next (some 30 KB of a document, well
    // under a millisecond): the scan runs at full speed between them, where stopping at every
    // tag to read the clock made it three times slower.
    static constexpr unsigned kTagsPerPump = 1024;

    TMainHost(QWidget* window, TStatusMemo* statusPane, QPushButton* splitButton,
              TPTCustomShellList* fileList);

    // The dialog whose controls hold the settings in force; none: the stored settings.
    void SetOptionsDialog(const TOptionsDlg* optionsDlg) { m_optionsDlg = optionsDlg; }
    // Writes the collected status lines into the pane and moves its caret to the end.
    void FlushStatus();

    void AddStatusLine(const std::string& line) override;
    void ScrollStatus() override;
    bool Busy() const override { return m_busy; }
    void ProcessMessages() override;
    unsigned TagsPerPump() const override { return kTagsPerPump; }
    std::string CurrentFolder() const override;
    void RememberFolder(const std::string& folder) override;
    void OpenResult(const std::string& path) override;
    const SplitSettings& Settings() const override;

    void ClearStatus() override;
    void SetSplitCaption(const std::string& caption) override;
    void SetBusy(bool busy) override;
    int ItemCount() const override;
    bool ItemSelected(int index) const override;
    std::string ItemSizeText(int index) const override;
    std::string ItemPath(int index) const override;
    void ShowMessage(const std::string& text, const std::string& caption) override;
    void DocumentStarting(const std::string& path) override;

private:
    void Pump();

    QWidget* m_window;
    TStatusMemo* m_statusPane;
    QPushButton* m_splitButton;
    TPTCustomShellList* m_fileList;
    const TOptionsDlg* m_optionsDlg = nullptr;

    bool m_busy = false;
    QStringList m_pendingLines;
    bool m_scrollWanted = false;
    QElapsedTimer m_sinceLastPump;
    // The next pump runs whatever the clock says: before the first pump, and once a document
    // has opened its result or logged its failure (that pump comes from the batch between two
    // documents, so a Stop given after the last tag of one document is seen before the next
    // one starts).
    bool m_pumpNow = true;

    // The settings only change while handlers run (in the pump or a modal box), so they are
    // read from the dialog again only after that.
    mutable SplitSettings m_settings;
    mutable bool m_settingsStale = true;
};
