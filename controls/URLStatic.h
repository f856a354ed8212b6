#pragma once

#include <QColor>
#include <QLabel>
#include <QString>

// A label that looks like a link and opens its URL (a web address, a "mailto:" address, a
// file) with the desktop as soon as the left button goes down on it.
class TURLStatic : public QLabel
{
    Q_OBJECT
    Q_PROPERTY(QString URL READ URL WRITE SetURL)
public:
    explicit TURLStatic(QWidget* parent = nullptr);

    QString URL() const { return m_url; }
    void SetURL(const QString& url) { m_url = url; }
    // uic sets a stored property through set<Name>.
    void setURL(const QString& url) { SetURL(url); }

protected:
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void FollowBackground();

    QString m_url;
    // The colour the label chose for its background; another one was set from outside.
    QColor m_linkColour;
    bool m_leftDown = false;
};
