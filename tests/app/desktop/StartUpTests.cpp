#include "app/SplitCommand.h"
#include "app/desktop/HelpViewer.h"
#include "settings/SettingsStore.h"
#include "tests/app/desktop/MainWindowFixture.h"
#include "tests/app/desktop/MessageBoxCatcher.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QLabel>
#include <QScreen>
#include <set>
#include <sstream>
#include <sys/stat.h>

using namespace desktoptest;
using testsupport::Exists;
using testsupport::WriteAll;

namespace {

class StartUpTest : public MainWindowTest
{
protected:
    bool ShowsDesktop() const { return IdListCount(List()->Folder().GetIdList()) == 0; }

    bool WaitForCompletion()
    {
        return QTest::qWaitFor(
            [this] {
                return !Main()->Busy() &&
                       Memo()->toPlainText().contains(QStringLiteral("Splitting is complete."));
            },
            10000);
    }
};

TEST_F(StartUpTest, CommandLineDocumentIsSplitAtFirstShowLikeTheSplitter)
{
    SaveSettings(TestSettings());
    const fs::path window = m_dir.Path() / "window";
    const fs::path command = m_dir.Path() / "command";
    fs::create_directories(window);
    fs::create_directories(command);
    const std::string doc = MakeDocument(5);
    WriteAll(window / "doc.html", doc);
    WriteAll(command / "doc.html", doc);
    MakeForms();
    Main()->SetStartFile((window / "doc.html").string());
    bool busyWhileOpening = false;
    QString captionWhileOpening;
    SetShellOpenHandler([&](const QString& target) {
        m_opened.push_back(target);
        busyWhileOpening = Main()->Busy();
        captionWhileOpening = SplitBtn()->text();
    });
    Memo()->setPlainText("kept");

    ShowWindow();
    ASSERT_TRUE(WaitForCompletion());

    std::ostringstream out, err;
    ASSERT_EQ(RunSplitCommand({(command / "doc.html").string()}, out, err, {}), 0) << err.str();
    // Every page, the index, the frameset and the copied images: the same bytes.
    const auto windowFiles = FolderContents(window);
    EXPECT_EQ(windowFiles, FolderContents(command));
    EXPECT_TRUE(windowFiles.contains("doc006.html"));
    EXPECT_TRUE(windowFiles.contains("next1.gif"));

    // The same lines, after what the pane held before: the start-up split clears nothing.
    QString expected = QString::fromStdString(out.str()).trimmed();
    expected.replace(QString::fromStdString(command.string()),
                     QString::fromStdString(window.string()));
    EXPECT_EQ(Memo()->toPlainText(), "kept\n" + expected);

    EXPECT_EQ(m_opened,
              std::vector<QString>{QString::fromStdString((window / "docfs.html").string())});
    EXPECT_TRUE(busyWhileOpening);
    EXPECT_EQ(captionWhileOpening, "Split!");
    EXPECT_FALSE(SplitBtn()->isEnabled());
    EXPECT_EQ(List()->Folder().GetPathName(), window.string());
    EXPECT_EQ(Main()->StartFile(), (window / "doc.html").string());
}

// With every option beyond the basics stored, the window and the splitter write the same files;
// a stored relative output folder is taken from the document's folder by both.
TEST_F(StartUpTest, DocumentWithEveryLaterOptionIsSplitLikeTheSplitter)
{
    SplitSettings settings = TestSettings();
    settings.FixLinks = true;
    settings.PageTitles = true;
    settings.HeadLinks = true;
    settings.TolerateMissingBodyEnd = true;
    settings.Manifest = true;
    settings.OutputFolder = "pages";
    SaveSettings(settings);
    std::string doc = MakeDocument(4);
    doc.replace(doc.find("<H1>Chapter 3"), 4, "<H1 id=three>");
    doc.replace(doc.find("Text of chapter 1"), 4, "<a href=\"#three\">Three</a>");
    doc.resize(doc.find("</BODY>"));
    const fs::path window = m_dir.Path() / "window";
    const fs::path command = m_dir.Path() / "command";
    fs::create_directories(window);
    fs::create_directories(command);
    WriteAll(window / "doc.html", doc);
    WriteAll(command / "doc.html", doc);
    MakeForms();
    Main()->SetStartFile((window / "doc.html").string());
    ShowWindow();
    ASSERT_TRUE(WaitForCompletion());

    std::ostringstream out, err;
    ASSERT_EQ(RunSplitCommand({(command / "doc.html").string()}, out, err, {}), 0) << err.str();
    const auto windowFiles = FolderContents(window / "pages");
    EXPECT_EQ(windowFiles, FolderContents(command / "pages"));
    ASSERT_TRUE(windowFiles.contains("docpages.json"));
    EXPECT_NE(windowFiles.at("doc001.html").find("<a href=\"doc005.html#three\">Three</a>"),
              std::string::npos);
    EXPECT_EQ(FolderContents(window).size(), 1u);
}

TEST_F(StartUpTest, NothingStoredShowsTheDesktop)
{
    MakeForms();
    MessageBoxCatcher catcher;
    ShowWindow();
    QTest::qWait(100);
    EXPECT_TRUE(ShowsDesktop());
    EXPECT_TRUE(MemoLines().isEmpty());
    EXPECT_FALSE(SplitBtn()->isEnabled());
    EXPECT_TRUE(catcher.Boxes().empty());
}

TEST_F(StartUpTest, TheStoredFolderIsShown)
{
    WriteAll(Docs() / "a.html", MakeDocument(1));
    SettingsStore().WriteString("MRUFolder", Docs().string());
    MakeForms();
    ShowWindow();
    ASSERT_TRUE(QTest::qWaitFor([this] { return List()->ItemCount() == 1; }, 10000));
    EXPECT_EQ(List()->Folder().GetPathName(), Docs().string());
    // Showing it does not store anything.
    EXPECT_EQ(SettingsStore().ReadString("MRUFolder"), Docs().string());
}

TEST_F(StartUpTest, ADeletedStoredFolderShowsTheDesktopWithoutAMessage)
{
    const fs::path gone = m_dir.Path() / "gone";
    fs::create_directory(gone);
    SettingsStore().WriteString("MRUFolder", gone.string());
    fs::remove(gone);
    MakeForms();
    MessageBoxCatcher catcher;

    ShowWindow();
    QTest::qWait(200);

    EXPECT_TRUE(ShowsDesktop());
    EXPECT_TRUE(catcher.Boxes().empty());
}

TEST_F(StartUpTest, ClosingDuringTheStartUpSplitStopsItThenCloses)
{
    WriteAll(Docs() / "doc.html", MakeDocument(5));
    MakeForms();
    Main()->SetStartFile(DocPath("doc.html"));
    int closed = 0;
    QObject::connect(Main(), &TMainForm::Closed, [&] { ++closed; });

    Main()->show();
    // Queued behind the first show, so it arrives through the split's message pump.
    QTimer::singleShot(0, Main(), [this] { Main()->close(); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return closed > 0; }, 10000));

    EXPECT_EQ(closed, 1);
    EXPECT_TRUE(MemoLines().contains("Operation cancelled."));
    EXPECT_TRUE(Exists(Docs() / "doc000.html"));
    EXPECT_TRUE(Exists(Docs() / "doc001.html"));
    EXPECT_FALSE(Exists(Docs() / "doc002.html"));
    EXPECT_FALSE(Exists(Docs() / "doc001temp.html"));
}

TEST_F(StartUpTest, TheWindowKeepsItsPlaceWhereItFitsAndComesOnTheScreenWhereNot)
{
    MakeForms();
    const QRect screen = Main()->screen()->availableGeometry();
    const QPoint designed = Main()->pos();
    ShowWindow();
    ASSERT_TRUE(screen.contains(QRect(designed, Main()->size())));
    EXPECT_EQ(Main()->pos(), designed);
    Main()->hide();

    // Grown past the screen's edges (twice the scale, a larger font), it is moved in and,
    // where it is larger than the screen, made smaller.
    m_forms.reset();
    MakeForms();
    Main()->move(screen.right() - 100, screen.bottom() - 100);
    Main()->resize(screen.width() / 2, screen.height() + 200);
    ShowWindow();
    EXPECT_TRUE(screen.contains(Main()->frameGeometry()))
        << Main()->frameGeometry().x() << "," << Main()->frameGeometry().y();
    EXPECT_EQ(Main()->width(), screen.width() / 2);
}

TEST_F(StartUpTest, F1OpensTheHelpAtItsContentsAndEscapeClosesIt)
{
    delete HelpWindow();
    MakeForms();
    ShowAt(Docs(), 0);
    List()->View()->setFocus();
    QTest::keyClick(List()->View(), Qt::Key_F1);
    THelpViewer* help = HelpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->CurrentPage(), HelpTopicPage(QString()));
    help->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(help));
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : help,
                    Qt::Key_Escape);
    EXPECT_FALSE(help->isVisible());
    delete HelpWindow();
}

TEST_F(StartUpTest, WindowOffersItsControlsByNameInTheButtonTabOrder)
{
    MakeForms();
    ShowWindow();
    EXPECT_EQ(Main()->windowTitle(), "Quirefold");

    // "Split!", "Exit", "Help", "About...", "Options...": the tab order, not the visual one.
    const char* order[] = {"SplitBtn", "ExitBtn", "HelpBtn", "AboutBtn", "OptionsBtn"};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        QWidget* next = Find<QWidget>(order[i])->nextInFocusChain();
        while (next && next->focusPolicy() == Qt::NoFocus)
            next = next->nextInFocusChain();
        EXPECT_EQ(next, Find<QWidget>(order[i + 1])) << order[i];
    }

    // Everything a person (or a screen reader) works with has a name and the hints show in
    // the status bar as well as in tool tips.
    for (QWidget* widget : Main()->findChildren<QWidget*>()) {
        const bool control = widget->focusPolicy() != Qt::NoFocus || qobject_cast<QLabel*>(widget);
        if (!control || !widget->isVisibleTo(Main()) || widget->objectName().isEmpty() ||
            widget->objectName().startsWith(u"qt_"))
            continue;
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(accessible, nullptr);
        EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty())
            << widget->objectName().toStdString();
        EXPECT_EQ(widget->toolTip(), widget->statusTip()) << widget->objectName().toStdString();
    }
    EXPECT_EQ(Memo()->toolTip(), "Here the process status is shown");
    EXPECT_FALSE(Memo()->isReadOnly());
    EXPECT_FALSE(SplitBtn()->isEnabled());
}

} // namespace

// A document named on the command line that is no document: the window says why in the same
// lines as the splitter, ends the run, and writes nothing.
TEST_F(StartUpTest, HostileCommandLineDocumentsFailWithTheSplittersLines)
{
    SaveSettings(TestSettings());
    fs::create_directory(Docs() / "folder.htm");
    ASSERT_EQ(::mkfifo(DocPath("fifo.htm").c_str(), 0600), 0);
    WriteAll(Docs() / "empty.htm", "");
    WriteAll(Docs() / "nuls.htm", std::string(4096, '\0'));
    WriteAll(Docs() / "two\nlines.htm", std::string("\xFF\xFE<\0h\0t\0m\0l\0>\0", 14));
    fs::create_directory(Docs() / "loops");
    fs::create_symlink("loop2.htm", Docs() / "loops" / "loop1.htm");
    fs::create_symlink("loop1.htm", Docs() / "loops" / "loop2.htm");
    auto names = [this] {
        std::set<std::string> found;
        for (const auto& entry : fs::directory_iterator(Docs()))
            found.insert(entry.path().filename().string());
        return found;
    };
    const auto before = FolderContents(Docs());
    const auto namesBefore = names();

    for (const std::string& path :
         {DocPath("folder.htm"), DocPath("fifo.htm"), std::string("/dev/zero"),
          DocPath("missing.htm"), DocPath("empty.htm"), DocPath("nuls.htm"),
          DocPath("two\nlines.htm"), DocPath("loops/loop1.htm")}) {
        SCOPED_TRACE(path);
        MakeForms();
        Main()->SetStartFile(path);
        ShowWindow();
        ASSERT_TRUE(QTest::qWaitFor(
            [this] {
                return !Main()->Busy() && Memo()->toPlainText().contains("Exception encountered");
            },
            10000));
        std::ostringstream out, err;
        EXPECT_EQ(RunSplitCommand({path}, out, err, {}), 1);
        EXPECT_EQ(Memo()->toPlainText().toStdString() + "\n", out.str());
        EXPECT_TRUE(m_opened.empty());
        EXPECT_EQ(FolderContents(Docs()), before);
        EXPECT_EQ(names(), namesBefore);
    }
}
