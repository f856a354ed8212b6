#include "app/desktop/MainForm.h"

#include "app/desktop/AboutBox.h"
#include "app/desktop/DesktopResources.h"
#include "app/desktop/FolderUpIcon.h"
#include "app/desktop/HelpViewer.h"
#include "app/desktop/MainHost.h"
#include "app/desktop/ScreenFit.h"
#include "engine/PathNames.h"
#include "engine/SplitBatch.h"
#include "settings/SettingsStore.h"
#include "settings/options/OptionsDlg.h"
#include "shell/widgets/FileJobRunner.h"
#include "support/FlagScope.h"
#include "ui/DesktopLook.h"
#include "ui/ErrorBox.h"
#include "ui/MessageBox.h"
#include "ui_MainForm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPixmap>
#include <QSplitterHandle>
#include <QTimer>

namespace {

// The folder part of a document path, without its final separator unless it is the root.
std::string FolderOf(const std::string& path)
{
    std::string folder(FolderPart(path));
    if (folder.size() > 1)
        folder.pop_back();
    return folder;
}

} // namespace

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent), ui(std::make_unique<Ui::TMainForm>())
{
    UseDesktopResources();
    // One face and size for every form, whatever the desktop uses.
    setFont(FormFont());
    ui->setupUi(this);
    // The window's first place on the screen; the window manager may choose another.
    move(188, 99);

    // The splitter's hint belongs to its bar, not to the panels it separates.
    QSplitterHandle* bar = ui->Splitter1->handle(1);
    bar->setToolTip(ui->Splitter1->toolTip());
    bar->setStatusTip(ui->Splitter1->statusTip());
    bar->setAccessibleName(ui->Splitter1->accessibleName());
    ui->Splitter1->setToolTip({});
    ui->Splitter1->setStatusTip({});
    // The browse panel keeps its height; the status pane takes what the window gains.
    ui->Splitter1->setStretchFactor(0, 0);
    ui->Splitter1->setStretchFactor(1, 1);
    ui->Splitter1->setSizes({185, 375 - 185});

    // F1 opens the help at its contents, wherever the focus is in the window.
    auto* helpAction = new QAction(this);
    helpAction->setShortcut(QKeySequence::HelpContents);
    connect(helpAction, &QAction::triggered, this, &TMainForm::HelpBtnClick);
    addAction(helpAction);

    ui->UpBtn->setIcon(FolderUpIcon());
    ui->Image1->setPixmap(QPixmap(QStringLiteral(":/images/html.png")));

    TPTShellList* list = ui->PTShellList1;
    list->SetFileFilter(QStringLiteral("*.htm;*.html"));
    list->SetMultiSelect(true);
    list->SetViewStyle(vsList);
    ui->PTShellCombo1->SetShellList(list);

    m_host = std::make_unique<TMainHost>(this, ui->Memo1, ui->SplitBtn, list);
    m_batch = std::make_unique<SplitBatch>(*m_host);

    // No exception leaves a handler: what escapes one is shown in the error box.
    auto guarded = [this](void (TMainForm::*handler)()) {
        return [this, handler] { RunGuarded([&] { (this->*handler)(); }); };
    };
    connect(ui->SplitBtn, &QPushButton::clicked, this, guarded(&TMainForm::SplitBtnClick));
    connect(ui->OptionsBtn, &QPushButton::clicked, this, guarded(&TMainForm::OptionsBtnClick));
    connect(ui->HelpBtn, &QPushButton::clicked, this, guarded(&TMainForm::HelpBtnClick));
    connect(ui->AboutBtn, &QPushButton::clicked, this, guarded(&TMainForm::AboutBtnClick));
    connect(ui->ExitBtn, &QPushButton::clicked, this, guarded(&TMainForm::ExitBtnClick));
    connect(ui->UpBtn, &QToolButton::clicked, this, guarded(&TMainForm::UpBtnClick));
    connect(
        list, &TPTCustomShellList::OnDblClickOpen, this,
        [this](TPTCustomShellList* sender, bool& handled) {
            RunGuarded([&] { PTShellList1DblClickOpen(sender, handled); });
        },
        Qt::DirectConnection); // it answers through handled
    connect(list, &TPTCustomShellList::OnSelectItem, this,
            [this](TPTCustomShellList* sender, int item, bool selected) {
                RunGuarded([&] { PTShellList1SelectItem(sender, item, selected); });
            });
    // The browsing controls' own failures go to the same error box as every other one.
    connect(list, &TPTCustomShellList::OnError, this,
            [](TPTCustomShellList*, const QString& message) { ShowErrorBox(message); });
    connect(ui->PTShellCombo1, &TPTCustomShellCombo::OnError, this,
            [](TPTCustomShellCombo*, const QString& message) { ShowErrorBox(message); });
}

TMainForm::~TMainForm() = default;

void TMainForm::SetDialogs(TAboutBox* aboutBox, TOptionsDlg* optionsDlg)
{
    m_aboutBox = aboutBox;
    m_optionsDlg = optionsDlg;
    m_host->SetOptionsDialog(optionsDlg);
}

bool TMainForm::Busy() const
{
    return m_host->Busy();
}

void TMainForm::showEvent(QShowEvent* event)
{
    // The design position, unless the window would then reach past the screen's edge.
    if (!m_shown)
        PlaceOnScreen(*this);
    QMainWindow::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    // The window appears first; a start-up split then runs with the window on screen.
    QTimer::singleShot(0, this, [this] { RunGuarded([this] { FormShow(); }); });
}

void TMainForm::FormShow()
{
    if (!m_startFile.empty()) {
        ui->PTShellList1->Folder().SetPathName(FolderOf(m_startFile));
        m_batch->RunSingle(m_startFile);
        SplitEnded();
        return;
    }
    // A folder that no longer exists leaves the list on the desktop, without a message.
    const std::string folder = SettingsStore().ReadString("MRUFolder");
    if (!folder.empty())
        ui->PTShellList1->Folder().SetPathName(folder);
}

void TMainForm::SplitBtnClick()
{
    if (m_batch->Running()) {
        m_batch->Run(); // the Stop
        return;
    }
    {
        FlagScope running(m_batchRunning);
        m_batch->Run();
    }
    UpdateSplitButton();
    SplitEnded();
}

void TMainForm::OptionsBtnClick()
{
    if (m_optionsDlg)
        m_optionsDlg->exec();
}

void TMainForm::HelpBtnClick()
{
    ShowHelp();
}

void TMainForm::AboutBtnClick()
{
    if (m_aboutBox)
        m_aboutBox->exec();
}

void TMainForm::ExitBtnClick()
{
    close();
}

void TMainForm::UpBtnClick()
{
    ui->PTShellList1->GoUp(1);
}

void TMainForm::PTShellList1DblClickOpen(TPTCustomShellList*, bool& handled)
{
    // The whole selection is split (or the running split stopped); nothing is opened.
    handled = true;
    SplitBtnClick();
}

void TMainForm::PTShellList1SelectItem(TPTCustomShellList*, int, bool)
{
    UpdateSplitButton();
}

void TMainForm::UpdateSplitButton()
{
    // Any selected item counts, folders included; the batch skips what is no file. While a
    // batch runs the button is its Stop button and stays usable whatever is selected.
    ui->SplitBtn->setEnabled(m_batchRunning || ui->PTShellList1->ShellSelCount() >= 1);
}

void TMainForm::SplitEnded()
{
    if (m_closePending && !m_batch->Running()) {
        m_closePending = false;
        close();
    }
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (TFileJobRunner::RunningCount() > 0) {
        const auto answer = TMessageBox::Question(
            this, QApplication::applicationName(),
            QStringLiteral("Files are still being copied or moved. Cancel that and close the "
                           "window?"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes) {
            event->ignore();
            return;
        }
        // A cancelled job stops at its next block and removes its part-files; the list waits
        // for it when the window goes.
        TFileJobRunner::CancelAll();
    }
    if (m_batch->Running()) {
        // Closing acts as Stop; the window goes once the split has closed its files.
        m_batch->Stop();
        m_closePending = true;
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
    emit Closed();
}

void TMainForm::keyPressEvent(QKeyEvent* event)
{
    // "Split!" is the window's default button: Enter that no control took presses it.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (ui->SplitBtn->isEnabled())
            ui->SplitBtn->click();
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}
