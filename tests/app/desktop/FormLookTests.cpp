// How the forms look on other desktops: one face for all, no text cut short with a larger font,
// and every text readable on a dark palette.

#include "app/desktop/AboutBox.h"
#include "app/desktop/HelpViewer.h"
#include "settings/options/OptionsDlg.h"
#include "tests/app/desktop/MainWindowFixture.h"
#include "ui/DesktopLook.h"

#include <QAbstractButton>
#include <QLabel>
#include <QScreen>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextTable>

namespace desktoptest {
namespace {

std::string Where(const QWidget* form, const QObject* control)
{
    return form->metaObject()->className() + std::string(" ") + control->metaObject()->className() +
           " " + control->objectName().toStdString();
}

// Every label and button shown is at least as large as its text needs.
void ExpectNothingCutShort(QWidget* form)
{
    int checked = 0;
    for (QWidget* control : form->findChildren<QWidget*>()) {
        if (!control->isVisibleTo(form) ||
            !(qobject_cast<QLabel*>(control) || qobject_cast<QAbstractButton*>(control)))
            continue;
        const QSize need = control->sizeHint();
        const int needHeight = control->hasHeightForWidth()
                                   ? control->heightForWidth(control->width())
                                   : need.height();
        EXPECT_GE(control->width(), need.width()) << Where(form, control);
        EXPECT_GE(control->height(), needHeight) << Where(form, control);
        ++checked;
    }
    EXPECT_GT(checked, 3) << form->metaObject()->className();
}

TEST_F(MainWindowTest, EveryFormHasOneFaceAndShowsEveryTextWholeAlsoWithALargerFont)
{
    // Twice the size is what a desktop set to larger text (or twice the font resolution) gives.
    for (const int points : {8, 16}) {
        SCOPED_TRACE(points);
        MakeForms();
        QFont font = FormFont();
        font.setPointSize(points);
        const std::initializer_list<QWidget*> forms = {Main(), m_forms->OptionsDlg(),
                                                       m_forms->AboutBox()};
        for (QWidget* form : forms) {
            EXPECT_EQ(form->font(), FormFont()) << form->metaObject()->className();
            form->setFont(font);
        }
        ShowWindow();
        m_forms->OptionsDlg()->show();
        m_forms->AboutBox()->show();
        QApplication::processEvents();
        for (QWidget* form : forms) {
            const QRect area = form->screen()->availableGeometry();
            EXPECT_TRUE(area.contains(form->frameGeometry()))
                << form->metaObject()->className() << " at " << form->frameGeometry().x() << ","
                << form->frameGeometry().y() << " " << form->frameGeometry().width() << "x"
                << form->frameGeometry().height();
            ExpectNothingCutShort(form);
        }
        m_forms.reset();
    }
}

// A palette as a user's dark scheme may set it: dark backgrounds, light texts, the link colour
// left as it was.
QPalette DarkPalette()
{
    QPalette dark = QApplication::palette();
    const QColor text(0xe6, 0xe6, 0xe6);
    for (const auto& [role, colour] : std::initializer_list<std::pair<QPalette::ColorRole, QColor>>{
             {QPalette::Window, QColor(0x2d, 0x2d, 0x2d)},
             {QPalette::Base, QColor(0x1e, 0x1e, 0x1e)},
             {QPalette::AlternateBase, QColor(0x33, 0x33, 0x33)},
             {QPalette::Button, QColor(0x3a, 0x3a, 0x3a)},
             {QPalette::WindowText, text},
             {QPalette::Text, text},
             {QPalette::ButtonText, text}})
        dark.setColor(role, colour);
    return dark;
}

// Every piece of text of a rich-text view against what lies under it: its own background, its
// table cell's, or the view's.
void ExpectReadableDocument(const QWidget* form, const QTextBrowser* view)
{
    const QColor base = view->palette().color(QPalette::Base);
    const QColor plain = view->palette().color(QPalette::Text);
    int fragments = 0;
    for (QTextBlock block = view->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.text().trimmed().isEmpty())
                continue;
            const QTextCharFormat format = fragment.charFormat();
            QColor back = base;
            QTextCursor at(view->document());
            at.setPosition(fragment.position());
            if (const QTextTable* table = at.currentTable()) {
                const QBrush cell = table->cellAt(at).format().background();
                if (cell.style() != Qt::NoBrush)
                    back = cell.color();
            }
            if (format.background().style() != Qt::NoBrush)
                back = format.background().color();
            const QColor fore =
                format.foreground().style() != Qt::NoBrush ? format.foreground().color() : plain;
            EXPECT_GE(ContrastRatio(fore, back), 4.5)
                << Where(form, view) << " \"" << fragment.text().toStdString() << "\" "
                << fore.name().toStdString() << " on " << back.name().toStdString();
            ++fragments;
        }
    }
    EXPECT_GT(fragments, 2) << Where(form, view);
}

TEST_F(MainWindowTest, EveryTextIsReadableOnADarkPaletteAndALightOne)
{
    const QPalette light = QApplication::palette();
    // Link texts, breadcrumbs and the navigation pane in the options preview.
    SplitSettings settings = TestSettings();
    settings.UseImages = false;
    SaveSettings(settings);
    for (const bool darkFirst : {true, false}) {
        SCOPED_TRACE(darkFirst ? "dark palette, set before the forms" : "light, then dark");
        QApplication::setPalette(darkFirst ? DarkPalette() : light);
        MakeForms();
        ShowAt(Docs(), 0);
        ShowHelp(QStringLiteral("Options"));
        // A scheme changed while the program runs reaches the forms already made.
        if (!darkFirst)
            QApplication::setPalette(DarkPalette());
        // The pages are built again in posted calls.
        QTest::qWait(50);
        const std::initializer_list<QWidget*> forms = {Main(), m_forms->OptionsDlg(),
                                                       m_forms->AboutBox(), HelpWindow()};
        for (QWidget* form : forms) {
            // The dialogs are children of the main window: each form on its own.
            for (QLabel* label : form->findChildren<QLabel*>()) {
                if (label->text().isEmpty() || label->window() != form)
                    continue;
                const QPalette& colours = label->palette();
                EXPECT_GE(ContrastRatio(colours.color(label->foregroundRole()),
                                        colours.color(QPalette::Window)),
                          4.5)
                    << Where(form, label);
            }
            for (QTextBrowser* view : form->findChildren<QTextBrowser*>()) {
                if (view->window() == form)
                    ExpectReadableDocument(form, view);
            }
        }
        delete HelpWindow();
        m_forms.reset();
    }
    QApplication::setPalette(light);
    // Back on the light palette the links are the usual blue.
    MakeForms();
    const auto links = m_forms->AboutBox()->findChildren<QLabel*>(QStringLiteral("URLStatic1"));
    ASSERT_EQ(links.size(), 1);
    EXPECT_EQ(links.front()->palette().color(QPalette::WindowText), QColor(Qt::blue));
}

} // namespace
} // namespace desktoptest
