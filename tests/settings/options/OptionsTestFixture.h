#pragma once

// The options dialog over a real key file in the test's own configuration folder, with the
// gestures a user makes on it.

#include "settings/options/OptionsDlg.h"
#include "settings/options/PreviewBrowser.h"
#include "tests/settings/SettingsTestFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStringList>
#include <QTest>
#include <QTextDocument>
#include <memory>
#include <stdexcept>

namespace optionstest {

// The controls in the order Tab visits them, from OK to the preview.
inline const QStringList kTabOrder = {"OKBtn",
                                      "CancelBtn",
                                      "HelpButton",
                                      "EditPrev",
                                      "EditHome",
                                      "EditNext",
                                      "UseImagesCheckbox",
                                      "EditPrevImage",
                                      "EditHomeImage",
                                      "EditNextImage",
                                      "BrowsePrevBtn",
                                      "BrowseHomeBtn",
                                      "BrowseNextBtn",
                                      "AddLinksCheckbox",
                                      "NavigationCheckbox",
                                      "BreadcrumbsCheckbox",
                                      "BreadcrumbTextEdit",
                                      "BreakOnHeading1",
                                      "BreakOnHeading2",
                                      "BreakOnHeading3",
                                      "FixLinksCheckbox",
                                      "PageTitlesCheckbox",
                                      "HeadLinksCheckbox",
                                      "MissingBodyEndCheckbox",
                                      "ManifestCheckbox",
                                      "SidebarCheckbox",
                                      "SearchCheckbox",
                                      "OutputFolderEdit",
                                      "BrowseFolderBtn",
                                      "MoreHelpBtn",
                                      "CppWebBrowser1"};

class OptionsTest : public SettingsFixture
{
protected:
    void TearDown() override
    {
        dlg.reset();
        SettingsFixture::TearDown();
    }

    // Creates the dialog, as start-up does, and shows it unless told not to; the previous
    // one goes.
    TOptionsDlg& Create(bool show = true)
    {
        dlg.reset();
        dlg = std::make_unique<TOptionsDlg>();
        if (show) {
            dlg->show();
            if (!QTest::qWaitForWindowExposed(dlg.get()))
                throw std::runtime_error("dialog not shown");
        }
        return *dlg;
    }

    template <typename T> static T* Child(QWidget& parent, const char* name)
    {
        T* child = parent.findChild<T*>(QString::fromLatin1(name));
        if (!child)
            throw std::runtime_error(std::string("no control named ") + name);
        return child;
    }
    template <typename T> T* Get(const char* name) const { return Child<T>(*dlg, name); }

    QLineEdit* Edit(const char* name) const { return Get<QLineEdit>(name); }
    QCheckBox* Check(const char* name) const { return Get<QCheckBox>(name); }
    QPushButton* Button(const char* name) const { return Get<QPushButton>(name); }
    QRadioButton* Level(int level) const
    {
        const char* names[] = {"BreakOnHeading1", "BreakOnHeading2", "BreakOnHeading3"};
        return Get<QRadioButton>(names[level - 1]);
    }
    QTextBrowser* Browser() const { return Get<QTextBrowser>("CppWebBrowser1"); }
    // What the preview shows, as plain text.
    QString Shown() const { return Browser()->document()->toPlainText(); }

    // A click by the user, only where it changes the state.
    static void SetChecked(QCheckBox* box, bool checked)
    {
        if (box->isChecked() != checked)
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
        if (box->isChecked() != checked)
            throw std::runtime_error("check box did not take the click");
    }
    void ChooseLevel(int level) const
    {
        QRadioButton* button = Level(level);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
        if (!button->isChecked())
            throw std::runtime_error("level did not take the click");
    }
    // Replaces an edit's text by typing, as a user does.
    static void Type(QLineEdit* edit, const QString& text)
    {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }

    std::unique_ptr<TOptionsDlg> dlg;
};

} // namespace optionstest
