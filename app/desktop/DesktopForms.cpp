#include "app/desktop/DesktopForms.h"

#include "app/desktop/AboutBox.h"
#include "app/desktop/HelpViewer.h"
#include "app/desktop/MainForm.h"
#include "settings/options/OptionsDlg.h"
#include "ui/ErrorBox.h"

TDesktopForms::TDesktopForms()
{
    m_mainForm = std::make_unique<TMainForm>();
    m_aboutBox = new TAboutBox(m_mainForm.get());
    m_optionsDlg = new TOptionsDlg(m_mainForm.get());
    m_mainForm->SetDialogs(m_aboutBox, m_optionsDlg);
    QObject::connect(m_optionsDlg, &TOptionsDlg::HelpRequested, m_optionsDlg,
                     [](const QString& topic) { RunGuarded([&] { ShowHelp(topic); }); });
}

TDesktopForms::~TDesktopForms() = default;
