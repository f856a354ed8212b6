#include "tests/settings/options/OptionsTestFixture.h"
#include "ui/MessageBox.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <functional>

namespace optionstest {
namespace {

class OptionsBrowseTest : public OptionsTest
{
protected:
    void SetUp() override
    {
        OptionsTest::SetUp();
        WriteFileText(KeyWith("\"NoLinks\"=dword:00000001\n\"UseImages\"=dword:00000001\n"
                              "\"PrevLinkImage\"=\"p0.gif\"\n\"HomeLinkImage\"=\"h0.gif\"\n"
                              "\"NextLinkImage\"=\"n0.gif\""));
        Create();
    }

    QStringList ImagePaths() const
    {
        return {Edit("EditPrevImage")->text(), Edit("EditHomeImage")->text(),
                Edit("EditNextImage")->text()};
    }

    // Calls action with the first modal window of type T once it runs its own loop and has
    // the focus, as the user meets it. Typing goes where the focus is, and a window that became
    // active later would move it. The action must close the window; one left open would keep
    // exec() waiting, so it fails the test and is closed.
    template <typename T> void WhenModal(std::function<void(T&)> action)
    {
        auto* timer = new QTimer(dlg.get());
        timer->setInterval(10);
        const int outerLoops = QThread::currentThread()->loopLevel();
        QObject::connect(timer, &QTimer::timeout, timer, [timer, action, outerLoops] {
            QPointer<T> window = qobject_cast<T*>(QApplication::activeModalWidget());
            if (!window || !window->isVisible() || !window->isActiveWindow() ||
                QThread::currentThread()->loopLevel() <= outerLoops)
                return;
            timer->stop();
            timer->deleteLater();
            action(*window);
            if (window && window->isVisible()) {
                ADD_FAILURE() << "the modal window stayed open";
                static_cast<QDialog*>(window.data())->done(QDialog::Rejected);
            }
        });
        timer->start();
    }

    testsupport::TempDir files;
};

TEST_F(OptionsBrowseTest, OneFileDialogWithTheImageFiltersServesAllButtonsAndKeepsItsPlace)
{
    std::vector<QFileDialog*> seen;
    std::vector<QString> selectedFilters;
    std::vector<QString> folders;
    const QString folder = QString::fromStdString(files.Path().string());
    dlg->SetBrowseRunner([&](QFileDialog& dialog) -> std::optional<QString> {
        seen.push_back(&dialog);
        selectedFilters.push_back(dialog.selectedNameFilter());
        folders.push_back(dialog.directory().absolutePath());
        EXPECT_EQ(
            dialog.nameFilters(),
            QStringList({"JPEG images (*.jpg *.jpeg)", "GIF images (*.gif)", "PNG images (*.png)",
                         "All image files (*.jpg *.jpeg *.gif *.png)", "All files (*)"}));
        EXPECT_EQ(dialog.fileMode(), QFileDialog::AnyFile);
        EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
        EXPECT_FALSE(dialog.testOption(QFileDialog::ReadOnly));
        // The user picks another filter and folder, then cancels.
        dialog.selectNameFilter("PNG images (*.png)");
        dialog.setDirectory(folder);
        return std::nullopt;
    });

    QTest::mouseClick(Button("BrowsePrevBtn"), Qt::LeftButton);
    QTest::mouseClick(Button("BrowseNextBtn"), Qt::LeftButton);
    QTest::mouseClick(Button("BrowseHomeBtn"), Qt::LeftButton);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(seen[1], seen[2]);
    EXPECT_EQ(selectedFilters[0], "GIF images (*.gif)");
    EXPECT_EQ(selectedFilters[1], "PNG images (*.png)");
    EXPECT_EQ(folders[1], QDir(folder).absolutePath());
    EXPECT_EQ(folders[2], QDir(folder).absolutePath());
}

TEST_F(OptionsBrowseTest, EachButtonFillsOnlyItsOwnRowAndUpdatesThePreview)
{
    const QString chosen = QString::fromStdString(files / "chosen.gif");
    dlg->SetBrowseRunner([&](QFileDialog&) -> std::optional<QString> { return chosen; });
    QSignalSpy updates(Browser(), &QTextEdit::textChanged);

    QTest::mouseClick(Button("BrowseNextBtn"), Qt::LeftButton);
    EXPECT_EQ(ImagePaths(), QStringList({"p0.gif", "h0.gif", chosen}));
    EXPECT_GE(updates.count(), 1);
    EXPECT_TRUE(dlg->BuildPreviewHtml().contains("<IMG SRC=\"" + chosen + "\" ALT=\"Next\""));

    Edit("EditNextImage")->setText("n0.gif");
    QTest::mouseClick(Button("BrowseHomeBtn"), Qt::LeftButton);
    EXPECT_EQ(ImagePaths(), QStringList({"p0.gif", chosen, "n0.gif"}));

    Edit("EditHomeImage")->setText("h0.gif");
    QTest::mouseClick(Button("BrowsePrevBtn"), Qt::LeftButton);
    EXPECT_EQ(ImagePaths(), QStringList({chosen, "h0.gif", "n0.gif"}));
}

TEST_F(OptionsBrowseTest, CancellingTheFileDialogChangesNothing)
{
    dlg->SetBrowseRunner([](QFileDialog&) -> std::optional<QString> { return std::nullopt; });
    const QStringList before = ImagePaths();
    const QString shown = Browser()->toHtml();
    QSignalSpy updates(Browser(), &QTextEdit::textChanged);
    for (const char* name : {"BrowsePrevBtn", "BrowseHomeBtn", "BrowseNextBtn"})
        QTest::mouseClick(Button(name), Qt::LeftButton);
    EXPECT_EQ(ImagePaths(), before);
    EXPECT_EQ(updates.count(), 0);
    EXPECT_EQ(Browser()->toHtml(), shown);
}

TEST_F(OptionsBrowseTest, TheRealDialogTakesAFileThatDoesNotExistYet)
{
    const QString wanted = QString::fromStdString(files / "new-image.png");
    WhenModal<QFileDialog>([&](QFileDialog& dialog) {
        dialog.setDirectory(QString::fromStdString(files.Path().string()));
        // The name is typed into the box that has the focus, then Open is pressed.
        auto* name = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        ASSERT_NE(name, nullptr);
        ASSERT_TRUE(dialog.isAncestorOf(name));
        QTest::keyClicks(name, "new-image.png");
        auto* buttons = dialog.findChild<QDialogButtonBox*>();
        ASSERT_NE(buttons, nullptr);
        QPushButton* open = buttons->button(QDialogButtonBox::Open);
        ASSERT_NE(open, nullptr);
        QTest::mouseClick(open, Qt::LeftButton);
    });
    QTest::mouseClick(Button("BrowseHomeBtn"), Qt::LeftButton);
    EXPECT_EQ(ImagePaths(), QStringList({"p0.gif", QDir::toNativeSeparators(wanted), "n0.gif"}));

    WhenModal<QFileDialog>([](QFileDialog& dialog) { dialog.reject(); });
    QTest::mouseClick(Button("BrowsePrevBtn"), Qt::LeftButton);
    EXPECT_EQ(ImagePaths(), QStringList({"p0.gif", QDir::toNativeSeparators(wanted), "n0.gif"}));
}

TEST_F(OptionsBrowseTest, AFailureInAHandlerIsShownAndGoesNoFurther)
{
    dlg->SetBrowseRunner([](QFileDialog&) -> std::optional<QString> {
        throw std::runtime_error("Image folder could not be read");
    });
    TMessageBox::SetNextAnswer(QMessageBox::Ok);
    QTest::mouseClick(Button("BrowsePrevBtn"), Qt::LeftButton);
    const std::optional<TMessageBoxData> shown = TMessageBox::LastAnswered();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->Title, "Quirefold");
    EXPECT_EQ(shown->Text, "Image folder could not be read.");
    EXPECT_EQ(ImagePaths(), QStringList({"p0.gif", "h0.gif", "n0.gif"}));
    EXPECT_TRUE(dlg->isVisible());
}

} // namespace
} // namespace optionstest
