#include "settings/options/PreviewBrowser.h"

#include "settings/VersionInfo.h"
#include "ui/DesktopLook.h"

#include <QEvent>
#include <QFileInfo>
#include <QIODevice>
#include <QImageReader>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <vector>

namespace {

// The file name a document's image URL stands for. Images are added under their exact path by
// ShowAltTexts; this only serves lookups that come without it.
QString PathOfUrl(const QUrl& url)
{
    return url.isLocalFile() ? url.toLocalFile() : url.toString();
}

// An image character's format with the image taken away: what stays (the link) carries the
// ALT text.
QTextCharFormat WithoutImage(QTextCharFormat format)
{
    format.setObjectType(QTextFormat::NoObject);
    for (int property : {int(QTextFormat::ImageName), int(QTextFormat::ImageWidth),
                         int(QTextFormat::ImageHeight), int(QTextFormat::ImageQuality),
                         int(QTextFormat::ImageAltText), int(QTextFormat::ImageTitle)})
        format.clearProperty(property);
    return format;
}

// Markup with every '<' that starts no tag written as "&lt;": a browser shows such a '<' as text
// (a link text "<< Back"), while Qt's rich text drops it with what follows.
QByteArray WithStrayLessThanAsText(const QByteArray& markup)
{
    QByteArray text;
    text.reserve(markup.size());
    for (qsizetype i = 0; i < markup.size(); ++i) {
        const char next = i + 1 < markup.size() ? markup[i + 1] : '\0';
        const bool startsTag = (next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z') ||
                               next == '/' || next == '!' || next == '?';
        if (markup[i] == '<' && !startsTag)
            text += "&lt;";
        else
            text += markup[i];
    }
    return text;
}

} // namespace

TPreviewBrowser::TPreviewBrowser(QWidget* parent) : QTextBrowser(parent)
{
    // Preview links lead nowhere: a click must never replace the preview.
    setOpenLinks(false);
    setOpenExternalLinks(false);
    FollowBackground();
}

void TPreviewBrowser::FollowBackground()
{
    // Links as a browser draws them on a light page, and still readable on a dark palette's.
    document()->setDefaultStyleSheet(
        QStringLiteral("a { color: %1; }")
            .arg(ReadableLinkColour(palette(), QPalette::Base).name()));
}

void TPreviewBrowser::changeEvent(QEvent* event)
{
    QTextBrowser::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        FollowBackground();
}

QVariant TPreviewBrowser::loadResource(int type, const QUrl& name)
{
    if (type != QTextDocument::ImageResource)
        return QByteArray(); // the preview links to nothing else; never look for files
    QImage image = LoadPreviewImage(PreviewImagePath(PathOfUrl(name)));
    if (image.isNull()) {
        // Given no image, Qt opens the bare name itself: below the working folder, and a FIFO
        // would block. A blank stands in until ShowAltTexts puts the ALT text there.
        image = QImage(1, 1, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
    }
    return image;
}

void TPreviewBrowser::ShowAltTexts()
{
    QTextDocument* doc = document();
    struct Missing
    {
        int position;
        QString alt;
        QTextCharFormat format;
    };
    std::vector<Missing> missing;
    bool imagesAdded = false;
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isImageFormat())
                continue;
            const QTextImageFormat image = fragment.charFormat().toImageFormat();
            const QImage picture = LoadPreviewImage(PreviewImagePath(image.name()));
            if (!picture.isNull()) {
                // Under the very name the layout asks for, whatever the path looks like as a URL.
                doc->addResource(QTextDocument::ImageResource, QUrl(image.name()), picture);
                imagesAdded = true;
                continue;
            }
            const QString alt = image.stringProperty(QTextFormat::ImageAltText);
            // Equal neighbouring images share one fragment: one character each.
            for (int i = 0; i < fragment.length(); ++i)
                missing.push_back({fragment.position() + i, alt, WithoutImage(image)});
        }
    }
    if (missing.empty() && !imagesAdded)
        return;

    const bool undo = doc->isUndoRedoEnabled();
    doc->setUndoRedoEnabled(false);
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    // From the end, so that the positions still to come stay valid.
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        cursor.setPosition(it->position);
        cursor.setPosition(it->position + 1, QTextCursor::KeepAnchor);
        cursor.insertText(it->alt, it->format);
    }
    cursor.endEditBlock();
    doc->setUndoRedoEnabled(undo);
    if (imagesAdded)
        doc->markContentsDirty(0, doc->characterCount());
}

QString PreviewImagePath(const QString& path)
{
    if (path.isEmpty() || QFileInfo(path).isAbsolute())
        return path;
    return QString::fromLocal8Bit(LinkImageFolder()) + path;
}

QImage LoadPreviewImage(const QString& path)
{
    // Only regular files: opening a FIFO or a device would block the dialog.
    const QFileInfo info(path);
    if (path.isEmpty() || !info.isFile() || !info.isReadable())
        return QImage();
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return reader.read();
}

bool LoadHtmlFromStream(QTextBrowser* browser, QIODevice* stream)
{
    if (!browser || !stream)
        return false;
    if (!stream->isOpen() && !stream->open(QIODevice::ReadOnly))
        return false;
    if (!stream->isReadable() || stream->isSequential() || !stream->seek(0))
        return false;
    const QByteArray markup = stream->readAll();
    browser->setHtml(QString::fromUtf8(WithStrayLessThanAsText(markup)));
    if (auto* preview = qobject_cast<TPreviewBrowser*>(browser))
        preview->ShowAltTexts();
    return true;
}
