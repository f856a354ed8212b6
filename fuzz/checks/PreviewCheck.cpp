#include "fuzz/checks/PreviewCheck.h"

#include "fuzz/checks/ByteReader.h"
#include "settings/options/OptionsDlg.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <stdexcept>

namespace fuzzcheck {

namespace {

qsizetype L(const char* literal)
{
    return QString::fromLatin1(literal).size();
}

template <typename T> T* Child(TOptionsDlg& dialog, const char* name)
{
    T* child = dialog.findChild<T*>(QString::fromLatin1(name));
    if (!child)
        throw std::logic_error(std::string("the options dialog has no ") + name);
    return child;
}

} // namespace

std::string CheckPreview(TOptionsDlg& dialog, std::string_view input)
{
    ByteReader in(input);
    const std::uint8_t flags = in.Byte();
    auto check = [&](const char* name, bool on) {
        Child<QCheckBox>(dialog, name)->setChecked(on);
        return on;
    };
    const bool links = check("AddLinksCheckbox", flags & 1);
    const bool images = check("UseImagesCheckbox", flags & 2);
    const bool navigation = check("NavigationCheckbox", flags & 4);
    const bool breadcrumbs = check("BreadcrumbsCheckbox", flags & 8);
    const int level = (flags >> 4) & 3;
    QRadioButton* radios[] = {Child<QRadioButton>(dialog, "BreakOnHeading1"),
                              Child<QRadioButton>(dialog, "BreakOnHeading2"),
                              Child<QRadioButton>(dialog, "BreakOnHeading3")};
    QButtonGroup* group = radios[0]->group();
    if (group)
        group->setExclusive(false);
    for (int i = 0; i < 3; ++i)
        radios[i]->setChecked(level == i + 1);
    if (group)
        group->setExclusive(true);

    // Typing updates the preview; here only the markup is wanted.
    auto text = [&](const char* name) {
        QLineEdit* edit = Child<QLineEdit>(dialog, name);
        const QSignalBlocker blocker(edit);
        const std::string bytes = in.Text();
        edit->setText(QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())));
        return edit->text().size();
    };
    const qsizetype prev = text("EditPrev");
    const qsizetype home = text("EditHome");
    const qsizetype next = text("EditNext");
    const qsizetype prevImage = text("EditPrevImage");
    const qsizetype homeImage = text("EditHomeImage");
    const qsizetype nextImage = text("EditNextImage");
    const qsizetype label = text("BreadcrumbTextEdit");

    qsizetype expected = L("<html><body><style>td {font-size:x-small}</style>"
                           "<table width=\"100%\"><tr><td>") +
                         L("</td><td align=\"center\">") +
                         L("</font></td></tr></table></body></html>");
    if (navigation)
        expected += L("<A HREF=\"#\">link 1</A><br><A HREF=\"#\">link 2</A>");
    if (breadcrumbs && level == 2)
        expected += label + L("<A HREF=\"#\">Chapter V</A> &gt; Par 3<br><br>");
    if (breadcrumbs && level == 3)
        expected +=
            label +
            L("<A HREF=\"#\">Chapter V</A> &gt; <A HREF=\"#\">Par 3</A> &gt; Item 5<br><br>");
    if (links && images)
        expected +=
            3 * (L("<A HREF=\"#\"><IMG SRC=\"") + L("\" ALT=\"") + L("\" BORDER=\"0\"></A>")) +
            2 * L("&nbsp;") + prev + home + next + prevImage + homeImage + nextImage;
    else if (links)
        expected += 3 * (L("<A HREF=\"#\">") + L("</A>")) + 2 * L("|") + prev + home + next;

    const QString html = dialog.BuildPreviewHtml();
    if (html.size() != expected)
        return "preview of " + std::to_string(html.size()) + " characters, expected " +
               std::to_string(expected);
    if (!html.startsWith(QLatin1String("<html><body>")) ||
        !html.endsWith(QLatin1String("</table></body></html>")))
        return "the preview is not one whole document";
    return {};
}

} // namespace fuzzcheck
