#include "app/SplitCommand.h"
#include "app/desktop/AboutBox.h"
#include "settings/SettingsStore.h"
#include "settings/options/OptionsDlg.h"
#include "shell/widgets/FileJobRunner.h"
#include "tests/app/desktop/MainWindowFixture.h"
#include "tests/app/desktop/MessageBoxCatcher.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTimer>
#include <QUrl>
#include <future>
#include <sstream>

using namespace desktoptest;
using testsupport::Exists;
using testsupport::ReadAll;
using testsupport::WriteAll;

namespace {

// The status lines quirefold-split prints for the same documents and stored settings.
std::string CommandOutput(const std::vector<std::string>& paths)
{
    std::ostringstream out, err;
    RunSplitCommand(paths, out, err, [](const std::string&) {});
    return out.str();
}

// Removes what splitting source wrote beside it.
void RemovePages(const fs::path& source)
{
    const std::string stem = source.stem().string();
    for (const auto& entry : fs::directory_iterator(source.parent_path())) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(stem) && entry.path() != source)
            fs::remove(entry.path());
    }
}

class BatchTest : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        SaveSettings(TestSettings());
        WriteAll(Docs() / "alpha.html", MakeDocument(3, "Alpha"));
        WriteAll(Docs() / "beta.html", MakeDocument(2, "Beta"));
        WriteAll(Docs() / "gamma.htm", MakeDocument(4, "Gamma"));
        WriteAll(Docs() / "notes.txt", "not shown");
        fs::create_directory(Docs() / "sub");
        MakeForms();
        // Folders first: sub, then the three documents.
        ShowAt(Docs(), 4);
    }
};

TEST_F(BatchTest, SplitsTheSelectedFilesInListOrderAfterClearingThePaneOnce)
{
    Memo()->setPlainText("left over from before");
    Select({"gamma.htm", "alpha.html"});
    ASSERT_TRUE(SplitBtn()->isEnabled());

    SplitBtn()->click();

    // The pane holds exactly the two runs, alpha first, as the splitter prints them.
    const std::string pane = Memo()->toPlainText().toStdString() + "\n";
    RemovePages(DocPath("alpha.html"));
    RemovePages(DocPath("gamma.htm"));
    EXPECT_EQ(pane, CommandOutput({DocPath("alpha.html"), DocPath("gamma.htm")}));
    EXPECT_EQ(m_opened, (std::vector<QString>{QString::fromStdString(DocPath("alphafs.html")),
                                              QString::fromStdString(DocPath("gammafs.htm"))}));
    EXPECT_EQ(SplitBtn()->text(), "Split!");
    EXPECT_FALSE(Main()->Busy());
    // The caret follows the newest line, and the view shows it.
    EXPECT_TRUE(Memo()->CaretAtEnd());
    EXPECT_TRUE(Memo()->IsLineFullyVisible(Memo()->LineCount() - 1));
    EXPECT_EQ(SettingsStore().ReadString("MRUFolder"), Docs().string());
    EXPECT_FALSE(Exists(Docs() / "beta000.html"));
}

TEST_F(BatchTest, ANameThatIsNoValidTextIsSplitAndOpenedByItsOwnBytes)
{
    const std::string name = "caf\xE9.html";
    WriteAll(Docs() / name, MakeDocument(1));
    List()->RefreshItems();
    ASSERT_TRUE(QTest::qWaitFor([this] { return List()->ItemCount() == 5; }, 10000));
    for (int i = 0; i < List()->ItemCount(); ++i)
        List()->SetItemSelected(i, List()->GetShListData(i)->GetPathNameBytes() == DocPath(name));
    ASSERT_TRUE(SplitBtn()->isEnabled());

    SplitBtn()->click();

    EXPECT_TRUE(Exists(Docs() / "caf\xE9"
                                "002.html"));
    EXPECT_TRUE(Exists(Docs() / "caf\xE9"
                                "fs.html"));
    ASSERT_EQ(m_opened.size(), 1u);
    // The desktop gets a file address that names exactly these bytes.
    const QByteArray opened = QUrl(m_opened[0]).toEncoded();
    ASSERT_TRUE(opened.startsWith("file://")) << opened.toStdString();
    EXPECT_EQ(QByteArray::fromPercentEncoding(opened.mid(7)).toStdString(), DocPath("caf\xE9"
                                                                                    "fs.html"));
}

TEST_F(BatchTest, ANameWithALineBreakStaysOneLineOfThePaneAsInTheTerminal)
{
    const std::string name = "two\nlines.html";
    WriteAll(Docs() / name, MakeDocument(1));
    List()->RefreshItems();
    ASSERT_TRUE(QTest::qWaitFor([this] { return List()->ItemCount() == 5; }, 10000));
    for (int i = 0; i < List()->ItemCount(); ++i)
        List()->SetItemSelected(i, List()->GetShListData(i)->GetPathNameBytes() == DocPath(name));

    SplitBtn()->click();

    const std::string pane = Memo()->toPlainText().toStdString() + "\n";
    EXPECT_NE(pane.find("two\\nlines.html"), std::string::npos) << pane;
    RemovePages(DocPath(name));
    EXPECT_EQ(pane, CommandOutput({DocPath(name)}));
}

TEST_F(BatchTest, AFolderOnlySelectionSplitsNothingAndSaysSo)
{
    Select({"sub"});
    // A folder counts for enabling the button.
    ASSERT_TRUE(SplitBtn()->isEnabled());
    MessageBoxCatcher catcher;

    SplitBtn()->click();

    ASSERT_EQ(catcher.Boxes().size(), 1u);
    EXPECT_EQ(catcher.Boxes()[0].Text, "Select an HTML file first");
    EXPECT_EQ(catcher.Boxes()[0].Title, "Error");
    EXPECT_EQ(catcher.Boxes()[0].Buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(catcher.Boxes()[0].Parent, Main());
    EXPECT_TRUE(m_opened.empty());
    EXPECT_FALSE(Exists(Docs() / "alpha000.html"));
    EXPECT_EQ(SplitBtn()->text(), "Split!");
}

TEST_F(BatchTest, SelectionCountDecidesTheButton)
{
    EXPECT_FALSE(SplitBtn()->isEnabled());
    Select({"alpha.html", "beta.html"});
    EXPECT_TRUE(SplitBtn()->isEnabled());
    List()->SetItemSelected(Row("alpha.html"), false);
    EXPECT_TRUE(SplitBtn()->isEnabled());
    List()->SetItemSelected(Row("beta.html"), false);
    EXPECT_FALSE(SplitBtn()->isEnabled());
}

TEST_F(BatchTest, StopDuringTheFirstDocumentEndsTheBatch)
{
    Select({"alpha.html", "beta.html", "gamma.htm"});
    // The click waits in the queue until the run's message pump lets it in.
    QTimer::singleShot(0, SplitBtn(), [this] { SplitBtn()->click(); });

    SplitBtn()->click();

    const QStringList lines = MemoLines();
    EXPECT_TRUE(lines.contains("User pressed Stop button. Cancelling operation..."));
    EXPECT_TRUE(lines.contains("Operation cancelled."));
    EXPECT_EQ(lines.filter(QRegularExpression("^Splitting /")).size(), 1);
    EXPECT_TRUE(Exists(Docs() / "alpha000.html"));
    EXPECT_FALSE(Exists(Docs() / "alpha002.html"));
    EXPECT_FALSE(Exists(Docs() / "beta000.html"));
    EXPECT_FALSE(Exists(Docs() / "gamma000.htm"));
    EXPECT_EQ(m_opened.size(), 1u);
    EXPECT_EQ(SplitBtn()->text(), "Split!");
    EXPECT_FALSE(Main()->Busy());
}

TEST_F(BatchTest, TheStopButtonStaysUsableWhenTheSelectionIsClearedDuringABatch)
{
    Select({"alpha.html", "beta.html"});
    bool enabledAfterDeselecting = false;
    QString caption;
    QTimer::singleShot(0, SplitBtn(), [&] {
        List()->SetItemSelected(Row("alpha.html"), false);
        List()->SetItemSelected(Row("beta.html"), false);
        enabledAfterDeselecting = SplitBtn()->isEnabled();
        caption = SplitBtn()->text();
        SplitBtn()->click();
    });

    SplitBtn()->click();

    EXPECT_TRUE(enabledAfterDeselecting);
    EXPECT_EQ(caption, "Stop!");
    EXPECT_TRUE(MemoLines().contains("Operation cancelled."));
    EXPECT_FALSE(Exists(Docs() / "beta000.html"));
    // Idle again with nothing selected: the button follows the selection once more.
    EXPECT_FALSE(SplitBtn()->isEnabled());
}

TEST_F(BatchTest, StopAfterTheLastTagOfADocumentEndsTheBatchToo)
{
    Select({"alpha.html", "beta.html", "gamma.htm"});
    // The first result is opened after its last tag was read: the Stop arrives then.
    SetShellOpenHandler([this](const QString& target) {
        m_opened.push_back(target);
        QTimer::singleShot(0, SplitBtn(), [this] { SplitBtn()->click(); });
    });

    SplitBtn()->click();

    const QStringList lines = MemoLines();
    EXPECT_EQ(lines.filter(QRegularExpression("^Splitting /")).size(), 1);
    EXPECT_FALSE(lines.contains("Operation cancelled."));
    EXPECT_EQ(lines.last(), "User pressed Stop button. Cancelling operation...");
    // The first document is complete; no other one was begun.
    EXPECT_TRUE(Exists(Docs() / "alpha003.html"));
    EXPECT_FALSE(Exists(Docs() / "beta000.html"));
    EXPECT_FALSE(Exists(Docs() / "gamma000.htm"));
}

TEST_F(BatchTest, DoubleClickOnAFileOfTheSelectionSplitsTheWholeSelection)
{
    Select({"alpha.html", "beta.html", "gamma.htm"});
    QAbstractItemView* view = List()->View();
    const QRect item = view->visualRect(view->model()->index(Row("beta.html"), 0));
    ASSERT_TRUE(item.isValid());

    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, item.center());

    EXPECT_EQ(MemoLines().filter(QRegularExpression("^Splitting /")).size(), 3);
    EXPECT_TRUE(Exists(Docs() / "alpha000.html"));
    EXPECT_TRUE(Exists(Docs() / "beta000.html"));
    EXPECT_TRUE(Exists(Docs() / "gamma000.htm"));
    // Only the results were opened, never the documents themselves.
    EXPECT_EQ(m_opened.size(), 3u);
}

TEST_F(BatchTest, EnterInTheListStartsTheBatch)
{
    Select({"beta.html"});
    List()->SetFocusedItem(Row("beta.html"));
    QAbstractItemView* view = List()->View();
    view->setFocus();

    QTest::keyClick(view, Qt::Key_Return);

    EXPECT_EQ(MemoLines().filter(QRegularExpression("^Splitting /")).size(), 1);
    EXPECT_TRUE(Exists(Docs() / "beta002.html"));
    EXPECT_EQ(m_opened, std::vector<QString>{QString::fromStdString(DocPath("betafs.html"))});

    // Enter on a button that has the focus presses that button, not "Split!".
    m_opened.clear();
    QPushButton* about = Find<QPushButton>("AboutBtn");
    QTimer::singleShot(0, [this] { m_forms->AboutBox()->done(0); });
    about->setFocus();
    QTest::keyClick(about, Qt::Key_Return);
    EXPECT_TRUE(m_opened.empty());
}

TEST_F(BatchTest, TabLeavesTheStatusPaneForTheButtonsAndOnlyCtrlTabTypesATab)
{
    Select({"beta.html"}); // "Split!" enabled: every button takes part
    Memo()->AppendLines({"First line.", "Second line."});
    const QString text = Memo()->toPlainText();
    Main()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Main()));
    QAbstractItemView* view = List()->View();
    view->setFocus();
    // Through the window, as the keyboard delivers them.
    auto press = [this](Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(Main()->windowHandle(), Qt::Key_Tab, modifiers);
        return QApplication::focusWidget();
    };

    EXPECT_EQ(press(), Memo());
    for (const char* name : {"SplitBtn", "ExitBtn", "HelpBtn", "AboutBtn", "OptionsBtn"})
        EXPECT_EQ(press(), Find<QWidget>(name)) << name;
    Memo()->setFocus();
    EXPECT_EQ(press(Qt::ShiftModifier), view);
    EXPECT_EQ(Memo()->toPlainText(), text);

    Memo()->setFocus();
    Memo()->MoveCaretToEnd();
    EXPECT_EQ(press(Qt::ControlModifier), Memo());
    EXPECT_EQ(Memo()->toPlainText(), text + "\t");
}

TEST_F(BatchTest, OptionsConfirmedDuringABatchApplyToTheNextDocument)
{
    Select({"alpha.html", "beta.html"});
    TOptionsDlg* options = m_forms->OptionsDlg();
    bool dialogSeen = false;
    // Between the two documents, the user opens the options, switches the link images
    // and the frameset page off and confirms with OK.
    SetShellOpenHandler([&](const QString& target) {
        m_opened.push_back(target);
        if (m_opened.size() != 1)
            return;
        QTimer::singleShot(0, options, [&] {
            QTimer::singleShot(0, options, [&] {
                dialogSeen = options->isVisible();
                options->findChild<QCheckBox*>("UseImagesCheckbox")->setChecked(false);
                options->findChild<QLineEdit*>("EditNext")->setText("Onward");
                options->findChild<QCheckBox*>("NavigationCheckbox")->setChecked(false);
                options->findChild<QPushButton*>("OKBtn")->click();
            });
            Find<QPushButton>("OptionsBtn")->click();
        });
    });

    SplitBtn()->click();

    ASSERT_TRUE(dialogSeen);
    EXPECT_FALSE(options->isVisible());
    // alpha was split with the settings the split began with, beta with the new ones.
    EXPECT_TRUE(Exists(Docs() / "alphafs.html"));
    EXPECT_FALSE(Exists(Docs() / "betafs.html"));
    EXPECT_NE(ReadAll(Docs() / "alpha001.html").find("next1.gif"), std::string::npos);
    const std::string beta = ReadAll(Docs() / "beta001.html");
    EXPECT_EQ(beta.find("next1.gif"), std::string::npos);
    EXPECT_NE(beta.find("Onward"), std::string::npos);
    // OK stored them as well.
    EXPECT_EQ(SettingsStore().ReadString("NextLinkText"), "Onward");
    EXPECT_EQ(m_opened.back(), QString::fromStdString(DocPath("beta000.html")));
}

TEST_F(BatchTest, ClosingDuringASplitStopsItAndLeavesTheFilesOfAStop)
{
    // The same document stopped with the button at the same point, for comparison.
    const fs::path stopped = m_dir.Path() / "stopped";
    fs::create_directory(stopped);
    fs::copy_file(Docs() / "alpha.html", stopped / "alpha.html");
    {
        TDesktopForms other;
        auto* list = other.MainForm()->findChild<TPTShellList*>("PTShellList1");
        auto* split = other.MainForm()->findChild<QPushButton*>("SplitBtn");
        other.MainForm()->show();
        list->Folder().SetPathName(stopped.string());
        ASSERT_TRUE(QTest::qWaitFor([&] { return list->ItemCount() == 1; }, 10000));
        list->SetItemSelected(0, true);
        QTimer::singleShot(0, split, [split] { split->click(); });
        split->click();
    }

    Select({"alpha.html", "gamma.htm"});
    int closed = 0;
    QObject::connect(Main(), &TMainForm::Closed, [&] { ++closed; });
    QTimer::singleShot(0, Main(), [this] { Main()->close(); });

    SplitBtn()->click();

    // The window stayed until the split had finished its files, then closed once.
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(Main()->isVisible());
    EXPECT_TRUE(MemoLines().contains("Operation cancelled."));
    EXPECT_FALSE(Main()->Busy());
    auto alphaFiles = [](const fs::path& folder) {
        std::map<std::string, std::string> files = FolderContents(folder);
        std::erase_if(files, [](const auto& file) { return !file.first.starts_with("alpha"); });
        return files;
    };
    const auto closedFiles = alphaFiles(Docs());
    EXPECT_EQ(closedFiles, alphaFiles(stopped));
    EXPECT_TRUE(closedFiles.contains("alpha001.html"));
    EXPECT_FALSE(closedFiles.contains("alpha001temp.html"));
    EXPECT_FALSE(Exists(Docs() / "gamma000.htm"));
}

TEST_F(MainWindowTest, ClosingDuringACopyAsksAndCancelsItOnlyOnYes)
{
    MakeForms();
    fs::create_directories(Docs() / "target");
    testsupport::TempDir from;
    const std::string page(1 << 20, 'x');
    testsupport::WriteAll(from.Path() / "a.htm", page);
    // The copy is held before it starts, so it is surely running when the window is closed.
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    TFileJobRunner::SetWorkerGate([released] { released.wait(); });
    ShowAt(Docs() / "target", 0);
    QApplication::clipboard()->setMimeData(MakeFileMimeData({from / "a.htm"}, false));
    List()->setFocus();
    QTest::keyClick(List()->View(), Qt::Key_V, Qt::ControlModifier);
    TFileJobRunner::SetWorkerGate(nullptr);
    ASSERT_EQ(TFileJobRunner::RunningCount(), 1);

    MessageBoxCatcher catcher;
    auto answer = [&](QMessageBox::StandardButton button) { catcher.Answer(button); };
    int closed = 0;
    QObject::connect(Main(), &TMainForm::Closed, [&] { ++closed; });
    answer(QMessageBox::No);
    Main()->close();
    EXPECT_TRUE(Main()->isVisible());
    EXPECT_EQ(TFileJobRunner::RunningCount(), 1);
    answer(QMessageBox::Yes);
    Main()->close();
    EXPECT_EQ(closed, 1);
    QStringList questions;
    for (const auto& box : catcher.Boxes())
        questions << box.Text;
    EXPECT_EQ(questions, QStringList(2, QStringLiteral("Files are still being copied or moved. "
                                                       "Cancel that and close the window?")));
    // The windows go, waiting for the cancelled copy, which leaves nothing behind.
    release.set_value();
    m_forms.reset();
    EXPECT_EQ(TFileJobRunner::RunningCount(), 0);
    EXPECT_TRUE(fs::is_empty(Docs() / "target"));
    EXPECT_TRUE(testsupport::ReadAll(from.Path() / "a.htm") == page);
}

} // namespace
