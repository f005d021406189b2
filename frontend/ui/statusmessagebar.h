#pragma once

#include <QStatusBar>
#include <QString>

class QFont;
class QFontMetrics;
class QMenu;

// A status bar whose message never ends cut mid-word under the permanent
// widgets: what does not fit ends in "…", the whole message is the tooltip
// of the elided text and can be copied from the bar's context menu. The
// message itself (currentMessage()) is left as it was given.
class StatusMessageBar : public QStatusBar
{
    Q_OBJECT
public:
    explicit StatusMessageBar(QWidget *parent = nullptr);

    // `message` on one line, cut with "…" to `width` pixels of `metrics`.
    static QString elided(const QString &message, const QFontMetrics &metrics, int width);
    // `message` in lines of at most `width` pixels of `font`, broken
    // between words where it can; the lines joined hold the message.
    static QString wrapped(const QString &message, const QFont &font, int width);

    // Where the message is painted: up to the first visible widget (or the
    // size grip) on its trailing side.
    QRect messageArea() const;
    // The message as it is painted there.
    QString shownMessage() const;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    QMenu *m_menu = nullptr;
};
