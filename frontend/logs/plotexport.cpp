#include "frontend/logs/plotexport.h"

#include <qcustomplot.h>

#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPdfWriter>
#include <QPrinter>

#include <algorithm>

namespace {
constexpr int kHeaderHeightPx = 36;
constexpr int kHeaderMarginPx = 8;
constexpr int kHeaderPointSize = 11;
constexpr int kMinimumPlotHeightPx = 160;
constexpr int kPdfResolutionDpi = 300;

int plotHeight(const QCustomPlot *plot, int width)
{
    const int onScreen = plot->width() > 0 ? plot->height() * width / plot->width() : 0;
    return std::max(onScreen, kMinimumPlotHeightPx);
}

// Paints the sheet scaled to fit `area` of the painter's device; false when
// the painter could not start on it.
bool paintFitted(QPaintDevice &device, const QRect &area, const QList<QCustomPlot *> &plots,
                 const QString &header)
{
    QCPPainter painter;
    if (!painter.begin(&device))
        return false;
    painter.setMode(QCPPainter::pmVectorized);
    painter.setMode(QCPPainter::pmNoCaching);
    const QSize sheet = plotexport::sheetSize(plots, header);
    const double scale =
        std::min(double(area.width()) / sheet.width(), double(area.height()) / sheet.height());
    painter.translate(area.topLeft());
    painter.scale(scale, scale);
    plotexport::paintSheet(painter, plots, header);
    return painter.end();
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

bool savePdf(const QList<QCustomPlot *> &plots, const QString &header, const QString &path)
{
    bool painted = false;
    {
        QPdfWriter writer(path);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                         QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
        writer.setResolution(kPdfResolutionDpi);
        writer.setTitle(header);
        writer.setCreator(QStringLiteral("Velmo service tool"));
        painted = paintFitted(writer, QRect(0, 0, writer.width(), writer.height()), plots, header);
    }
    replotAll(plots);
    // The writer reports no failure to write its file.
    return painted && QFileInfo(path).size() > 0;
}

bool print(const QList<QCustomPlot *> &plots, const QString &header, QPrinter &printer)
{
    // The painter's origin is the top left of the printable area.
    const QSize printable = printer.pageRect(QPrinter::DevicePixel).toRect().size();
    const bool painted = paintFitted(printer, QRect(QPoint(0, 0), printable), plots, header);
    replotAll(plots);
    return painted;
}

} // namespace plotexport
