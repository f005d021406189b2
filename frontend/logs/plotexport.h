#pragma once

#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

class QCustomPlot;
class QCPPainter;
class QPagedPaintDevice;
class QPrinter;

// The plots of the graph page for a report. As a picture: stacked one below
// the other at a common width, each as high as it is on screen for that
// width, under a line that says which log they show. On paper: laid out for
// the page the printer (or the PDF) has, text in points as on a printed
// page, a heading of lines above, both plots as high as the page allows,
// and further pages when their rows would not be legible on one. What is
// in view is what goes on the sheet.
namespace plotexport {

inline constexpr int kSheetWidthPx = 1600;
// Paper is laid out in units of 1/96 inch, so a font of n points is n
// points high on the page and pens and markers have their screen size.
inline constexpr int kPaperDpi = 96;
// Page margins of a PDF: enough for any printer it is later printed on.
inline constexpr double kPdfMarginMm = 12;

QSize sheetSize(const QList<QCustomPlot *> &plots, const QString &header,
                int width = kSheetWidthPx);
// Paints the sheet at the painter's origin, in sheet pixels.
void paintSheet(QCPPainter &painter, const QList<QCustomPlot *> &plots, const QString &header,
                int width = kSheetWidthPx);

// False when the file could not be written.
bool savePng(const QList<QCustomPlot *> &plots, const QString &header, const QString &path);

// Paper. `heading` gives the lines above the plots (the first in bold).
// The page size of a PDF follows the locale (A4, or Letter where that is
// used), landscape.
bool savePdf(const QList<QCustomPlot *> &plots, const QStringList &heading, const QString &path);
// On the printer as it was set up (page, orientation, margins).
bool print(const QList<QCustomPlot *> &plots, const QStringList &heading, QPrinter &printer);
// Lays the plots out on `device` from its current page on; the pages used.
int paintPages(QPagedPaintDevice &device, const QList<QCustomPlot *> &plots,
               const QStringList &heading);

} // namespace plotexport
