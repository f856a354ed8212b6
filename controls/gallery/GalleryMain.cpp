// Shows every control of the library in its states. With --screenshot FILE the window saves a
// picture of itself after a second, with the animations at fixed frames, and quits; with --dark
// it shows the controls on a dark palette, as a desktop's dark scheme sets one.

#include "controls/AnimatedLabel.h"
#include "controls/FancyButton.h"
#include "controls/FormLoading.h"
#include "controls/NumberEdit.h"
#include "controls/URLStatic.h"
#include "controls/UnitEdit.h"
#include "controls/VersionLabel.h"
#include "ui/DesktopLook.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QLocale>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>
#include <vector>

namespace {

constexpr int CellWidth = 96;
constexpr int CellHeight = 30;

// A strip of five pictures, one per button state, in the order of the states.
QPixmap MakeButtonStrip()
{
    struct Cell
    {
        QColor top, bottom, border;
    };
    const Cell cells[] = {
        {QColor(255, 236, 179), QColor(255, 193, 7), QColor(191, 144, 0)},     // up, hot
        {QColor(183, 121, 31), QColor(230, 160, 60), QColor(120, 80, 10)},     // down
        {QColor(232, 240, 254), QColor(161, 194, 250), QColor(66, 103, 178)},  // mouse out
        {QColor(220, 220, 220), QColor(220, 220, 220), QColor(190, 190, 190)}, // not shown
        {QColor(236, 236, 236), QColor(200, 200, 200), QColor(160, 160, 160)}, // disabled
    };
    QPixmap strip(CellWidth * 5, CellHeight);
    strip.fill(Qt::transparent);
    QPainter painter(&strip);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 5; ++i) {
        const QRectF box(i * CellWidth + 0.5, 0.5, CellWidth - 1, CellHeight - 1);
        QLinearGradient gradient(box.topLeft(), box.bottomLeft());
        gradient.setColorAt(0, cells[i].top);
        gradient.setColorAt(1, cells[i].bottom);
        painter.setPen(cells[i].border);
        painter.setBrush(gradient);
        painter.drawRoundedRect(box, 6, 6);
    }
    return strip;
}

TFancyButton* MakeFancyButton(const QString& caption, const QPixmap& strip, QWidget* parent)
{
    auto* button = new TFancyButton(parent);
    button->SetGlyph(strip);
    button->SetNumGlyphs(5);
    button->SetCaption(caption);
    button->setFixedSize(CellWidth, CellHeight);
    // The pictures are light on every palette, so the caption stays dark on them.
    QPalette colours = button->palette();
    colours.setColor(QPalette::Active, QPalette::ButtonText, Qt::black);
    colours.setColor(QPalette::Inactive, QPalette::ButtonText, Qt::black);
    button->setPalette(colours);
    return button;
}

QLabel* Note(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    // Grey, as far as it stays readable on the palette's background.
    QPalette colours = label->palette();
    colours.setColor(QPalette::WindowText,
                     ReadableOn(QColor(0x55, 0x55, 0x55), colours.color(QPalette::Window)));
    label->setPalette(colours);
    return label;
}

class TGallery : public QWidget
{
public:
    TGallery()
    {
        setWindowTitle(QStringLiteral("Quirefold controls"));
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(MakeLabels());
        layout->addWidget(MakeAnimations());
        layout->addWidget(MakeEdits());
        layout->addWidget(MakeButtons());
        layout->addStretch();
        NotifyLoaded(this);
    }

    // Fixed frames, so that a picture of the window shows every animation mid-way.
    void FreezeAnimations()
    {
        for (auto [label, tick] : m_frames) {
            label->SetInterval(0);
            label->SetTickCount(tick);
            label->update();
        }
    }

private:
    QGroupBox* MakeLabels()
    {
        auto* box = new QGroupBox(QStringLiteral("Version and link labels"), this);
        auto* row = new QHBoxLayout(box);
        row->addWidget(new TVersionLabel(box));
        auto* web = new TURLStatic(box);
        web->setText(QStringLiteral("www.brisendale.example"));
        web->SetURL(QStringLiteral("https://www.brisendale.example/quirefold/"));
        row->addWidget(web);
        auto* mail = new TURLStatic(box);
        mail->setText(QStringLiteral("info@brisendale.example"));
        mail->SetURL(QStringLiteral("mailto:info@brisendale.example"));
        row->addWidget(mail);
        row->addStretch();
        return box;
    }

    QGroupBox* MakeAnimations()
    {
        auto* box = new QGroupBox(QStringLiteral("Animated labels"), this);
        auto* grid = new QGridLayout(box);
        const struct
        {
            const char* title;
            TAnimatedLabel::TAnimationType type;
            qint64 startTick;
            qint64 frameTick;
        } labels[] = {
            {"Flash (caption off)", TAnimatedLabel::atFlash, 0, 4},
            {"Flash (caption on)", TAnimatedLabel::atFlash, 10, 14},
            {"Fly", TAnimatedLabel::atFly, 0, 55},
            {"Fade", TAnimatedLabel::atFade, 0, 5},
        };
        int column = 0;
        for (const auto& entry : labels) {
            grid->addWidget(Note(QString::fromLatin1(entry.title), box), 0, column);
            auto* label = new TAnimatedLabel(QStringLiteral("Splitting pages"), box);
            label->SetAnimationType(entry.type);
            label->SetTickCount(entry.startTick);
            label->setFixedSize(140, 20);
            grid->addWidget(label, 1, column++);
            m_frames.emplace_back(label, entry.frameTick);
        }
        return box;
    }

    QGroupBox* MakeEdits()
    {
        auto* box = new QGroupBox(QStringLiteral("Number and unit edits"), this);
        auto* grid = new QGridLayout(box);
        const struct
        {
            const char* note;
            float value;
            const char* text;
        } numbers[] = {
            {"12.5", 12.5f, nullptr},
            {"1234567.8", 1234567.8f, nullptr},
            {"100000000", 1e8f, nullptr},
            {"typed", 0, "abc"},
        };
        int column = 0;
        for (const auto& entry : numbers) {
            auto* edit = new TNumberEdit(box);
            if (entry.text)
                edit->setText(QString::fromLatin1(entry.text));
            else
                edit->SetValue(entry.value);
            edit->setFixedWidth(120);
            auto* state = Note(QString(), box);
            auto showState = [edit, state] {
                state->setText(
                    QStringLiteral("Validate %1, Value %2")
                        .arg(edit->Validate() ? QStringLiteral("true") : QStringLiteral("false"))
                        .arg(FormatGeneralNumber(edit->Value(), 7, QLocale())));
            };
            showState();
            connect(edit, &QLineEdit::textChanged, state, showState);
            grid->addWidget(Note(QString::fromLatin1(entry.note), box), 0, column);
            grid->addWidget(edit, 1, column);
            grid->addWidget(state, 2, column++);
        }

        auto* length = new TUnitEdit(box);
        length->setFixedSize(120, 20);
        length->SetUnit(QStringLiteral("mm"));
        length->SetValue(3.5f);
        auto* weight = new TUnitEdit(box);
        weight->setFixedSize(120, 20);
        weight->SetUnit(QStringLiteral("kg"));
        // Pale tints on a light palette, deep ones on a dark palette, under the palette's text.
        const QColor text = palette().color(QPalette::Text);
        const bool dark = ContrastRatio(text, Qt::white) < ContrastRatio(text, Qt::black);
        weight->SetEditColor(dark ? QColor(92, 82, 20) : QColor(255, 250, 205));
        weight->SetUnitColor(dark ? QColor(28, 58, 96) : QColor(204, 229, 255));
        weight->Loaded();
        weight->Edit()->setText(QStringLiteral("heavy"));
        grid->addWidget(Note(QStringLiteral("Unit edit"), box), 3, 0);
        grid->addWidget(Note(QStringLiteral("Own colours, invalid text"), box), 3, 1);
        grid->addWidget(length, 4, 0);
        grid->addWidget(weight, 4, 1);
        return box;
    }

    QGroupBox* MakeButtons()
    {
        auto* box = new QGroupBox(QStringLiteral("Glyph buttons"), this);
        auto* grid = new QGridLayout(box);
        const QPixmap strip = MakeButtonStrip();

        grid->addWidget(Note(QStringLiteral("Group of three, one latched"), box), 0, 0, 1, 3);
        const char* captions[] = {"Pages", "Index", "Frames"};
        for (int i = 0; i < 3; ++i) {
            auto* button = MakeFancyButton(QString::fromLatin1(captions[i]), strip, box);
            button->SetGroupIndex(1);
            if (i == 1)
                button->SetDown(true);
            grid->addWidget(button, 1, i);
        }

        grid->addWidget(Note(QStringLiteral("Shadow, offset, disabled"), box), 0, 3, 1, 3);
        auto* shadowed = MakeFancyButton(QStringLiteral("Shadow"), strip, box);
        shadowed->SetTextShadowColor(QColor(140, 150, 170));
        grid->addWidget(shadowed, 1, 3);
        auto* offset = MakeFancyButton(QStringLiteral("Offset"), strip, box);
        offset->SetTextOffsetLeft(6);
        offset->SetTextOffsetTop(3);
        grid->addWidget(offset, 1, 4);
        auto* disabled = MakeFancyButton(QStringLiteral("Disabled"), strip, box);
        disabled->SetState(TFancyButton::fbsDisabled);
        grid->addWidget(disabled, 1, 5);
        grid->setColumnStretch(6, 1);

        auto* stripView = new QLabel(box);
        stripView->setPixmap(strip);
        grid->addWidget(Note(QStringLiteral("The five-cell strip: up (hot), down and latched, "
                                            "mouse out, a cell no state shows, disabled"),
                             box),
                        2, 0, 1, 6);
        grid->addWidget(stripView, 3, 0, 1, 6);
        return box;
    }

    std::vector<std::pair<TAnimatedLabel*, qint64>> m_frames;
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QString screenshot;
    const QStringList arguments = app.arguments();
    if (arguments.contains(QStringLiteral("--dark"))) {
        // The style draws frames and buttons from the palette alone.
        QApplication::setStyle(QStringLiteral("Fusion"));
        QPalette dark;
        const QColor text(0xe6, 0xe6, 0xe6);
        dark.setColor(QPalette::Window, QColor(0x2d, 0x2d, 0x2d));
        dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
        dark.setColor(QPalette::AlternateBase, QColor(0x33, 0x33, 0x33));
        dark.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
        dark.setColor(QPalette::Light, QColor(0x55, 0x55, 0x55));
        dark.setColor(QPalette::Midlight, QColor(0x48, 0x48, 0x48));
        dark.setColor(QPalette::Mid, QColor(0x30, 0x30, 0x30));
        dark.setColor(QPalette::Dark, QColor(0x20, 0x20, 0x20));
        dark.setColor(QPalette::Shadow, Qt::black);
        for (const QPalette::ColorRole role :
             {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::ToolTipText})
            dark.setColor(role, text);
        dark.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x80, 0x80, 0x80));
        dark.setColor(QPalette::Disabled, QPalette::Text, QColor(0x80, 0x80, 0x80));
        dark.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x80, 0x80, 0x80));
        dark.setColor(QPalette::Highlight, QColor(0x2a, 0x6f, 0xc9));
        dark.setColor(QPalette::HighlightedText, Qt::white);
        dark.setColor(QPalette::ToolTipBase, QColor(0x3a, 0x3a, 0x3a));
        QApplication::setPalette(dark);
    }
    const qsizetype option = arguments.indexOf(QStringLiteral("--screenshot"));
    if (option >= 0) {
        if (option + 1 >= arguments.size()) {
            std::fprintf(stderr, "usage: quirefold-controls [--dark] [--screenshot FILE]\n");
            return 2;
        }
        screenshot = arguments.at(option + 1);
    }

    TGallery gallery;
    gallery.show();
    if (!screenshot.isEmpty()) {
        QTimer::singleShot(1000, &gallery, [&gallery, &screenshot] {
            gallery.FreezeAnimations();
            // No text cursor in the picture.
            if (QWidget* focused = QApplication::focusWidget())
                focused->clearFocus();
            if (!gallery.grab().save(screenshot)) {
                std::fprintf(stderr, "quirefold-controls: could not write %s\n",
                             qPrintable(screenshot));
                QApplication::exit(1);
                return;
            }
            QApplication::quit();
        });
    }
    return app.exec();
}
