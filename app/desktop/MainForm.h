#pragma once

#include <QMainWindow>
#include <memory>
#include <string>

namespace Ui {
class TMainForm;
}

class SplitBatch;
class TAboutBox;
class TMainHost;
class TOptionsDlg;
class TPTCustomShellList;

// The main window: the folder combo and file list to pick documents, the status pane the
// splits write into, and the button column. Closing it ends the program; closing it while a
// split runs stops the split first and closes when the split has finished its files.
class TMainForm : public QMainWindow
{
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // The dialogs made after the window: the about box, and the options dialog whose
    // controls hold the settings every split reads.
    void SetDialogs(TAboutBox* aboutBox, TOptionsDlg* optionsDlg);
    // The document split at the first show (empty: none); set before the window is shown.
    void SetStartFile(const std::string& path) { m_startFile = path; }
    const std::string& StartFile() const { return m_startFile; }
    // Whether a split is in progress and has not been asked to stop.
    bool Busy() const;

signals:
    // The window has closed: the program ends.
    void Closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FormShow();
    void SplitBtnClick();
    void OptionsBtnClick();
    void HelpBtnClick();
    void AboutBtnClick();
    void ExitBtnClick();
    void UpBtnClick();
    void PTShellList1DblClickOpen(TPTCustomShellList* sender, bool& handled);
    void PTShellList1SelectItem(TPTCustomShellList* sender, int item, bool selected);
    void UpdateSplitButton();
    // After a split: a close asked for during it happens now.
    void SplitEnded();

    std::unique_ptr<Ui::TMainForm> ui;
    std::unique_ptr<TMainHost> m_host;
    std::unique_ptr<SplitBatch> m_batch;
    TAboutBox* m_aboutBox = nullptr;
    TOptionsDlg* m_optionsDlg = nullptr;
    std::string m_startFile;
    bool m_batchRunning = false;
    bool m_shown = false;
    bool m_closePending = false;
};
