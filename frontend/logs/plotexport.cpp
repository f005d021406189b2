#include "frontend/logs/plotexport.h"

#include <qcustomplot.h>

#include <QApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <QImage>
#include <QLocale>
#include <QPageLayout>
#include <QPdfWriter>
#include <QPrinter>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kHeaderHeightPx = 36;
constexpr int kHeaderMarginPx = 8;
constexpr int kHeaderPointSize = 11;
constexpr int kMinimumPlotHeightPx = 160;

int plotHeight(const QCustomPlot *plot, int width)
{
    const int onScreen = plot->width() > 0 ? plot->height() * width / plot->width() : 0;
    return std::max(onScreen, kMinimumPlotHeightPx);
}

void replotAll(const QList<QCustomPlot *> &plots)
{
    // Drawing at another size laid the plots out for it.
    for (QCustomPlot *plot : plots)
        plot->replot();
}
} // namespace

namespace plotexport {

QSize sheetSize(const QList<QCustomPlot *> &plots, const QString &header, int width)
{
    int height = header.isEmpty() ? 0 : kHeaderHeightPx;
    for (const QCustomPlot *plot : plots)
        height += plotHeight(plot, width);
    return QSize(width, std::max(height, 1));
}

void paintSheet(QCPPainter &painter, const QList<QCustomPlot *> &plots, const QString &header,
                int width)
{
    int y = 0;
    if (!header.isEmpty()) {
        painter.save();
        QFont font = painter.font();
        font.setPointSize(kHeaderPointSize);
        painter.setFont(font);
        painter.setPen(Qt::black);
        const QRect line(kHeaderMarginPx, 0, width - 2 * kHeaderMarginPx, kHeaderHeightPx);
        painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                         painter.fontMetrics().elidedText(header, Qt::ElideMiddle, line.width()));
        painter.restore();
        y = kHeaderHeightPx;
    }
    for (QCustomPlot *plot : plots) {
        const int height = plotHeight(plot, width);
        painter.save();
        painter.translate(0, y);
        plot->toPainter(&painter, width, height);
        painter.restore();
        y += height;
    }
}

bool savePng(const QList<QCustomPlot *> &plots, const QString &header, const QString &path)
{
    QImage image(sheetSize(plots, header), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    {
        QCPPainter painter(&image);
        painter.setMode(QCPPainter::pmNoCaching);
        paintSheet(painter, plots, header);
    }
    replotAll(plots);
    return image.save(path, "PNG");
}

namespace {
// What one page shows of a plot: its rows from `lower` to `upper` on the
// value axis (the whole axis when they are the ones on screen).
struct PlotPart
{
    QCustomPlot *plot = nullptr;
    QCPRange rows;
    int height = 0;
};
using Page = QVector<PlotPart>;

constexpr double kHeadingPointSize = 9.5;
constexpr double kTitlePointSize = 11;
constexpr int kHeadingGapPx = 8;
constexpr int kRowGapPx = 2;

QFont headingFont(bool title)
{
    QFont font = QApplication::font();
    font.setPointSizeF(title ? kTitlePointSize : kHeadingPointSize);
    font.setBold(title);
    return font;
}

int headingHeight(QPaintDevice &device, const QStringList &heading)
{
    int height = 0;
    for (int i = 0; i < heading.size(); ++i)
        height += QFontMetrics(headingFont(i == 0), &device).lineSpacing();
    return height + kHeadingGapPx;
}

void paintHeading(QCPPainter &painter, const QStringList &heading, int width, int page, int pages)
{
    int y = 0;
    painter.setPen(Qt::black);
    for (int i = 0; i < heading.size(); ++i) {
        painter.setFont(headingFont(i == 0));
        const QFontMetrics metrics = painter.fontMetrics();
        QString right;
        if (i == heading.size() - 1 && pages > 1)
            right = QCoreApplication::translate("plotexport", "Page %1 of %2").arg(page).arg(pages);
        const int rightWidth = right.isEmpty() ? 0 : metrics.horizontalAdvance(right) + 20;
        const QRect line(0, y, width - rightWidth, metrics.lineSpacing());
        painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(heading.at(i), Qt::ElideMiddle, line.width()));
        if (!right.isEmpty())
            painter.drawText(QRect(0, y, width, metrics.lineSpacing()),
                             Qt::AlignRight | Qt::AlignVCenter, right);
        y += metrics.lineSpacing();
    }
}

// Room a plot takes besides its rows: axes, their labels, title.
int overheadOf(const QCustomPlot *plot)
{
    return std::max(60, plot->height() - plot->axisRect()->height());
}

// The plots on pages: together on one when every row has a line of text,
// else each plot on pages of its own, its rows shared out among them.
QVector<Page> layOut(QPaintDevice &device, const QList<QCustomPlot *> &plots, int available)
{
    QVector<Page> pages;
    QVector<int> pitches, needs;
    int total = 0;
    for (QCustomPlot *plot : plots) {
        // As on screen: labels one ascent apart do not overlap.
        const int pitch = QFontMetrics(plot->yAxis->tickLabelFont(), &device).ascent() + kRowGapPx;
        const int need = overheadOf(plot) + int(std::ceil(plot->yAxis->range().size())) * pitch;
        pitches.append(pitch);
        needs.append(need);
        total += need;
    }
    if (total <= available) {
        // One page, filled: each plot gets its share of the room.
        Page page;
        int used = 0;
        for (int i = 0; i < plots.size(); ++i) {
            const int height = i == plots.size() - 1
                                   ? available - used
                                   : int(double(available) * needs.at(i) / std::max(total, 1));
            page.append({plots.at(i), plots.at(i)->yAxis->range(), height});
            used += height;
        }
        pages.append(page);
        return pages;
    }
    for (int i = 0; i < plots.size(); ++i) {
        QCustomPlot *plot = plots.at(i);
        const QCPRange range = plot->yAxis->range();
        const int perPage = std::max(1, (available - overheadOf(plot)) / pitches.at(i));
        const int first = int(std::ceil(range.lower));
        const int last = int(std::floor(range.upper));
        // From the top row down, as the plot reads.
        for (int top = last; top >= first; top -= perPage) {
            const int bottom = std::max(first, top - perPage + 1);
            pages.append(Page{{plot, QCPRange(bottom - 0.5, top + 0.5), available}});
        }
    }
    return pages;
}
} // namespace

int paintPages(QPagedPaintDevice &device, const QList<QCustomPlot *> &plots,
               const QStringList &heading)
{
    QCPPainter painter;
    if (!painter.begin(&device))
        return 0;
    painter.setMode(QCPPainter::pmVectorized);
    painter.setMode(QCPPainter::pmNoCaching);
    const int width = device.width();
    const int top = headingHeight(device, heading);
    const QVector<Page> pages = layOut(device, plots, device.height() - top);
    QVector<QCPRange> screenRows;
    for (QCustomPlot *plot : plots)
        screenRows.append(plot->yAxis->range());
    for (int p = 0; p < pages.size(); ++p) {
        if (p > 0)
            device.newPage();
        paintHeading(painter, heading, width, p + 1, int(pages.size()));
        int y = top;
        for (const PlotPart &part : pages.at(p)) {
            part.plot->yAxis->setRange(part.rows);
            painter.save();
            painter.translate(0, y);
            part.plot->toPainter(&painter, width, part.height);
            painter.restore();
            y += part.height;
        }
    }
    painter.end();
    for (int i = 0; i < plots.size(); ++i)
        plots.at(i)->yAxis->setRange(screenRows.at(i));
    replotAll(plots);
    return int(pages.size());
}

bool savePdf(const QList<QCustomPlot *> &plots, const QStringList &heading, const QString &path)
{
    int pages = 0;
    {
        QPdfWriter writer(path);
        const QPageSize size(QLocale::system().measurementSystem() == QLocale::ImperialUSSystem
                                 ? QPageSize::Letter
                                 : QPageSize::A4);
        writer.setPageLayout(
            QPageLayout(size, QPageLayout::Landscape,
                        QMarginsF(kPdfMarginMm, kPdfMarginMm, kPdfMarginMm, kPdfMarginMm),
                        QPageLayout::Millimeter));
        writer.setResolution(kPaperDpi);
        writer.setTitle(heading.value(0));
        writer.setCreator(QStringLiteral("Velmo service tool"));
        pages = paintPages(writer, plots, heading);
    }
    // The writer reports no failure to write its file.
    return pages > 0 && QFileInfo(path).size() > 0;
}

bool print(const QList<QCustomPlot *> &plots, const QStringList &heading, QPrinter &printer)
{
    // The page, its orientation and margins are the printer's; the units
    // are those of the paper layout.
    printer.setResolution(kPaperDpi);
    return paintPages(printer, plots, heading) > 0;
}

} // namespace plotexport
