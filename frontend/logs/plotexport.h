#pragma once

#include <QList>
#include <QSize>
#include <QString>

class QCustomPlot;
class QCPPainter;
class QPrinter;

// The plots of the graph page on one sheet for a report: stacked one below
// the other at a common width, each as high as it is on screen for that
// width, under a line that says which log they show. What is in view is
// what goes on the sheet.
namespace plotexport {

inline constexpr int kSheetWidthPx = 1600;

QSize sheetSize(const QList<QCustomPlot *> &plots, const QString &header,
                int width = kSheetWidthPx);
// Paints the sheet at the painter's origin, in sheet pixels.
void paintSheet(QCPPainter &painter, const QList<QCustomPlot *> &plots, const QString &header,
                int width = kSheetWidthPx);

// False when the file could not be written.
bool savePng(const QList<QCustomPlot *> &plots, const QString &header, const QString &path);
// One landscape A4 page, drawn as vectors.
bool savePdf(const QList<QCustomPlot *> &plots, const QString &header, const QString &path);
// One page on the printer as it was set up, the sheet fitted to the page.
bool print(const QList<QCustomPlot *> &plots, const QString &header, QPrinter &printer);

} // namespace plotexport
