// The list's commands on a real folder: renaming in place, the keyboard commands with the
// clipboard, and the context menu.

#include "ShellListFixture.h"
#include "ui/MessageBox.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <future>

namespace shelltest {
namespace {

using testsupport::WriteAll;

class ShellListCommandTest : public ShellListTest
{
protected:
    // Runs what the list posted to itself, and what that posted in turn.
    static void Settle()
    {
        for (int pass = 0; pass < 4; ++pass)
            QApplication::processEvents();
    }

    QLineEdit* Editor(const std::string& name) const
    {
        QAbstractItemView* view = list->View();
        return qobject_cast<QLineEdit*>(view->indexWidget(view->model()->index(Row(name), 0)));
    }

    // Acts on the next popup menu as soon as it is shown; the menu runs its own loop.
    void WhenMenuShows(std::function<void(QMenu*)> act)
    {
        auto* timer = new QTimer(list.get());
        QObject::connect(timer, &QTimer::timeout, [timer, act] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                timer->stop();
                timer->deleteLater();
                act(menu);
            }
        });
        timer->start(10);
    }

    static QAction* Action(QMenu* menu, const QString& text)
    {
        for (QAction* action : menu->actions()) {
            if (action->text() == text)
                return action;
        }
        return nullptr;
    }

    // F2 on an item, the editor's text replaced, Enter.
    void RenameByKeyboard(const std::string& from, const QString& to)
    {
        Select({from});
        list->SetFocusedItem(Row(from));
        QTest::keyClick(list->View(), Qt::Key_F2);
        QLineEdit* editor = Editor(from);
        ASSERT_NE(editor, nullptr) << from;
        EXPECT_EQ(editor->text().toStdString(), from);
        editor->setText(to);
        QTest::keyClick(editor, Qt::Key_Return);
        Settle();
        EXPECT_FALSE(list->EditingCaption());
    }
};

TEST_F(ShellListCommandTest, F2RenamesInPlaceAndRefusesWhatWouldLoseAFile)
{
    testsupport::WriteAll(dir.Path() / "a.htm", "page a");
    testsupport::WriteAll(dir.Path() / "b.htm", "page b");
    Show(dir.Path());
    Focus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !list->ChangeRefreshPending(); }, 10000));
    QSignalSpy fills(list.get(), &TPTCustomShellList::OnFillStart);

    RenameByKeyboard("a.htm", QStringLiteral("  c.htm "));
    EXPECT_EQ(testsupport::ReadAll(dir.Path() / "c.htm"), "page a");
    EXPECT_FALSE(testsupport::Exists(dir.Path() / "a.htm"));
    EXPECT_EQ(Names(), (NameList{"c.htm", "b.htm"}));
    EXPECT_EQ(list->GetShListData(Row("c.htm"))->GetPathNameBytes(), dir / "c.htm");
    // The watcher's notice of the rename brings no refresh.
    QTest::qWait(800);
    EXPECT_FALSE(list->ChangeRefreshPending());
    EXPECT_EQ(fills.count(), 0);
    EXPECT_TRUE(errors.isEmpty());

    // The name is taken: nothing is replaced, the caption stays, and the user is told why.
    RenameByKeyboard("c.htm", QStringLiteral("b.htm"));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("already exists"))) << errors[0].toStdString();
    EXPECT_EQ(Names(), (NameList{"c.htm", "b.htm"}));
    EXPECT_EQ(testsupport::ReadAll(dir.Path() / "c.htm"), "page a");
    EXPECT_EQ(testsupport::ReadAll(dir.Path() / "b.htm"), "page b");

    // A separator is refused; an empty name leaves the item as it was.
    RenameByKeyboard("c.htm", QStringLiteral("sub/d.htm"));
    ASSERT_EQ(errors.size(), 2);
    RenameByKeyboard("c.htm", QStringLiteral("   "));
    EXPECT_EQ(errors.size(), 2);
    EXPECT_EQ(testsupport::ReadAll(dir.Path() / "c.htm"), "page a");

    // OnEdited has the last word on the name.
    QObject::connect(list.get(), &TPTCustomShellList::OnEdited,
                     [](TPTCustomShellList*, int, QString& text) { text += QStringLiteral("l"); });
    RenameByKeyboard("c.htm", QStringLiteral("e.htm"));
    EXPECT_EQ(testsupport::ReadAll(dir.Path() / "e.html"), "page a");
    EXPECT_EQ(Names(), (NameList{"e.html", "b.htm"}));

    // A read-only list edits nothing.
    list->SetReadOnly(true);
    Select({"b.htm"});
    list->SetFocusedItem(Row("b.htm"));
    QTest::keyClick(list->View(), Qt::Key_F2);
    EXPECT_FALSE(list->EditingCaption());
    EXPECT_EQ(Editor("b.htm"), nullptr);
}

TEST_F(ShellListCommandTest, ARefreshAskedForWhileEditingRunsWhenTheEditEnds)
{
    Files({"a.htm"});
    Show(dir.Path());
    Focus();
    list->SetFocusedItem(Row("a.htm"));
    ASSERT_TRUE(list->EditItemCaption(Row("a.htm")));
    EXPECT_TRUE(list->EditingCaption());
    Files({"new.htm"});
    list->RefreshItems();
    EXPECT_TRUE(list->RefreshPending());
    EXPECT_EQ(Row("new.htm"), -1);
    QTest::keyClick(Editor("a.htm"), Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Row("new.htm") >= 0; }, 5000));
    EXPECT_TRUE(testsupport::Exists(dir.Path() / "a.htm"));
}

TEST_F(ShellListCommandTest, KeyboardCommandsCopyCutPasteAndDeleteRealFiles)
{
    const std::string pageA(70000, 'a');
    std::string pageB;
    for (int i = 0; i < 5000; ++i)
        pageB += static_cast<char>(i % 256);
    testsupport::WriteAll(dir.Path() / "a.htm", pageA);
    testsupport::WriteAll(dir.Path() / "b.htm", pageB);
    fs::create_directories(dir.Path() / "sub");
    testsupport::WriteAll(dir.Path() / "sub" / "x.htm", pageB);
    testsupport::TempDir other;
    testsupport::WriteAll(other.Path() / "a.htm", "mine");
    Show(dir.Path());
    Focus();
    QWidget* view = list->View();

    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(list->ShellSelCount(), 3);

    // Nothing selected: Copy is not offered and leaves the clipboard alone.
    QGuiApplication::clipboard()->setText(QStringLiteral("unrelated"));
    Select({});
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("unrelated"));

    Select({"a.htm", "b.htm"});
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    const QMimeData* clip = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(clip, nullptr);
    EXPECT_TRUE(clip->data("x-special/gnome-copied-files").startsWith("copy\nfile://"));
    EXPECT_EQ(clip->urls().size(), 2);

    // Paste into another folder: the file there keeps its contents, the copy gets a new name.
    Show(other.Path());
    QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
    WaitForFileJobs();
    EXPECT_EQ(testsupport::ReadAll(other.Path() / "a.htm"), "mine");
    EXPECT_TRUE(testsupport::ReadAll(other.Path() / "a (copy).htm") == pageA);
    EXPECT_TRUE(testsupport::ReadAll(other.Path() / "b.htm") == pageB);
    EXPECT_TRUE(testsupport::ReadAll(dir.Path() / "a.htm") == pageA);
    EXPECT_GE(Row("a (copy).htm"), 0);
    EXPECT_GE(Row("b.htm"), 0);

    // Cut, then paste: the folder moves whole and the clipboard no longer offers it.
    Show(dir.Path());
    Select({"sub"});
    QTest::keyClick(view, Qt::Key_X, Qt::ControlModifier);
    EXPECT_TRUE(QGuiApplication::clipboard()
                    ->mimeData()
                    ->data("x-special/gnome-copied-files")
                    .startsWith("cut\n"));
    Show(other.Path());
    QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
    WaitForFileJobs();
    EXPECT_FALSE(testsupport::Exists(dir.Path() / "sub"));
    EXPECT_TRUE(testsupport::ReadAll(other.Path() / "sub" / "x.htm") == pageB);
    EXPECT_GE(Row("sub"), 0);
    QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
    WaitForFileJobs();
    EXPECT_FALSE(testsupport::Exists(other.Path() / "sub (copy)"));

    // Del and Shift+Del move the selection to the trash and refresh the list.
    Select({"a.htm", "b.htm"});
    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_FALSE(testsupport::Exists(other.Path() / "a.htm"));
    EXPECT_FALSE(testsupport::Exists(other.Path() / "b.htm"));
    EXPECT_EQ(list->ItemCount(), 2);
    EXPECT_GE(Row("a (copy).htm"), 0);
    Select({"a (copy).htm"});
    QTest::keyClick(view, Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(Names(), (NameList{"sub"}));
    fs::path trash =
        fs::path(
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString()) /
        "Trash" / "files";
    EXPECT_TRUE(testsupport::ReadAll(trash / "a (copy).htm") == pageA);

    // F5 reads the folder again.
    QSignalSpy fills(list.get(), &TPTCustomShellList::OnFillStart);
    testsupport::WriteAll(other.Path() / "new.htm", "");
    QTest::keyClick(view, Qt::Key_F5);
    EXPECT_EQ(fills.count(), 1);
    EXPECT_GE(Row("new.htm"), 0);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(ShellListCommandTest, DeleteAndRenameActOnTheVeryItemNamedByItsBytes)
{
    const std::string latin1 = "caf\xe9.htm";
    const std::string twin = "caf\xef\xbf\xbd.htm"; // the same caption on screen
    WriteAll(dir.Path() / latin1, "latin-1");
    WriteAll(dir.Path() / twin, "twin");
    WriteAll(dir.Path() / " lead.htm", "lead");
    Show(dir.Path());
    Focus();
    ASSERT_EQ(list->ItemCount(), 3);
    auto rowOf = [&](const std::string& name) {
        for (int i = 0; i < list->ItemCount(); ++i) {
            if (list->GetShListData(i)->GetPathNameBytes() == dir / name)
                return i;
        }
        return -1;
    };
    auto select = [&](const std::string& name) {
        for (int i = 0; i < list->ItemCount(); ++i)
            list->SetItemSelected(i, false);
        ASSERT_GE(rowOf(name), 0);
        list->SetItemSelected(rowOf(name), true);
        list->SetFocusedItem(rowOf(name));
    };
    auto files = [&] {
        NameList names;
        for (const auto& entry : fs::directory_iterator(dir.Path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };
    const NameList all = files();
    auto editor = [&](const std::string& name) {
        QAbstractItemView* view = list->View();
        return qobject_cast<QLineEdit*>(view->indexWidget(view->model()->index(rowOf(name), 0)));
    };

    // F2 and Enter with nothing typed: no name changes, whatever the editor could show.
    for (const std::string& name : {latin1, std::string(" lead.htm")}) {
        select(name);
        QTest::keyClick(list->View(), Qt::Key_F2);
        ASSERT_NE(editor(name), nullptr) << name;
        QTest::keyClick(editor(name), Qt::Key_Return);
        Settle();
        EXPECT_FALSE(list->EditingCaption());
        EXPECT_EQ(files(), all) << name;
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();

    // A name typed anew renames the item selected by its bytes, and only it.
    const std::string renamed = "caf\xc3\xa9 renamed to a name longer than any other.htm";
    select(latin1);
    QTest::keyClick(list->View(), Qt::Key_F2);
    QLineEdit* edit = editor(latin1);
    ASSERT_NE(edit, nullptr);
    edit->setText(QStringLiteral("caf\u00e9 renamed to a name longer than any other.htm"));
    QTest::keyClick(edit, Qt::Key_Return);
    Settle();
    EXPECT_EQ(testsupport::ReadAll(dir.Path() / renamed), "latin-1");
    // The new, longer caption is shown whole, not cut short until the next refresh.
    auto* listView = qobject_cast<QListView*>(list->View());
    ASSERT_NE(listView, nullptr);
    // (Up to the widest column the list makes.)
    EXPECT_GE(
        listView->gridSize().width(),
        std::min(QFontMetrics(listView->font()).horizontalAdvance(QString::fromStdString(renamed)) +
                     16 + 10,
                 420));
    EXPECT_EQ(testsupport::ReadAll(dir.Path() / twin), "twin");
    fs::rename(dir.Path() / renamed, dir.Path() / latin1);
    list->RefreshItems();

    // Del trashes the item selected, not the one its caption also stands for.
    select(latin1);
    QTest::keyClick(list->View(), Qt::Key_Delete);
    EXPECT_FALSE(testsupport::Exists(dir.Path() / latin1));
    EXPECT_EQ(testsupport::ReadAll(dir.Path() / twin), "twin");
    fs::path trash = fs::path(std::getenv("XDG_DATA_HOME")) / "Trash";
    EXPECT_EQ(testsupport::ReadAll(trash / "files" / latin1), "latin-1");
    EXPECT_EQ(list->ItemCount(), 2);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(ShellListCommandTest, DeleteAsksBeforeDeletingForGoodWhereThereIsNoTrash)
{
    // /dev/shm is a tmpfs, where no trash can be.
    testsupport::OtherFileSystemDir memory;
    if (!memory.Usable())
        GTEST_SKIP() << "no tmpfs apart from the home folder's file system";
    const fs::path& folder = memory.Path();
    WriteAll(folder / "a.htm", "a");
    Show(folder);
    Focus();
    QStringList questions;
    // Answers the next question as the user would, noting what it asked.
    auto ask = [&](QMessageBox::StandardButton button) {
        TMessageBox::SetNextAnswer(button);
        QTest::keyClick(list->View(), Qt::Key_Delete,
                        button == QMessageBox::Yes ? Qt::ShiftModifier : Qt::NoModifier);
        const std::optional<TMessageBoxData> box = TMessageBox::LastAnswered();
        ASSERT_TRUE(box);
        questions << box->Text;
        // Enter and Escape both give No.
        EXPECT_EQ(box->DefaultButton, QMessageBox::No);
        EXPECT_EQ(box->EscapeButton, QMessageBox::No);
        EXPECT_EQ(box->Buttons, QMessageBox::Yes | QMessageBox::No);
    };
    Select({"a.htm"});
    ask(QMessageBox::No);
    EXPECT_EQ(testsupport::ReadAll(folder / "a.htm"), "a");
    EXPECT_EQ(Names(), (NameList{"a.htm"}));
    ask(QMessageBox::Yes);
    EXPECT_FALSE(testsupport::Exists(folder / "a.htm"));
    EXPECT_EQ(Names(), NameList{});
    EXPECT_EQ(questions, QStringList(2, QStringLiteral("Delete \"a.htm\" for good? It cannot be "
                                                       "moved to the trash.")));
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(ShellListCommandTest, PastingACutFolderNamedWithATrailingSlashWhereItIsLeavesIt)
{
    fs::create_directories(dir.Path() / "sub");
    WriteAll(dir.Path() / "sub" / "x.htm", "x");
    auto* data = new QMimeData;
    QByteArray uri =
        "file://" + QUrl::toPercentEncoding(QByteArray::fromStdString(dir / "sub"), "/");
    data->setData("x-special/gnome-copied-files", "cut\n" + uri + "/");
    QGuiApplication::clipboard()->setMimeData(data);
    Show(dir.Path());
    Focus();
    QTest::keyClick(list->View(), Qt::Key_V, Qt::ControlModifier);
    WaitForFileJobs();
    EXPECT_EQ(Names(), (NameList{"sub"}));
    EXPECT_EQ(testsupport::ReadAll(dir.Path() / "sub" / "x.htm"), "x");
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(ShellListCommandTest, APasteRunsInTheBackgroundWithProgressAfterASecondAndCancel)
{
    const std::string page(3 << 20, 'p');
    testsupport::TempDir from;
    WriteAll(from.Path() / "big.htm", page);
    QGuiApplication::clipboard()->setMimeData(MakeFileMimeData({from / "big.htm"}, true));
    // The worker waits here until the test lets it go: the job counts as running till then.
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    TFileJobRunner::SetWorkerGate([released] { released.wait(); });
    struct Ungate
    {
        std::promise<void>& release;
        ~Ungate()
        {
            TFileJobRunner::SetWorkerGate(nullptr);
            try {
                release.set_value();
            } catch (const std::future_error&) {
            }
        }
    } ungate{release};
    Show(dir.Path());
    Focus();
    QElapsedTimer clock;
    clock.start();
    QTest::keyClick(list->View(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(TFileJobRunner::RunningCount(), 1);

    // The window goes on answering: the list reads its folder again on F5.
    QSignalSpy fills(list.get(), &TPTCustomShellList::OnFillStart);
    QTest::keyClick(list->View(), Qt::Key_F5);
    EXPECT_EQ(fills.count(), 1);
    auto progress = [] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<QProgressDialog*>(widget);
                dialog && dialog->isVisible())
                return dialog;
        }
        return static_cast<QProgressDialog*>(nullptr);
    };
    EXPECT_EQ(progress(), nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return progress() != nullptr; }, 10000));
    EXPECT_GE(clock.elapsed(), 1000);
    EXPECT_FALSE(progress()->isModal());
    EXPECT_TRUE(progress()->labelText().startsWith(QStringLiteral("Moving")))
        << progress()->labelText().toStdString();

    // Cancel: the source stays whole and nothing of the copy is left behind.
    QPushButton* cancel = progress()->findChild<QPushButton*>();
    ASSERT_NE(cancel, nullptr);
    cancel->click();
    release.set_value();
    WaitForFileJobs();
    EXPECT_EQ(progress(), nullptr);
    EXPECT_TRUE(testsupport::ReadAll(from.Path() / "big.htm") == page);
    EXPECT_TRUE(fs::is_empty(dir.Path()));
    EXPECT_EQ(list->ItemCount(), 0);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(ShellListCommandTest, ContextMenuPointRulesAndResults)
{
    Files({"a.htm", "b.htm", "c.htm"});
    Show(dir.Path());
    Focus();
    int menuItem = -2;
    QPoint menuPoint;
    QObject::connect(list.get(), &TPTCustomShellList::OnItemContextMenu,
                     [&](TPTCustomShellList*, int item, QPoint& point, QMenu*&) {
                         menuItem = item;
                         menuPoint = point;
                     });
    QStringList hints;
    QObject::connect(list.get(), &TPTCustomShellList::OnPopupHint,
                     [&](TPTCustomShellList*, const QString& hint) { hints << hint; });

    // A right-click on an item that is not selected selects it first; the menu is at its icon.
    Select({"a.htm"});
    QStringList entries;
    bool pasteEnabled = true;
    WhenMenuShows([&](QMenu* menu) {
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator())
                entries << action->text();
        }
        pasteEnabled = Action(menu, QStringLiteral("&Paste"))->isEnabled();
        menu->close();
    });
    // The press selects; the window system then asks for the context menu at the mouse.
    QWidget* viewport = list->View()->viewport();
    QPoint at = Centre("b.htm");
    QTest::mousePress(viewport, Qt::RightButton, {}, at);
    QContextMenuEvent request(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
    QApplication::sendEvent(viewport, &request);
    QTest::mouseRelease(viewport, Qt::RightButton, {}, at);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !entries.isEmpty(); }, 5000));
    Settle();
    EXPECT_EQ(menuItem, Row("b.htm"));
    EXPECT_TRUE(list->IsItemSelected(Row("b.htm")));
    EXPECT_FALSE(list->IsItemSelected(Row("a.htm")));
    QRect rect = list->View()->visualRect(list->View()->model()->index(Row("b.htm"), 0));
    EXPECT_TRUE(rect.contains(menuPoint));
    EXPECT_LT(menuPoint.x(), rect.left() + 20);
    EXPECT_EQ(entries, (QStringList{"&Open", "Cu&t", "&Copy", "&Paste", "&Delete", "Rena&me"}));
    EXPECT_FALSE(pasteEnabled); // a file is no folder to paste into

    // The menu key uses the focused selected item; choosing Rename (1018) starts editing,
    // and the highlighted entry's help text reaches OnPopupHint.
    Select({"c.htm"});
    list->SetFocusedItem(Row("c.htm"));
    WhenMenuShows([&](QMenu* menu) {
        QAction* rename = Action(menu, QStringLiteral("Rena&me"));
        menu->setActiveAction(rename);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    QTest::keyClick(list->View(), Qt::Key_Menu);
    Settle();
    EXPECT_EQ(menuItem, Row("c.htm"));
    EXPECT_TRUE(list->EditingCaption());
    EXPECT_TRUE(hints.contains(QStringLiteral("Renames the selected item.")));
    QTest::keyClick(list->View()->focusWidget(), Qt::Key_Escape);
    Settle();

    // Nothing selected and no menu of its own: the keyboard asks at the origin, nothing shows.
    Select({});
    list->View()->selectionModel()->clearCurrentIndex();
    QTest::keyClick(list->View(), Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_EQ(menuItem, -1);
    EXPECT_EQ(menuPoint, QPoint(0, 0));
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

    // Delete from the menu moves the item to the trash and refreshes the list.
    Select({"a.htm"});
    list->SetFocusedItem(Row("a.htm"));
    WhenMenuShows([&](QMenu* menu) {
        menu->setActiveAction(Action(menu, QStringLiteral("&Delete")));
        QTest::keyClick(menu, Qt::Key_Return);
    });
    EXPECT_EQ(list->ProcessMenuForAllSelected(QPoint(5, 5)), 1000 + 17);
    EXPECT_FALSE(testsupport::Exists(dir.Path() / "a.htm"));
    EXPECT_EQ(Row("a.htm"), -1);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

} // namespace
} // namespace shelltest
