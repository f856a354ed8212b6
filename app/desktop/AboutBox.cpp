#include "app/desktop/AboutBox.h"

#include "app/desktop/DesktopResources.h"
#include "app/desktop/ProgramIcon.h"
#include "app/desktop/ScreenFit.h"
#include "controls/FormLoading.h"
#include "ui/DesktopLook.h"
#include "ui_AboutBox.h"

#include <QKeyEvent>
#include <QScreen>

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::TAboutBox>())
{
    UseDesktopResources();
    // One face and size for every form, whatever the desktop uses.
    setFont(FormFont());
    ui->setupUi(this);
    // The version label replaces its stored caption now, once for the life of the box.
    NotifyLoaded(this);
    setWindowIcon(ProgramIcon());
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    connect(ui->OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

TAboutBox::~TAboutBox() = default;

void TAboutBox::showEvent(QShowEvent* event)
{
    // Centred on the screen (the owner's screen when there is one), at every showing.
    QScreen* screen = parentWidget() ? parentWidget()->screen() : this->screen();
    if (screen) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
        // A box larger than the screen keeps its top left corner on it.
        PlaceOnScreen(*this);
    }
    QDialog::showEvent(event);
}

void TAboutBox::keyPressEvent(QKeyEvent* event)
{
    // No Cancel button, so Escape (the platform's cancel key) leaves the box open; the
    // close box still closes it.
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
