#pragma once

#include <memory>

class TAboutBox;
class TMainForm;
class TOptionsDlg;

// The program's three windows, made in the order main window, about box, options dialog (which
// loads the stored settings) and kept until the program ends. The dialogs are windows of the
// main window and are only shown and hidden, never made again.
class TDesktopForms
{
public:
    TDesktopForms();
    ~TDesktopForms();
    TDesktopForms(const TDesktopForms&) = delete;
    TDesktopForms& operator=(const TDesktopForms&) = delete;

    TMainForm* MainForm() const { return m_mainForm.get(); }
    TAboutBox* AboutBox() const { return m_aboutBox; }
    TOptionsDlg* OptionsDlg() const { return m_optionsDlg; }

private:
    std::unique_ptr<TMainForm> m_mainForm;
    TAboutBox* m_aboutBox = nullptr;     // owned by the main window
    TOptionsDlg* m_optionsDlg = nullptr; // owned by the main window
};
