#pragma once

#include <qcustomplot.h>

#include <QStringList>
#include <QVector>

// Top-axis ticks of the commands plot: a readable step for about `tickCount`
// ticks over [lo, hi], rounded to whole runs so they can be matched against
// run numbers. Returns an empty vector for an empty or inverted range.
QVector<double> runTickPositions(double lo, double hi, int tickCount);

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
    // before; values[j] is the label index of the point at keys[j].
    void plotSeries(const QStringList &labels, const QVector<double> &keys,
                    const QVector<double> &values, const QVector<double> &tickKeys,
                    const QStringList &tickLabels, int keyMax, const QCPScatterStyle &style);

    int graphCursor() const { return m_graphCursor; }
    int labelOffset() const { return m_labelOffset; }
    const QStringList &valueLabels() const { return m_valueLabels; }

    // Replaces the top axis' ticks with fixed positions and texts.
    void setTopAxisTicks(const QVector<double> &keys, const QStringList &labels);

private:
    int m_graphCursor = 0;
    int m_labelOffset = 0;
    QStringList m_valueLabels;
    QCPTextElement *m_title = nullptr;
};
