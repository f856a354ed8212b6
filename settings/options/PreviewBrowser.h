#pragma once

#include <QImage>
#include <QTextBrowser>

class QIODevice;

// The options preview: a rich-text view that loads the link images itself. An image it cannot
// read shows the image's ALT text, as a web browser does, never a broken-image mark.
class TPreviewBrowser : public QTextBrowser
{
    Q_OBJECT

public:
    explicit TPreviewBrowser(QWidget* parent = nullptr);

    QVariant loadResource(int type, const QUrl& name) override;

    // Puts the ALT text in place of every image of the shown document that cannot be read.
    // Only the shown document changes; the markup it came from is not touched.
    void ShowAltTexts();

protected:
    void changeEvent(QEvent* event) override;

private:
    // Link colours for the page shown next.
    void FollowBackground();
};

// The file a preview image path names: an absolute path as it is, a relative one below the
// program folder, where the default link images live.
QString PreviewImagePath(const QString& path);

// The image in the file at path, or a null image when that is no readable image file.
QImage LoadPreviewImage(const QString& path);

// Shows the whole content of stream, from its start, as browser's document. False when either
// is missing or the stream cannot be read from its start; the shown document then stays.
bool LoadHtmlFromStream(QTextBrowser* browser, QIODevice* stream);
