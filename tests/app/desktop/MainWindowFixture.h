#pragma once

#include "app/desktop/DesktopForms.h"
#include "app/desktop/MainForm.h"
#include "controls/ShellOpen.h"
#include "controls/StatusMemo.h"
#include "settings/SettingsIO.h"
#include "settings/VersionInfo.h"
#include "shell/namespace/IdList.h"
#include "shell/widgets/PTShellList.h"
#include "tests/common/TestSupport.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

// Readable failure messages for Qt texts.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace desktoptest {

namespace fs = std::filesystem;

// A document of `sections` H1 sections, each with a paragraph and an H2 below it.
inline std::string MakeDocument(int sections, const std::string& title = "Manual")
{
    std::string doc = "<HTML><HEAD><TITLE>" + title +
                      "</TITLE></HEAD>\r\n<BODY BGCOLOR=\"white\">\r\n"
                      "<P>Before the first heading.</P>\r\n";
    for (int i = 1; i <= sections; ++i) {
        const std::string n = std::to_string(i);
        doc += "<H1>Chapter " + n + "</H1>\r\n<P>Text of chapter " + n + ".</P>\r\n<H2>Part " + n +
               ".1</H2>\r\n<P><B>More</B> text.</P>\r\n";
    }
    return doc + "</BODY>\r\n</HTML>\r\n";
}

// Settings for the tests: links as images, breadcrumbs and the frameset page on, so that
// every kind of output (and the image copy) takes part.
inline SplitSettings TestSettings()
{
    SplitSettings s = SplitSettings::WhenNothingStored(LinkImageFolder());
    s.AddLinks = true;
    s.UseImages = true;
    s.Navigation = true;
    s.Breadcrumbs = true;
    s.BreadcrumbsText = "You are here:";
    s.BreakOn = 2;
    return s;
}

// The program's windows on a private store, with every "open" request recorded.
class MainWindowTest : public testing::Test
{
protected:
    void SetUp() override
    {
        setenv("XDG_CONFIG_HOME", (m_dir.Path() / "config").c_str(), 1);
        fs::create_directories(m_dir.Path() / "docs");
        SetShellOpenHandler([this](const QString& target) { m_opened.push_back(target); });
    }

    void TearDown() override
    {
        m_forms.reset();
        SetShellOpenHandler({});
    }

    // Makes the windows (the options dialog loads the store as it is now).
    void MakeForms() { m_forms = std::make_unique<TDesktopForms>(); }

    TMainForm* Main() const { return m_forms->MainForm(); }
    template <typename T> T* Find(const char* name) const
    {
        T* widget = Main()->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    TPTShellList* List() const { return Find<TPTShellList>("PTShellList1"); }
    QPushButton* SplitBtn() const { return Find<QPushButton>("SplitBtn"); }
    TStatusMemo* Memo() const { return Find<TStatusMemo>("Memo1"); }

    QStringList MemoLines() const
    {
        const QString text = Memo()->toPlainText();
        return text.isEmpty() ? QStringList() : text.split(u'\n');
    }

    // Shows the window, lets the first show pass, then points the list at folder.
    void ShowAt(const fs::path& folder, int expectedItems)
    {
        ShowWindow();
        List()->Folder().SetPathName(folder.string());
        ASSERT_TRUE(QTest::qWaitFor([&] { return List()->ItemCount() == expectedItems; }, 10000))
            << "items shown: " << List()->ItemCount();
    }

    void ShowWindow()
    {
        Main()->show();
        // The first show finishes in a posted call.
        QTest::qWait(20);
    }

    int Row(const std::string& fileName) const
    {
        for (int i = 0; i < List()->ItemCount(); ++i) {
            if (List()->GetShListData(i)->GetFilename() == QString::fromStdString(fileName))
                return i;
        }
        ADD_FAILURE() << fileName << " is not in the list";
        return -1;
    }

    void Select(const std::vector<std::string>& fileNames)
    {
        for (const std::string& name : fileNames)
            List()->SetItemSelected(Row(name), true);
    }

    fs::path Docs() const { return m_dir.Path() / "docs"; }
    std::string DocPath(const std::string& name) const { return (Docs() / name).string(); }

    testsupport::TempDir m_dir;
    std::unique_ptr<TDesktopForms> m_forms;
    std::vector<QString> m_opened;
};

// Every file of a folder with its bytes, by name.
inline std::map<std::string, std::string> FolderContents(const fs::path& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.is_regular_file())
            files[entry.path().filename().string()] = testsupport::ReadAll(entry.path());
    }
    return files;
}

} // namespace desktoptest
