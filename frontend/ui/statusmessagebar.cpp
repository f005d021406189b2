#include "frontend/ui/statusmessagebar.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QMenu>
#include <QPainter>
#include <QSizeGrip>
#include <QStyle>
#include <QStyleOption>
#include <QTextLayout>
#include <QToolTip>

#include <algorithm>

namespace {
// The room QStatusBar leaves around its message.
constexpr int kLeftMarginPx = 6;
constexpr int kRightMarginPx = 12;
constexpr int kGapPx = 2;
// The tooltip's lines are as long as the bar, but never shorter than this.
constexpr int kMinTipWidthPx = 320;

// One line, as the bar paints it: a reason may hold line breaks.
QString oneLine(const QString &message)
{
    QString line = message;
    for (QChar &c : line) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t'))
            c = QLatin1Char(' ');
    }
    return line;
}

// The widgets the bar lays out, visible now; without the size grip.
QList<QWidget *> shownItems(const QStatusBar &bar)
{
    QList<QWidget *> items;
    for (QWidget *child : bar.findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child->isVisible() && !child->isWindow() && !qobject_cast<QSizeGrip *>(child))
            items << child;
    }
    return items;
}
} // namespace

StatusMessageBar::StatusMessageBar(QWidget *parent)
    : QStatusBar(parent)
{}

QString StatusMessageBar::elided(const QString &message, const QFontMetrics &metrics, int width)
{
    return metrics.elidedText(oneLine(message), Qt::ElideRight, std::max(0, width));
}

QString StatusMessageBar::wrapped(const QString &message, const QFont &font, int width)
{
    const QString text = oneLine(message);
    QTextLayout layout(text, font);
    QTextOption option;
    // A long port name breaks where it must.
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines << text.mid(line.textStart(), line.textLength());
    }
    layout.endLayout();
    return lines.join(QLatin1Char('\n'));
}

QRect StatusMessageBar::messageArea() const
{
    const bool rtl = layoutDirection() == Qt::RightToLeft;
    int left = kLeftMarginPx;
    int right = width() - kRightMarginPx;
    const auto bound = [&](const QWidget &w) {
        if (rtl)
            left = std::max(left, w.geometry().right() + 1 + kGapPx);
        else
            right = std::min(right, w.x() - kGapPx);
    };
    // A non-permanent widget shown over a message (the log's progress)
    // takes the room too: the message does not run under it.
    for (const QWidget *item : shownItems(*this))
        bound(*item);
    const auto *grip = findChild<QSizeGrip *>(QString(), Qt::FindDirectChildrenOnly);
    if (grip && grip->isVisible())
        bound(*grip);
    return {left, 0, std::max(0, right - left), height()};
}

QString StatusMessageBar::shownMessage() const
{
    return elided(currentMessage(), fontMetrics(), messageArea().width());
}

bool StatusMessageBar::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QRect area = messageArea();
        const QString message = currentMessage();
        // Only where the message is, and only when part of it is hidden.
        if (!message.isEmpty() && area.contains(help->pos()) &&
            shownMessage() != oneLine(message)) {
            // Lines as wide as the bar, kept as they are: rich text, so
            // the message is escaped whatever it holds.
            const QString lines =
                wrapped(message, QToolTip::font(), std::max(kMinTipWidthPx, width()));
            QToolTip::showText(
                help->globalPos(),
                QStringLiteral("<p style=\"white-space:pre\">%1</p>").arg(lines.toHtmlEscaped()),
                this, area);
            return true;
        }
    }
    return QStatusBar::event(event);
}

void StatusMessageBar::paintEvent(QPaintEvent *event)
{
    // As QStatusBar paints itself, with the message elided instead of
    // clipped.
    QPainter p(this);
    QStyleOption panel;
    panel.initFrom(this);
    style()->drawPrimitive(QStyle::PE_PanelStatusBar, &panel, &p, this);
    for (QWidget *item : shownItems(*this)) {
        const QRect frame = item->geometry().adjusted(-2, -1, 2, 1);
        if (!event->rect().intersects(frame))
            continue;
        QStyleOption opt(0);
        opt.rect = frame;
        opt.palette = palette();
        opt.state = QStyle::State_None;
        style()->drawPrimitive(QStyle::PE_FrameStatusBarItem, &opt, &p, item);
    }
    if (currentMessage().isEmpty())
        return;
    p.setPen(palette().windowText().color());
    p.drawText(messageArea(), Qt::AlignLeading | Qt::AlignVCenter | Qt::TextSingleLine,
               shownMessage());
}

void StatusMessageBar::contextMenuEvent(QContextMenuEvent *event)
{
    // A failure's reason, for a report or a message to the office.
    if (currentMessage().isEmpty()) {
        event->ignore();
        return;
    }
    if (!m_menu) {
        m_menu = new QMenu(this);
        m_menu->setObjectName(QStringLiteral("statusMessageMenu"));
        QAction *copy = m_menu->addAction(tr("Copy message"));
        copy->setObjectName(QStringLiteral("copyStatusMessage"));
        connect(copy, &QAction::triggered, this,
                [this] { QApplication::clipboard()->setText(currentMessage()); });
    }
    m_menu->popup(event->globalPos());
    event->accept();
}
