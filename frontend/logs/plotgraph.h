#pragma once

#include <qcustomplot.h>

#include <QStringList>
#include <QVector>

// Top-axis ticks of the commands plot: a readable step for about `tickCount`
// ticks over [lo, hi], rounded to whole runs so they can be matched against
// run numbers. Returns an empty vector for an empty or inverted range.
QVector<double> runTickPositions(double lo, double hi, int tickCount);

// Key-axis ticks at whole runs only: the readable steps 1, 2, 5, 10, 20, ...
// and labels without decimals or exponents, however far the log goes.
class RunAxisTicker : public QCPAxisTicker
{
protected:
    double getTickStep(const QCPRange &range) override;
    QString getTickLabel(double tick, const QLocale &locale, QChar formatChar,
                         int precision) override;
};

// One row of a plot: points at runs, all with the same value. With many runs
// in view the library's own sampling keeps every point of such a row (it
// samples by value spread, and a row has none), so this draws at most one
// point per pixel column instead. Every column that holds a point still
// shows one, so no rare event disappears from an overview.
class RunRowGraph : public QCPGraph
{
    Q_OBJECT
public:
    RunRowGraph(QCPAxis *keyAxis, QCPAxis *valueAxis);

    // The points a replot would draw with the axes as they are now.
    QVector<QCPGraphData> pointsToDraw() const;

protected:
    void getOptimizedScatterData(QVector<QCPGraphData> *scatterData,
                                 QCPGraphDataContainer::const_iterator begin,
                                 QCPGraphDataContainer::const_iterator end) const override;
    // On screen the shape is drawn once and stamped; exports (vector or
    // not) draw every shape as the library does.
    void drawScatterPlot(QCPPainter *painter, const QVector<QPointF> &scatters,
                         const QCPScatterStyle &style) const override;

private:
    const QPixmap &stampFor(const QCPScatterStyle &style, qreal pixelRatio) const;

    mutable QPixmap m_stamp;
    mutable QString m_stampKey;
};

// The value axis of a plot whose rows are texts: one tick per row, each
// label cut to what an axis can show, and only every second (third, ...)
// row labelled when the rows lie closer than a line of text, so labels
// never overlap. The plot keeps the whole texts for its tooltips.
class RowAxisTicker : public QCPAxisTicker
{
public:
    RowAxisTicker(QCPAxis *axis, const QStringList &labels);
    // The label as the axis shows it.
    static QString axisText(const QString &label);
    // Rows between two labels for the axis as it is now: 1 when all fit.
    int labelStep() const;

protected:
    void generate(const QCPRange &range, const QLocale &locale, QChar formatChar, int precision,
                  QVector<double> &ticks, QVector<double> *subTicks,
                  QVector<QString> *tickLabels) override;

private:
    QCPAxis *m_axis; // the ticker belongs to it
    QStringList m_labels;
};

// A scatter plot whose value axis is a list of texts: every distinct text of
// a series is one row, and several series stack their rows below each other.
class PlotGraph : public QCustomPlot
{
    Q_OBJECT
public:
    PlotGraph(QWidget *parent, const QString &keyAxisText, const QString &valueAxisText);

    static QFont axisLabelFont();
    static QCPScatterStyle commandStyle();
    static QCPScatterStyle eventStyle();
    static QCPScatterStyle alarmStyle();

    void setAxisLabels(const QString &keyText, const QString &valueText);
    void setTitleText(const QString &text);
    QString titleText() const;

    // Forgets the rows of earlier series; the caller clears the graphs.
    void resetSeries();
    // labels[0] is the empty row that separates this series from the one
    // before; values[j] is the label index of the point at keys[j]. The key
    // axis is kept within [0, keyMax] from then on.
    void plotSeries(const QStringList &labels, const QVector<double> &keys,
                    const QVector<double> &values, const QVector<double> &tickKeys,
                    const QStringList &tickLabels, int keyMax, const QCPScatterStyle &style);
    // The same with the points already grouped by row: rows[i] holds the
    // points of labels[i] (rows[0] is not drawn). A row whose values are
    // those of its place on the axis is shared, not copied; the top axis is
    // left to the caller.
    using RowData = QSharedPointer<QCPGraphDataContainer>;
    void plotRows(const QStringList &labels, const QVector<RowData> &rows, int keyMax,
                  const QCPScatterStyle &style);

    int graphCursor() const { return m_graphCursor; }
    int labelOffset() const { return m_labelOffset; }
    const QStringList &valueLabels() const { return m_valueLabels; }

    // Replaces the top axis' ticks with fixed positions and texts.
    void setTopAxisTicks(const QVector<double> &keys, const QStringList &labels);

    // Dragging and zooming cannot take the key axis outside `limits`, and it
    // never shows more than them; an empty range lifts the limits.
    void setKeyLimits(const QCPRange &limits);
    QCPRange keyLimits() const { return m_keyLimits; }
    bool hasKeyLimits() const { return m_keyLimits.size() > 0; }

private:
    void keepKeyRangeInLimits();
    void finishSeries(const QStringList &labels, int keyMax);

    int m_graphCursor = 0;
    int m_labelOffset = 0;
    QStringList m_valueLabels;
    QCPTextElement *m_title = nullptr;
    QCPRange m_keyLimits{0, 0};
};
