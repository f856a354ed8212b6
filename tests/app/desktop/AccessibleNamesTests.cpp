// What a screen reader says of each control: every control the keyboard reaches has a name, and
// one with a hint has that hint as its description.

#include "app/desktop/AboutBox.h"
#include "app/desktop/HelpViewer.h"
#include "settings/options/OptionsDlg.h"
#include "tests/app/desktop/MainWindowFixture.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>

namespace desktoptest {
namespace {

TEST_F(MainWindowTest, EveryControlTheKeyboardReachesHasANameAndItsHintAsDescription)
{
    MakeForms();
    ShowAt(Docs(), 0);
    ShowHelp();
    const std::initializer_list<QWidget*> forms = {Main(), m_forms->OptionsDlg(),
                                                   m_forms->AboutBox(), HelpWindow()};
    int checked = 0;
    for (QWidget* form : forms) {
        for (QWidget* control : form->findChildren<QWidget*>()) {
            if (!(control->focusPolicy() & Qt::TabFocus) || !control->isVisibleTo(form))
                continue;
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
            ASSERT_NE(accessible, nullptr);
            const std::string where = form->metaObject()->className() + std::string(" ") +
                                      control->metaObject()->className() + " " +
                                      control->objectName().toStdString();
            EXPECT_FALSE(accessible->text(QAccessible::Name).trimmed().isEmpty()) << where;
            // The hint may sit on the control or, for a control inside another, on that one.
            QWidget* hinted = control->toolTip().isEmpty() ? control->parentWidget() : control;
            if (hinted && !hinted->toolTip().isEmpty()) {
                EXPECT_FALSE(accessible->text(QAccessible::Description).isEmpty()) << where;
            }
            ++checked;
        }
    }
    EXPECT_GT(checked, 30);
    delete HelpWindow();

    // The folder combo's list, once open, is named as the combo is.
    auto* combo = Main()->findChild<QComboBox*>(QStringLiteral("PTShellCombo1"));
    ASSERT_NE(combo, nullptr);
    combo->showPopup();
    QAccessibleInterface* popup = QAccessible::queryAccessibleInterface(combo->view());
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->text(QAccessible::Name), combo->accessibleName());
    EXPECT_FALSE(combo->accessibleName().isEmpty());
    combo->hidePopup();
}

} // namespace
} // namespace desktoptest
